// SM4 (every mode both ways, key schedules, XTS keys, GCM and CCM from init to tag, so GHASH too)
// and SM3 with the keys, nonces, plain texts and hash inputs marked undefined for valgrind memcheck:
// a branch or a memory address that depends on them shows up as a use of an uninitialised value,
// and valgrind --error-exitcode fails the run. Outputs are marked defined before they are checked.
// Built twice from this file: over the plain C++ kernels compiled in (ct_sm_plain), and over the
// library on its portable path (ct_sm_portable).
#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>

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
    uint8_t key[kLanes][32], iv[kLanes][16], text[kLanes][kMax], out[kLanes][kMax], back[kLanes][kMax];
    uint8_t tag[2][kLanes][16];
    const uint8_t *keyP[kLanes], *ivP[kLanes], *textP[kLanes], *outC[kLanes];
    uint8_t *ivW[kLanes], *outP[kLanes], *backP[kLanes], *tagP[2][kLanes];

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
    const tzv_sm4_key** keys() { return reinterpret_cast<const tzv_sm4_key**>(keyP); }
    // Makes the outputs ordinary data again (a cipher text is then decrypted as a secret too) and
    // expects every call to have succeeded, the texts back (when len is given) and extra() true.
    template <typename Extra>
    bool check(const char* name, tzv_status16 s, const int* len, Extra extra)
    {
        VALGRIND_MAKE_MEM_DEFINED(this, sizeof *this);
        bool ok = s == 0 && extra();
        for (int i = 0; len && i < kLanes; ++i) ok = ok && std::memcmp(text[i], back[i], (std::size_t)len[i]) == 0;
        if (!ok) std::printf("%s: wrong result\n", name);
        return ok;
    }
};

// Encrypts the texts in one mode (key set-up included), decrypts the result and expects the texts
// back. The IV of OFB and CTR moves on, so it is restored between the two.
bool sm4Mode(Lanes& l, int m)
{
    static const char* const kNames[] = {"sm4 ecb", "sm4 cbc", "sm4 cfb128", "sm4 ofb", "sm4 ctr128", "sm4 xts"};
    const int* len = m < 2 ? kBlockLen : m < 5 ? kAnyLen : kXtsLen;
    tzv_sm4_key_schedule ks, k2;
    auto crypt = [&](bool d, int8u** o, const int8u** in) {
        tzv_status16 s = m == 5 ? tzv_sm4_xts_set_keys_mb16(&ks, &k2, (const tzv_sm4_xts_key**)l.keyP)
                                : tzv_sm4_set_key_mb16(&ks, l.keys());
        switch (m) {
        case 0: return s | (d ? tzv_sm4_decrypt_ecb_mb16 : tzv_sm4_encrypt_ecb_mb16)(o, in, len, &ks);
        case 1: return s | (d ? tzv_sm4_decrypt_cbc_mb16 : tzv_sm4_encrypt_cbc_mb16)(o, in, len, &ks, l.ivP);
        case 2: return s | (d ? tzv_sm4_decrypt_cfb128_mb16 : tzv_sm4_encrypt_cfb128_mb16)(o, in, len, &ks, l.ivP);
        case 3: return s | (d ? tzv_sm4_decrypt_ofb_mb16 : tzv_sm4_encrypt_ofb_mb16)(o, in, len, &ks, l.ivW);
        case 4: return s | (d ? tzv_sm4_decrypt_ctr128_mb16 : tzv_sm4_encrypt_ctr128_mb16)(o, in, len, &ks, l.ivW);
        default: return s | (d ? tzv_sm4_xts_decrypt_mb16 : tzv_sm4_xts_encrypt_mb16)(o, in, len, &ks, &k2, l.ivP);
        }
    };
    uint8_t iv[kLanes][16];
    l.hideSecrets();
    std::memcpy(iv, l.iv, sizeof iv);
    tzv_status16 s = crypt(false, l.outP, l.textP);
    std::memcpy(l.iv, iv, sizeof iv); // keeps the IVs undefined
    s |= crypt(true, l.backP, l.outC);
    return l.check(kNames[m], s, len, [] { return true; });
}

