// SM4 (every mode both ways, key schedules, XTS keys, GCM and CCM from init to tag, so GHASH too)
// and SM3 with the keys, nonces, plain texts and hash inputs marked undefined for valgrind memcheck:
// a branch or a memory address that depends on them shows up as a use of an uninitialised value,
// and valgrind --error-exitcode fails the run. Outputs are marked defined before they are checked.
// Built twice from this file: over the plain C++ kernels compiled in (ct_sm_plain), and over the
// library on its portable path (ct_sm_portable).
#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "kyncp.h"
#include "tzvcrypto.h"

namespace {

constexpr int kLanes = 16;
constexpr int kMax = 96;

// Lengths per lane: empty, short, partial blocks and several blocks.
constexpr int kAnyLen[kLanes] = {0, 1, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 80, 95, 96};
constexpr int kBlockLen[kLanes] = {0, 16, 32, 48, 64, 80, 96, 16, 32, 48, 64, 80, 96, 16, 0, 96};
constexpr int kXtsLen[kLanes] = {16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 80, 95, 96, 16, 40, 90};

struct Lanes {
    uint8_t key[kLanes][32];
    uint8_t iv[kLanes][16];
    uint8_t text[kLanes][kMax];
    uint8_t out[kLanes][kMax];
    uint8_t back[kLanes][kMax];
    uint8_t tag[2][kLanes][16];
    const uint8_t* keyP[kLanes];
    const uint8_t* ivP[kLanes];
    uint8_t* ivW[kLanes];
    const uint8_t* textP[kLanes];
    uint8_t* outP[kLanes];
    const uint8_t* outC[kLanes];
    uint8_t* backP[kLanes];
    uint8_t* tagP[2][kLanes];

    Lanes()
    {
        uint32_t x = 0x12345678u;
        auto fill = [&x](uint8_t* p, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i) x = x * 1103515245u + 12345u, p[i] = (uint8_t)(x >> 16);
        };
        fill(&key[0][0], sizeof key), fill(&iv[0][0], sizeof iv), fill(&text[0][0], sizeof text);
        for (int i = 0; i < kLanes; ++i) {
            keyP[i] = key[i], ivP[i] = iv[i], ivW[i] = iv[i], textP[i] = text[i];
            outP[i] = out[i], outC[i] = out[i], backP[i] = back[i];
            tagP[0][i] = tag[0][i], tagP[1][i] = tag[1][i];
        }
    }
    void hideSecrets()
    {
        VALGRIND_MAKE_MEM_UNDEFINED(key, sizeof key);
        VALGRIND_MAKE_MEM_UNDEFINED(iv, sizeof iv);
        VALGRIND_MAKE_MEM_UNDEFINED(text, sizeof text);
    }
    // The outputs become ordinary data again; the cipher text is then decrypted as a secret too.
    void showOutputs()
    {
        VALGRIND_MAKE_MEM_DEFINED(out, sizeof out);
        VALGRIND_MAKE_MEM_DEFINED(back, sizeof back);
        VALGRIND_MAKE_MEM_DEFINED(tag, sizeof tag);
        VALGRIND_MAKE_MEM_DEFINED(key, sizeof key);
        VALGRIND_MAKE_MEM_DEFINED(iv, sizeof iv);
        VALGRIND_MAKE_MEM_DEFINED(text, sizeof text);
    }
    bool roundTrip(const int* len) const
    {
        for (int i = 0; i < kLanes; ++i)
            if (std::memcmp(text[i], back[i], (std::size_t)len[i]) != 0) return false;
        return true;
    }
};

const tzv_sm4_key* const* sm4Keys(Lanes& l) { return reinterpret_cast<const tzv_sm4_key* const*>(l.keyP); }

using ModeFn = tzv_status16 (*)(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*, const int8u**);
using ModeIvFn = tzv_status16 (*)(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*, int8u**);

// Encrypts the texts, decrypts the result, and expects the texts back. The IV of OFB and CTR moves
// on, so it is restored between the two.
bool modeRoundTrip(Lanes& l, const int* len, const std::function<tzv_status16(bool decrypt)>& run)
{
    uint8_t iv[kLanes][16];
    std::memcpy(iv, l.iv, sizeof iv);
    l.hideSecrets();
    tzv_status16 s = run(false);
    std::memcpy(l.iv, iv, sizeof iv); // keeps the IVs undefined
    s |= run(true);
    l.showOutputs();
    return s == 0 && l.roundTrip(len);
}

