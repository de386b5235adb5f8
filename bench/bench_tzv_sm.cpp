// Cycles per byte of the 16-lane SM4 modes and SM3 of libtzvcrypto, measured the way the harness
// calls them: 16 lanes of equal length, the best of several runs of a call loop, divided by
// 16 x length. Usage: bench_tzv_sm [length ...]  (default 1024 16384).
#include <x86intrin.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "tzvcrypto.h"

namespace {

constexpr int kLanes = 16;

// The fewest cycles per call over `runs` runs of `calls` calls.
double bestCyclesPerCall(const std::function<void()>& call, int runs = 7, int calls = 20)
{
    call(); // warm the caches and the tables
    unsigned long long best = ~0ull;
    for (int r = 0; r < runs; ++r) {
        unsigned long long t0 = __rdtsc();
        for (int c = 0; c < calls; ++c) call();
        unsigned long long t = __rdtsc() - t0;
        if (t < best) best = t;
    }
    return (double)best / calls;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> lengths;
    for (int i = 1; i < argc; ++i) lengths.push_back(std::atoi(argv[i]));
    if (lengths.empty()) lengths = {1024, 16384};

    for (int length : lengths) {
        std::vector<std::vector<uint8_t>> txt(kLanes, std::vector<uint8_t>((size_t)length, 1)),
            enc(kLanes, std::vector<uint8_t>((size_t)length, 2)), iv(kLanes, std::vector<uint8_t>((size_t)length, 3)),
            aad(kLanes, std::vector<uint8_t>((size_t)length, 4));
        uint8_t key[kLanes][16], xkey[kLanes][32], hash[kLanes][32];
        uint8_t* out[kLanes];
        const uint8_t* in[kLanes];
        uint8_t* ivp[kLanes];
        const uint8_t* civ[kLanes];
        const uint8_t* caad[kLanes];
        const tzv_sm4_key* k[kLanes];
        const tzv_sm4_xts_key* xk[kLanes];
        uint8_t* h[kLanes];
        int len[kLanes], ivLen[kLanes], tagLen[kLanes];
        int64u total[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            std::memset(key[i], i + 1, 16);
            std::memset(xkey[i], i + 7, 32);
            out[i] = enc[i].data(), in[i] = txt[i].data(), ivp[i] = iv[i].data(), civ[i] = iv[i].data();
            caad[i] = aad[i].data(), k[i] = &key[i], xk[i] = &xkey[i], h[i] = hash[i];
            len[i] = length, ivLen[i] = 7, tagLen[i] = 12, total[i] = ~0ull;
        }
        static tzv_sm4_key_schedule rkey, key1, key2;
        static tzv_sm4_gcm_ctx_mb16 gcm;
        static tzv_sm4_ccm_ctx_mb16 ccm;
        static tzv_sm3_ctx_mb16 sm3;
        tzv_sm4_set_key_mb16(&rkey, k);
        tzv_sm4_xts_set_keys_mb16(&key1, &key2, xk);
        tzv_sm4_gcm_init_mb16(k, civ, len, &gcm);
        tzv_sm4_gcm_update_aad_mb16(caad, len, &gcm);
        tzv_sm4_ccm_init_mb16(k, civ, ivLen, tagLen, total, &ccm);
        tzv_sm4_ccm_update_aad_mb16(caad, len, &ccm);
        tzv_sm3_init_mb16(&sm3);

        struct Case {
            const char* name;
            std::function<void()> call;
        };
        const Case cases[] = {
            {"sm4 ecb encrypt", [&] { tzv_sm4_encrypt_ecb_mb16(out, in, len, &rkey); }},
            {"sm4 ecb decrypt", [&] { tzv_sm4_decrypt_ecb_mb16(out, in, len, &rkey); }},
            {"sm4 cbc encrypt", [&] { tzv_sm4_encrypt_cbc_mb16(out, in, len, &rkey, civ); }},
            {"sm4 cbc decrypt", [&] { tzv_sm4_decrypt_cbc_mb16(out, in, len, &rkey, civ); }},
            {"sm4 ctr128", [&] { tzv_sm4_encrypt_ctr128_mb16(out, in, len, &rkey, ivp); }},
            {"sm4 ofb", [&] { tzv_sm4_encrypt_ofb_mb16(out, in, len, &rkey, ivp); }},
            {"sm4 cfb128 encrypt", [&] { tzv_sm4_encrypt_cfb128_mb16(out, in, len, &rkey, civ); }},
            {"sm4 cfb128 decrypt", [&] { tzv_sm4_decrypt_cfb128_mb16(out, in, len, &rkey, civ); }},
            {"sm4 xts encrypt", [&] { tzv_sm4_xts_encrypt_mb16(out, in, len, &key1, &key2, civ); }},
            {"sm4 xts decrypt", [&] { tzv_sm4_xts_decrypt_mb16(out, in, len, &key1, &key2, civ); }},
            {"sm4 gcm encrypt", [&] { tzv_sm4_gcm_encrypt_mb16(out, in, len, &gcm); }},
            {"sm4 gcm decrypt", [&] { tzv_sm4_gcm_decrypt_mb16(out, in, len, &gcm); }},
            {"sm4 ccm encrypt", [&] { tzv_sm4_ccm_encrypt_mb16(out, in, len, &ccm); }},
            {"sm4 ccm decrypt", [&] { tzv_sm4_ccm_decrypt_mb16(out, in, len, &ccm); }},
            {"sm3 update", [&] { tzv_sm3_update_mb16(in, len, &sm3); }},
            {"sm3 msg digest", [&] { tzv_sm3_msg_digest_mb16(in, len, h); }},
        };
        std::printf("length %d bytes per lane, 16 lanes\n", length);
        for (const Case& c : cases)
            std::printf("  %-20s %8.2f cycles/byte\n", c.name, bestCyclesPerCall(c.call) / (16.0 * length));
    }
    return 0;
}
