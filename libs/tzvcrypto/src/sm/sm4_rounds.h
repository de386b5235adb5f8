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

// One round, x0 ^ T(x1 ^ x2 ^ x3 ^ k) with T = L(tau(.)). The newest word x3 comes as two
// halves t ^ u, and the result is left the same way: the next round folds both halves into its
// S-box input in one three-way XOR, so only the S-box, one rotation and two XORs separate one
// round's S-box from the next.
template <class V>
void roundStep(const V& x0, const V& x1, const V& x2, const V& k, V& t, V& u)
{
    V b = V::xor3(V::xor3(x1, x2, k), t, u).sm4Sbox();
    t = V::xor3(b, b.template rotl<2>(), b.template rotl<10>());
    u = V::xor3(x0, b.template rotl<18>(), b.template rotl<24>());
}
// T' = L'(tau(x)) of the key schedule.
template <class V>
V keyT(const V& x)
{
    V b = x.sm4Sbox();
    return V::xor3(b, b.template rotl<13>(), b.template rotl<23>());
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
        V next = k[0] ^ keyT(V::xor3(k[1], k[2], k[3]) ^ V::broadcast(ck(r)));
        next.storeLanes(rk[r], run);
        k[0] = k[1], k[1] = k[2], k[2] = k[3], k[3] = next;
    }
}

// Runs the 32 rounds over N sets of 16 lanes' blocks side by side (x[n][word]); decryption takes
// the round keys backwards. Inlined so that the blocks stay in registers.
template <bool Decrypt, int N, class V>
__attribute__((always_inline)) inline void cryptBlocks(const RoundKeys rk, V x[N][4])
{
    // w[n][j]: the four words of set n; t, u: the halves of the newest word.
    V w[N][4], t[N], u[N];
#pragma GCC unroll 4
    for (int n = 0; n < N; ++n) {
        for (int j = 0; j < 4; ++j) w[n][j] = x[n][j];
        t[n] = x[n][3], u[n] = V::zero();
    }
    for (int r = 0; r < kRounds; r += 4) {
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i) {
            // Round r + i replaces word i (the oldest); words i+1, i+2 and the newest feed it.
            V k = V::load(rk[Decrypt ? kRounds - 1 - r - i : r + i]);
#pragma GCC unroll 4
            for (int n = 0; n < N; ++n) {
                roundStep(w[n][i], w[n][(i + 1) & 3], w[n][(i + 2) & 3], k, t[n], u[n]);
                w[n][i] = t[n] ^ u[n];
            }
        }
    }
#pragma GCC unroll 4
    for (int n = 0; n < N; ++n)
        for (int j = 0; j < 4; ++j) x[n][j] = w[n][3 - j];
}

template <bool Decrypt, class V>
__attribute__((always_inline)) inline void cryptBlock(const RoundKeys rk, V x[4])
{
    cryptBlocks<Decrypt, 1>(rk, reinterpret_cast<V(*)[4]>(x));
}

} // namespace
} // namespace sm
} // namespace tzv

#endif