bool sm4Modes(Lanes& l)
{
    tzv_sm4_key_schedule ks;
    bool ok = true;
    struct {
        const char* name;
        ModeFn enc, dec;
        const int* len;
    } withIv[] = {
        {"cbc", tzv_sm4_encrypt_cbc_mb16, tzv_sm4_decrypt_cbc_mb16, kBlockLen},
        {"cfb128", tzv_sm4_encrypt_cfb128_mb16, tzv_sm4_decrypt_cfb128_mb16, kAnyLen},
    };
    struct {
        const char* name;
        ModeIvFn enc, dec;
    } movingIv[] = {
        {"ofb", tzv_sm4_encrypt_ofb_mb16, tzv_sm4_decrypt_ofb_mb16},
        {"ctr128", tzv_sm4_encrypt_ctr128_mb16, tzv_sm4_decrypt_ctr128_mb16},
    };
    auto keyed = [&](const std::function<tzv_status16(bool)>& body) {
        return [&, body](bool decrypt) { return tzv_sm4_set_key_mb16(&ks, (const tzv_sm4_key**)sm4Keys(l)) | body(decrypt); };
    };
    bool ecb = modeRoundTrip(l, kBlockLen, keyed([&](bool d) {
        auto f = d ? tzv_sm4_decrypt_ecb_mb16 : tzv_sm4_encrypt_ecb_mb16;
        return f(d ? l.backP : l.outP, d ? (const int8u**)l.outC : (const int8u**)l.textP, kBlockLen, &ks);
    }));
    if (!ecb) std::printf("sm4 ecb: wrong round trip\n");
    ok &= ecb;
    for (auto& m : withIv) {
        bool r = modeRoundTrip(l, m.len, keyed([&](bool d) {
            return (d ? m.dec : m.enc)(d ? l.backP : l.outP, d ? (const int8u**)l.outC : (const int8u**)l.textP,
                                       m.len, &ks, (const int8u**)l.ivP);
        }));
        if (!r) std::printf("sm4 %s: wrong round trip\n", m.name);
        ok &= r;
    }
    for (auto& m : movingIv) {
        bool r = modeRoundTrip(l, kAnyLen, keyed([&](bool d) {
            return (d ? m.dec : m.enc)(d ? l.backP : l.outP, d ? (const int8u**)l.outC : (const int8u**)l.textP,
                                       kAnyLen, &ks, l.ivW);
        }));
        if (!r) std::printf("sm4 %s: wrong round trip\n", m.name);
        ok &= r;
    }
    tzv_sm4_key_schedule k2;
    bool xts = modeRoundTrip(l, kXtsLen, [&](bool d) {
        tzv_status16 s = tzv_sm4_xts_set_keys_mb16(&ks, &k2, (const tzv_sm4_xts_key**)l.keyP);
        auto f = d ? tzv_sm4_xts_decrypt_mb16 : tzv_sm4_xts_encrypt_mb16;
        return s | f(d ? l.backP : l.outP, d ? (const int8u**)l.outC : (const int8u**)l.textP, kXtsLen, &ks, &k2,
                     (const int8u**)l.ivP);
    });
    if (!xts) std::printf("sm4 xts: wrong round trip\n");
    return ok && xts;
}

