// Four 128-bit lanes per vector, four vectors for the 16 lanes: the type GHASH is written over,
// one hash per lane with the lane's own key. Backends as in vec32x16.h: Vec128x4Avx512 (VPCLMULQDQ
// on one ZMM), Vec128x4Sse (four XMM, PCLMULQDQ and SSSE3) and Vec128x4Plain (a carry-less
// multiply by masks, no branch and no table). Internal linkage throughout, as in vec32x16.h.
#ifndef TZV_SIMD_VEC128X4_H
#define TZV_SIMD_VEC128X4_H

#include <cstdint>
#include <cstring>

#include "simd/vec32x16.h"

namespace tzv {
namespace simd {
namespace {

// Lane i of a block set is lane i % 4 of vector i / 4. Block I/O by lane as in vec32x16.h, bytes
// in memory order (byte 0 in the low bits of the low quadword).
inline void gatherPieces(const uint8_t* const p[16], const int start[16], const int count[16],
                         uint8_t b[16][16])
{
    for (int i = 0; i < 16; ++i) {
        std::memset(b[i], 0, 16);
        if (count[i] > 0) std::memcpy(b[i] + start[i], p[i], (std::size_t)count[i]);
    }
}
inline void scatterPieces(uint8_t* const p[16], const int start[16], const int count[16],
                          const uint8_t b[16][16])
{
    for (int i = 0; i < 16; ++i)
        if (count[i] > 0) std::memcpy(p[i], b[i] + start[i], (std::size_t)count[i]);
}

inline uint64_t bitReverseBytes64(uint64_t x)
{
    x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
    x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
    return ((x >> 4) & 0x0f0f0f0f0f0f0f0full) | ((x & 0x0f0f0f0f0f0f0f0full) << 4);
}

// ---- plain C++ -----------------------------------------------------------------------------------
struct Vec128x4Plain {
    uint64_t q[4][2]; // [lane][low, high]

    static Vec128x4Plain zero()
    {
        Vec128x4Plain r;
        std::memset(r.q, 0, sizeof r.q);
        return r;
    }
    // The same 64-bit value in the low quadword of every lane.
    static Vec128x4Plain low64(uint64_t x)
    {
        Vec128x4Plain r = zero();
        for (auto& l : r.q) l[0] = x;
        return r;
    }
    friend Vec128x4Plain operator^(const Vec128x4Plain& a, const Vec128x4Plain& b)
    {
        Vec128x4Plain r;
        for (int k = 0; k < 4; ++k) r.q[k][0] = a.q[k][0] ^ b.q[k][0], r.q[k][1] = a.q[k][1] ^ b.q[k][1];
        return r;
    }
    // Each lane's low quadword moved to the high one (the low one cleared), and the other way.
    Vec128x4Plain up64() const
    {
        Vec128x4Plain r;
        for (int k = 0; k < 4; ++k) r.q[k][0] = 0, r.q[k][1] = q[k][0];
        return r;
    }
    Vec128x4Plain down64() const
    {
        Vec128x4Plain r;
        for (int k = 0; k < 4; ++k) r.q[k][0] = q[k][1], r.q[k][1] = 0;
        return r;
    }
    // PCLMULQDQ's selection: bit 0 of Imm picks a's quadword, bit 4 b's.
    template <int Imm>
    static Vec128x4Plain clmul(const Vec128x4Plain& a, const Vec128x4Plain& b)
    {
        Vec128x4Plain r;
        for (int k = 0; k < 4; ++k) {
            uint64_t x = a.q[k][Imm & 1], y = b.q[k][(Imm >> 4) & 1], lo = 0, hi = 0;
            for (int i = 0; i < 64; ++i) {
                uint64_t m = 0 - ((y >> i) & 1);
                lo ^= (x << i) & m;
                hi ^= (i ? x >> (64 - i) : 0) & m;
            }
            r.q[k][0] = lo, r.q[k][1] = hi;
        }
        return r;
    }
    Vec128x4Plain bitReverseBytes() const
    {
        Vec128x4Plain r;
        for (int k = 0; k < 4; ++k) r.q[k][0] = bitReverseBytes64(q[k][0]), r.q[k][1] = bitReverseBytes64(q[k][1]);
        return r;
    }
    // a in the lanes of m (4 bits), b elsewhere.
    static Vec128x4Plain select(unsigned m, const Vec128x4Plain& a, const Vec128x4Plain& b)
    {
        Vec128x4Plain r;
        for (int k = 0; k < 4; ++k) {
            uint64_t s = 0 - (uint64_t)((m >> k) & 1);
            for (int h = 0; h < 2; ++h) r.q[k][h] = (a.q[k][h] & s) | (b.q[k][h] & ~s);
        }
        return r;
    }
    static void loadBlocks(const uint8_t* const p[16], const int start[16], const int count[16],
                           Vec128x4Plain x[4])
    {
        uint8_t b[16][16];
        gatherPieces(p, start, count, b);
        for (int i = 0; i < 16; ++i) std::memcpy(x[i / 4].q[i % 4], b[i], 16);
    }
    static void storeBlocks(uint8_t* const p[16], const int start[16], const int count[16],
                            const Vec128x4Plain x[4])
    {
        uint8_t b[16][16];
        for (int i = 0; i < 16; ++i) std::memcpy(b[i], x[i / 4].q[i % 4], 16);
        scatterPieces(p, start, count, b);
    }
};

// ---- SSE with PCLMULQDQ --------------------------------------------------------------------------
#if defined(__PCLMUL__) && defined(__SSSE3__)
struct Vec128x4Sse {
    __m128i x[4];

