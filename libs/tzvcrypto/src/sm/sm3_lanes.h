// SM3 (GB/T 32905) on 16 lanes, one lane per 32-bit element: message expansion and compression over
// the vector type of simd/vec32x16.h, and the padding of every lane's last block built by masks.
#ifndef TZV_SM_SM3_LANES_H
#define TZV_SM_SM3_LANES_H

#include <cstdint>

#include "sm/lane_spans.h"

namespace tzv {
namespace sm {
namespace {

constexpr uint32_t kSm3Iv[8] = {0x7380166fu, 0x4914b2b9u, 0x172442d7u, 0xda8a0600u,
                                0xa96f30bcu, 0x163138aau, 0xe38dee4du, 0xb0fb0e4eu};

// T_j rotated left by j mod 32, the round constant as the compression function adds it.
constexpr uint32_t sm3RoundConstant(int j)
{
    uint32_t t = j < 16 ? 0x79cc4519u : 0x7a879d8au;
    int n = j % 32;
    return n ? (t << n) | (t >> (32 - n)) : t;
}

template <class V>
V sm3P0(const V& x)
{
    return x ^ x.template rotl<9>() ^ x.template rotl<17>();
}
template <class V>
V sm3P1(const V& x)
{
    return x ^ x.template rotl<15>() ^ x.template rotl<23>();
}

// Compresses one block of message words w[0..15] into v in the lanes of m. The expanded words
// W_16..W_67 are made as the rounds need them, in a window of 16.
template <class V>
void sm3Compress(V v[8], V w[16], LaneMask m)
{
    V a = v[0], b = v[1], c = v[2], d = v[3], e = v[4], f = v[5], g = v[6], h = v[7];
    for (int j = 0; j < 64; ++j) {
        if (j + 4 >= 16) {
            int n = j + 4;
            w[n % 16] = sm3P1(w[n % 16] ^ w[(n - 9) % 16] ^ w[(n - 3) % 16].template rotl<15>()) ^
                        w[(n - 13) % 16].template rotl<7>() ^ w[(n - 6) % 16];
        }
        const V& wj = w[j % 16];
        V a12 = a.template rotl<12>();
        V ss1 = (a12 + e + V::broadcast(sm3RoundConstant(j))).template rotl<7>();
        V ss2 = ss1 ^ a12;
        V ff = j < 16 ? a ^ b ^ c : (a & b) | (c & (a | b));
        V gg = j < 16 ? e ^ f ^ g : (e & f) | V::andNot(e, g);
        V tt1 = ff + d + ss2 + (wj ^ w[(j + 4) % 16]);
        V tt2 = gg + h + ss1 + wj;
        d = c, c = b.template rotl<9>(), b = a, a = tt1;
        h = g, g = f.template rotl<19>(), f = e, e = sm3P0(tt2);
    }
    V r[8] = {a, b, c, d, e, f, g, h};
    for (int k = 0; k < 8; ++k) v[k] = V::select(m, v[k] ^ r[k], v[k]);
}

// Message words of one 64-byte block per lane: count[i] bytes (0..64) from p[i], zeros after.
template <class V>
void sm3LoadBlock(const uint8_t* const p[16], const int count[16], V w[16])
{
    for (int q = 0; q < 4; ++q) {
        const uint8_t* src[16];
        int start[16] = {0}, n[16];
        for (int i = 0; i < 16; ++i) {
            int c = count[i] - 16 * q;
            n[i] = c < 0 ? 0 : c > 16 ? 16 : c;
            src[i] = n[i] ? p[i] + 16 * q : nullptr;
        }
        V::loadBlocks(src, start, n, w + 4 * q);
    }
}

template <class V>
void sm3Blocks(uint32_t state[8][16], const uint8_t* const p[16], const long blocks[16])
{
    V v[8];
    for (int k = 0; k < 8; ++k) v[k] = V::load(state[k]);
    long most = 0;
    for (int i = 0; i < 16; ++i) most = blocks[i] > most ? blocks[i] : most;
    for (long b = 0; b < most; ++b) {
        const uint8_t* src[16];
        int count[16];
        LaneMask m = 0;
        for (int i = 0; i < 16; ++i) {
            bool on = b < blocks[i];
            src[i] = on ? p[i] + 64 * b : nullptr;
            count[i] = on ? 64 : 0;
            m |= (LaneMask)(on << i);
        }
        V w[16];
        sm3LoadBlock(src, count, w);
        sm3Compress(v, w, m);
    }
    for (int k = 0; k < 8; ++k) v[k].store(state[k]);
}

// The last tailLen[i] < 64 bytes of every lane, then 0x80, zeros and the 64-bit bit length: one
// block, or two when the length no longer fits behind the tail. Writes the digests.
template <class V>
void sm3Final(uint32_t state[8][16], const uint8_t* const tail[16], const int tailLen[16],
              const uint64_t totalBytes[16], LaneMask run, uint8_t* const hash[16])
{
    V v[8], w[16];
    for (int k = 0; k < 8; ++k) v[k] = V::load(state[k]);
    sm3LoadBlock(tail, tailLen, w);
    uint32_t lenHi[16], lenLo[16];
    LaneMask two = 0;
    for (int i = 0; i < 16; ++i) {
        uint64_t bits = totalBytes[i] * 8;
        lenHi[i] = (uint32_t)(bits >> 32), lenLo[i] = (uint32_t)bits;
        two |= (LaneMask)((((run >> i) & 1) && tailLen[i] >= 56) << i);
    }
    // 0x80 goes to byte tailLen: in big-endian word j it is 0x80 shifted by 8 * (4j + 3 - tailLen).
    for (int j = 0; j < 16; ++j) {
        uint32_t shift[16];
        for (int i = 0; i < 16; ++i) {
            int s = 8 * (4 * j + 3 - tailLen[i]);
            shift[i] = (uint32_t)(s < 0 || s > 24 ? 32 : s);
        }
        w[j] = w[j] | V::shlv(V::broadcast(0x80), V::load(shift));
    }
    const V hi = V::load(lenHi), lo = V::load(lenLo), zero = V::zero();
    w[14] = w[14] | V::select(two, zero, hi);
    w[15] = w[15] | V::select(two, zero, lo);
    sm3Compress(v, w, run);
    if (two) {
        for (int j = 0; j < 14; ++j) w[j] = zero;
        w[14] = hi, w[15] = lo;
        sm3Compress(v, w, two);
    }
    for (int k = 0; k < 8; ++k) v[k].store(state[k]);
    uint8_t* dst[16];
    int start[16] = {0}, count[16];
    for (int half = 0; half < 2; ++half) {
        for (int i = 0; i < 16; ++i) {
            bool on = (run >> i) & 1;
            dst[i] = on ? hash[i] + 16 * half : nullptr;
            count[i] = on ? 16 : 0;
        }
        V::storeBlocks(dst, start, count, v + 4 * half);
    }
}

} // namespace
} // namespace sm
} // namespace tzv

#endif