// GCM and CCM: encrypt in two pieces with additional data (the texts), decrypt, and expect the same
// tag both ways. Half the GCM lanes take a 12-byte IV, the others a hashed 16-byte one.
bool sm4Aead(Lanes& l)
{
    bool ok = true;
    int ivLen[kLanes], aadLen[kLanes], first[kLanes], second[kLanes], tagLen[kLanes], nonceLen[kLanes];
    int64u total[kLanes];
    const uint8_t* rest[kLanes];
    uint8_t* outRest[kLanes];
    uint8_t* backRest[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        ivLen[i] = i % 2 ? 16 : 12;
        nonceLen[i] = 7 + i % 7;
        aadLen[i] = kAnyLen[(i + 5) % kLanes];
        first[i] = kAnyLen[i] / 3, second[i] = kAnyLen[i] - first[i];
        total[i] = (int64u)kAnyLen[i];
        tagLen[i] = 16;
        rest[i] = l.text[i] + first[i], outRest[i] = l.out[i] + first[i], backRest[i] = l.back[i] + first[i];
    }
    const int8u* const* aad = l.textP;
    const int8u* outRestC[kLanes];
    for (int i = 0; i < kLanes; ++i) outRestC[i] = outRest[i];

    // One AEAD mode from init to tag, encrypting and then decrypting.
    auto aead = [&](const char* name, auto& ctx, auto init, auto updateAad, auto encrypt, auto decrypt, auto getTag) {
        l.hideSecrets();
        tzv_status16 s = 0;
        for (int d = 0; d < 2; ++d) {
            s |= init(&ctx) | updateAad(aad, aadLen, &ctx);
            for (int piece = 0; piece < 2; ++piece)
                s |= (d ? decrypt : encrypt)(piece ? (d ? backRest : outRest) : (d ? l.backP : l.outP),
                                             piece ? (d ? outRestC : rest) : (d ? l.outC : l.textP),
                                             piece ? second : first, &ctx);
            s |= getTag(l.tagP[d], tagLen, &ctx);
        }
        l.showOutputs();
        bool good = s == 0 && l.roundTrip(kAnyLen) && std::memcmp(l.tag[0], l.tag[1], sizeof l.tag[0]) == 0;
        if (!good) std::printf("sm4 %s: wrong round trip or tag\n", name);
        ok &= good;
    };
    tzv_sm4_gcm_ctx_mb16 gcm;
    aead("gcm", gcm, [&](tzv_sm4_gcm_ctx_mb16* c) { return tzv_sm4_gcm_init_mb16(sm4Keys(l), l.ivP, ivLen, c); },
         tzv_sm4_gcm_update_aad_mb16, tzv_sm4_gcm_encrypt_mb16, tzv_sm4_gcm_decrypt_mb16, tzv_sm4_gcm_get_tag_mb16);
    tzv_sm4_ccm_ctx_mb16 ccm;
    aead("ccm", ccm,
         [&](tzv_sm4_ccm_ctx_mb16* c) { return tzv_sm4_ccm_init_mb16(sm4Keys(l), l.ivP, nonceLen, tagLen, total, c); },
         tzv_sm4_ccm_update_aad_mb16, tzv_sm4_ccm_encrypt_mb16, tzv_sm4_ccm_decrypt_mb16, tzv_sm4_ccm_get_tag_mb16);
    return ok;
}

// SM3: the one-call digest against the streaming functions fed in two pieces, and the standard's
// example "abc" in lane 0.
bool sm3(Lanes& l)
{
    int len[kLanes], first[kLanes], second[kLanes];
    const uint8_t* rest[kLanes];
    std::memcpy(len, kAnyLen, sizeof len);
    len[0] = 3;
    std::memcpy(l.text[0], "abc", 3);
    for (int i = 0; i < kLanes; ++i) first[i] = len[i] / 2, second[i] = len[i] - first[i], rest[i] = l.text[i] + first[i];
    tzv_sm3_ctx_mb16 ctx;
    l.hideSecrets();
    uint8_t digest[2][kLanes][32];
    uint8_t* hash1[kLanes];
    uint8_t* hash2[kLanes];
    for (int i = 0; i < kLanes; ++i) hash1[i] = digest[0][i], hash2[i] = digest[1][i];
    tzv_status16 s = tzv_sm3_msg_digest_mb16(l.textP, len, hash1);
    s |= tzv_sm3_init_mb16(&ctx) | tzv_sm3_update_mb16(l.textP, first, &ctx) | tzv_sm3_update_mb16(rest, second, &ctx);
    s |= tzv_sm3_final_mb16(hash2, &ctx);
    l.showOutputs();
    VALGRIND_MAKE_MEM_DEFINED(digest, sizeof digest);
    static const uint8_t abc[16] = {0x66, 0xc7, 0xf0, 0xf4, 0x62, 0xee, 0xed, 0xd9,
                                    0xd1, 0xf2, 0xd4, 0x6b, 0xdc, 0x10, 0xe4, 0xe2};
    bool ok = s == 0 && std::memcmp(digest[0][0], abc, 16) == 0 && std::memcmp(digest[0], digest[1], sizeof digest[0]) == 0;
    if (!ok) std::printf("sm3: wrong digest\n");
    return ok;
}

} // namespace

int main()
{
    // The portable path: every AVX-512 feature off (valgrind's processor has none anyway).
    const Kyn64u avx512 = kynCPUID_AVX512F | kynCPUID_AVX512CD | kynCPUID_AVX512BW | kynCPUID_AVX512DQ |
                          kynCPUID_AVX512VL | kynCPUID_AVX512VBMI | kynCPUID_AVX512IFMA | kynAVX512_ENABLEDBYOS |
                          kynCPUID_AVX512GFNI | kynCPUID_AVX512VAES | kynCPUID_AVX512VCLMUL | kynCPUID_AVX512VBMI2;
    kyncpSetCpuFeatures(kyncpGetEnabledCpuFeatures() & ~avx512);
    if (!RUNNING_ON_VALGRIND) std::printf("not under valgrind: only the results are checked\n");
    Lanes lanes;
    bool ok = sm4Modes(lanes);
    ok &= sm4Aead(lanes);
    ok &= sm3(lanes);
    return ok ? 0 : 1;
}