    template <typename F>
    static Vec128x4Sse each(F f)
    {
        Vec128x4Sse r;
        for (int k = 0; k < 4; ++k) r.x[k] = f(k);
        return r;
    }
    static Vec128x4Sse zero() { return each([](int) { return _mm_setzero_si128(); }); }
    static Vec128x4Sse low64(uint64_t v) { return each([v](int) { return _mm_set_epi64x(0, (long long)v); }); }
    friend Vec128x4Sse operator^(const Vec128x4Sse& a, const Vec128x4Sse& b)
    {
        return each([&](int k) { return _mm_xor_si128(a.x[k], b.x[k]); });
    }
    Vec128x4Sse up64() const { return each([this](int k) { return _mm_slli_si128(x[k], 8); }); }
    Vec128x4Sse down64() const { return each([this](int k) { return _mm_srli_si128(x[k], 8); }); }
    template <int Imm>
    static Vec128x4Sse clmul(const Vec128x4Sse& a, const Vec128x4Sse& b)
    {
        return each([&](int k) { return _mm_clmulepi64_si128(a.x[k], b.x[k], Imm); });
    }
    Vec128x4Sse bitReverseBytes() const
    {
        // Nibble n reversed, placed in the high (lo table) or low (hi table) half of the byte.
        const __m128i lo = _mm_setr_epi8(0x00, (char)0x80, 0x40, (char)0xc0, 0x20, (char)0xa0, 0x60, (char)0xe0,
                                         0x10, (char)0x90, 0x50, (char)0xd0, 0x30, (char)0xb0, 0x70, (char)0xf0);
        const __m128i hi = _mm_setr_epi8(0x0, 0x8, 0x4, 0xc, 0x2, 0xa, 0x6, 0xe, 0x1, 0x9, 0x5, 0xd, 0x3, 0xb, 0x7, 0xf);
        const __m128i low4 = _mm_set1_epi8(0x0f);
        return each([&](int k) {
            __m128i a = _mm_shuffle_epi8(lo, _mm_and_si128(x[k], low4));
            __m128i b = _mm_shuffle_epi8(hi, _mm_and_si128(_mm_srli_epi16(x[k], 4), low4));
            return _mm_or_si128(a, b);
        });
    }
    static Vec128x4Sse select(unsigned m, const Vec128x4Sse& a, const Vec128x4Sse& b)
    {
        return each([&](int k) {
            __m128i s = _mm_set1_epi64x(-(long long)((m >> k) & 1));
            return _mm_or_si128(_mm_and_si128(s, a.x[k]), _mm_andnot_si128(s, b.x[k]));
        });
    }
    static void loadBlocks(const uint8_t* const p[16], const int start[16], const int count[16],
                           Vec128x4Sse v[4])
    {
        uint8_t b[16][16];
        gatherPieces(p, start, count, b);
        for (int i = 0; i < 16; ++i) v[i / 4].x[i % 4] = _mm_loadu_si128((const __m128i*)b[i]);
    }
    static void storeBlocks(uint8_t* const p[16], const int start[16], const int count[16],
                            const Vec128x4Sse v[4])
    {
        uint8_t b[16][16];
        for (int i = 0; i < 16; ++i) _mm_storeu_si128((__m128i*)b[i], v[i / 4].x[i % 4]);
        scatterPieces(p, start, count, b);
    }
};
#endif

// ---- AVX-512 with VPCLMULQDQ ---------------------------------------------------------------------
#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__GFNI__) && defined(__VPCLMULQDQ__)
struct Vec128x4Avx512 {
    __m512i v;