// GCM and CCM: encrypt in two pieces with additional data (the texts), decrypt, and expect the same
// tag both ways. Half the GCM lanes take a 12-byte IV, the others a hashed 16-byte one.
bool sm4Aead(Lanes& l)
{
    int ivLen[kLanes], aadLen[kLanes], first[kLanes], second[kLanes], tagLen[kLanes], nonceLen[kLanes];
    int64u total[kLanes];
    const uint8_t *rest[kLanes], *outRestC[kLanes];
    uint8_t *outRest[kLanes], *backRest[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        ivLen[i] = i % 2 ? 16 : 12, nonceLen[i] = 7 + i % 7, tagLen[i] = 16, total[i] = (int64u)kAnyLen[i];
        aadLen[i] = kAnyLen[(i + 5) % kLanes], first[i] = kAnyLen[i] / 3, second[i] = kAnyLen[i] - first[i];
        rest[i] = l.text[i] + first[i], outRest[i] = l.out[i] + first[i], backRest[i] = l.back[i] + first[i];
        outRestC[i] = outRest[i];
    }
    auto aead = [&](const char* name, auto& ctx, auto init, auto updateAad, auto encrypt, auto decrypt, auto getTag) {
        l.hideSecrets();
        tzv_status16 s = 0;
        for (int d = 0; d < 2; ++d) {
            s |= init(&ctx);
            s |= updateAad(l.textP, aadLen, &ctx);
            s |= (d ? decrypt : encrypt)(d ? l.backP : l.outP, d ? l.outC : l.textP, first, &ctx);
            s |= (d ? decrypt : encrypt)(d ? backRest : outRest, d ? outRestC : rest, second, &ctx);
            s |= getTag(l.tagP[d], tagLen, &ctx);
        }
        return l.check(name, s, kAnyLen, [&] { return std::memcmp(l.tag[0], l.tag[1], sizeof l.tag[0]) == 0; });
    };
    tzv_sm4_gcm_ctx_mb16 gcm;
    tzv_sm4_ccm_ctx_mb16 ccm;
    const bool gcmOk =
        aead("sm4 gcm", gcm, [&](tzv_sm4_gcm_ctx_mb16* c) { return tzv_sm4_gcm_init_mb16(l.keys(), l.ivP, ivLen, c); },
             tzv_sm4_gcm_update_aad_mb16, tzv_sm4_gcm_encrypt_mb16, tzv_sm4_gcm_decrypt_mb16, tzv_sm4_gcm_get_tag_mb16);
    return aead("sm4 ccm", ccm,
                [&](tzv_sm4_ccm_ctx_mb16* c) { return tzv_sm4_ccm_init_mb16(l.keys(), l.ivP, nonceLen, tagLen, total, c); },
                tzv_sm4_ccm_update_aad_mb16, tzv_sm4_ccm_encrypt_mb16, tzv_sm4_ccm_decrypt_mb16, tzv_sm4_ccm_get_tag_mb16) &&
           gcmOk;
}

// SM3: the one-call digest (into out) against the streaming functions fed in two pieces (into
// back), and the standard's example "abc" in lane 0.
bool sm3(Lanes& l)
{
    int len[kLanes], first[kLanes], second[kLanes];
    const uint8_t* rest[kLanes];
    std::memcpy(len, kAnyLen, sizeof len);
    len[0] = 3;
    std::memcpy(l.text[0], "abc", 3);
    for (int i = 0; i < kLanes; ++i)
        first[i] = len[i] / 2, second[i] = len[i] - first[i], rest[i] = l.text[i] + first[i];
    tzv_sm3_ctx_mb16 ctx;
    l.hideSecrets();
    tzv_status16 s = tzv_sm3_msg_digest_mb16(l.textP, len, l.outP);
    s |= tzv_sm3_init_mb16(&ctx);
    s |= tzv_sm3_update_mb16(l.textP, first, &ctx);
    s |= tzv_sm3_update_mb16(rest, second, &ctx);
    s |= tzv_sm3_final_mb16(l.backP, &ctx);
    static const uint8_t abc[16] = {0x66, 0xc7, 0xf0, 0xf4, 0x62, 0xee, 0xed, 0xd9,
                                    0xd1, 0xf2, 0xd4, 0x6b, 0xdc, 0x10, 0xe4, 0xe2};
    return l.check("sm3", s, nullptr, [&] {
        bool same = std::memcmp(l.out[0], abc, 16) == 0;
        for (int i = 0; i < kLanes; ++i) same = same && std::memcmp(l.out[i], l.back[i], 32) == 0;
        return same;
    });
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
    bool ok = true;
    for (int m = 0; m < 6; ++m) ok &= sm4Mode(lanes, m);
    ok &= sm4Aead(lanes);
    ok &= sm3(lanes);
    return ok ? 0 : 1;
}
