// SM4 (GB/T 32907) on 16 lanes at once, over any lane-vector type of simd/vec32x16.h: the round
// function, the key schedule, and block encryption with each register holding one word of every
// lane. Round keys are laid out rk[round][lane], so one load gives a round's key for all lanes.
#ifndef TZV_SM_SM4_ROUNDS_H
#define TZV_SM_SM4_ROUNDS_H

#include <cstdint>

#include "simd/vec32x16.h"

namespace tzv {
namespace sm {
namespace {

using simd::LaneMask;

constexpr int kRounds = 32;
constexpr int kLanes = 16;
using RoundKeys = uint32_t[kRounds][kLanes];

constexpr uint32_t kFk[4] = {0xa3b1bac6u, 0x56aa3350u, 0x677d9197u, 0xb27022dcu};

// CK_i: byte j of word i is (4i + j) * 7 mod 256.
constexpr uint32_t ck(int i)
{
    uint32_t w = 0;
    for (int j = 0; j < 4; ++j) w = (w << 8) | (uint32_t)(((4 * i + j) * 7) & 0xff);
    return w;
}

// T = L(tau(x)) of the rounds and T' = L'(tau(x)) of the key schedule.
template <class V>
V roundT(const V& x)
{
    V b = x.sm4Sbox();
    return b ^ b.template rotl<2>() ^ b.template rotl<10>() ^ b.template rotl<18>() ^ b.template rotl<24>();
}
template <class V>
V keyT(const V& x)
{
    V b = x.sm4Sbox();
    return b ^ b.template rotl<13>() ^ b.template rotl<23>();
}

// Expands the keys of the lanes in `run` into rk (the other lanes' round keys are left alone).
template <class V>
void expandKeys(RoundKeys rk, const uint8_t* const key[kLanes], LaneMask run)
{
    const uint8_t* p[kLanes];
    int start[kLanes] = {0}, count[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        bool on = (run >> i) & 1;
        p[i] = on ? key[i] : nullptr;
        count[i] = on ? 16 : 0;
    }
    V k[4];
    V::loadBlocks(p, start, count, k);
    for (int j = 0; j < 4; ++j) k[j] = k[j] ^ V::broadcast(kFk[j]);
    for (int r = 0; r < kRounds; ++r) {
        V next = k[0] ^ keyT(k[1] ^ k[2] ^ k[3] ^ V::broadcast(ck(r)));
        next.storeLanes(rk[r], run);
        k[0] = k[1], k[1] = k[2], k[2] = k[3], k[3] = next;
    }
}

// Runs the 32 rounds over N sets of 16 lanes' blocks side by side (x[n][word]); decryption takes
// the round keys backwards.
template <bool Decrypt, int N, class V>
void cryptBlocks(const RoundKeys rk, V x[N][4])
{
    for (int r = 0; r < kRounds; ++r) {
        V k = V::load(rk[Decrypt ? kRounds - 1 - r : r]);
        for (int n = 0; n < N; ++n) {
            V t = x[n][0] ^ roundT(x[n][1] ^ x[n][2] ^ x[n][3] ^ k);
            x[n][0] = x[n][1], x[n][1] = x[n][2], x[n][2] = x[n][3], x[n][3] = t;
        }
    }
    for (int n = 0; n < N; ++n) {
        V t0 = x[n][0], t1 = x[n][1];
        x[n][0] = x[n][3], x[n][1] = x[n][2], x[n][2] = t1, x[n][3] = t0;
    }
}

template <bool Decrypt, class V>
void cryptBlock(const RoundKeys rk, V x[4])
{
    cryptBlocks<Decrypt, 1>(rk, reinterpret_cast<V(*)[4]>(x));
}

} // namespace
} // namespace sm
} // namespace tzv

#endif