    static Vec128x4Avx512 make(__m512i a)
    {
        Vec128x4Avx512 r;
        r.v = a;
        return r;
    }
    static Vec128x4Avx512 zero() { return make(_mm512_setzero_si512()); }
    static Vec128x4Avx512 low64(uint64_t x) { return make(_mm512_maskz_set1_epi64(0x55, (long long)x)); }
    friend Vec128x4Avx512 operator^(Vec128x4Avx512 a, Vec128x4Avx512 b) { return make(_mm512_xor_si512(a.v, b.v)); }
    Vec128x4Avx512 up64() const { return make(_mm512_bslli_epi128(v, 8)); }
    Vec128x4Avx512 down64() const { return make(_mm512_bsrli_epi128(v, 8)); }
    template <int Imm>
    static Vec128x4Avx512 clmul(Vec128x4Avx512 a, Vec128x4Avx512 b)
    {
        return make(_mm512_clmulepi64_epi128(a.v, b.v, Imm));
    }
    Vec128x4Avx512 bitReverseBytes() const
    {
        return make(_mm512_gf2p8affine_epi64_epi8(v, _mm512_set1_epi64((long long)kBitReverse.qword()), 0));
    }
    static Vec128x4Avx512 select(unsigned m, Vec128x4Avx512 a, Vec128x4Avx512 b)
    {
        // Two quadwords per lane.
        __mmask8 q = (__mmask8)(((m & 1) * 3) | ((m & 2) * 6) | ((m & 4) * 12) | ((m & 8) * 24));
        return make(_mm512_mask_blend_epi64(q, b.v, a.v));
    }
    static void loadBlocks(const uint8_t* const p[16], const int start[16], const int count[16],
                           Vec128x4Avx512 x[4])
    {
        for (int g = 0; g < 4; ++g) {
            __m512i z = _mm512_zextsi128_si512(Vec32x16Avx512::loadPiece(p[4 * g], start[4 * g], count[4 * g]));
            for (int k = 1; k < 4; ++k) {
                __m128i piece = Vec32x16Avx512::loadPiece(p[4 * g + k], start[4 * g + k], count[4 * g + k]);
                z = k == 1 ? _mm512_inserti32x4(z, piece, 1)
                  : k == 2 ? _mm512_inserti32x4(z, piece, 2)
                           : _mm512_inserti32x4(z, piece, 3);
            }
            x[g].v = z;
        }
    }
    static void storeBlocks(uint8_t* const p[16], const int start[16], const int count[16],
                            const Vec128x4Avx512 x[4])
    {
        for (int g = 0; g < 4; ++g) {
            Vec32x16Avx512::storePiece(p[4 * g], start[4 * g], count[4 * g], _mm512_castsi512_si128(x[g].v));
            Vec32x16Avx512::storePiece(p[4 * g + 1], start[4 * g + 1], count[4 * g + 1], _mm512_extracti32x4_epi32(x[g].v, 1));
            Vec32x16Avx512::storePiece(p[4 * g + 2], start[4 * g + 2], count[4 * g + 2], _mm512_extracti32x4_epi32(x[g].v, 2));
            Vec32x16Avx512::storePiece(p[4 * g + 3], start[4 * g + 3], count[4 * g + 3], _mm512_extracti32x4_epi32(x[g].v, 3));
        }
    }
};
#endif

} // namespace
} // namespace simd
} // namespace tzv

#endif
