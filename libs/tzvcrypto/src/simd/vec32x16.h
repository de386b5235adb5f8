// Sixteen 32-bit lanes: the vector type the SM4 and SM3 code is written over, one lane per
// independent message. Backends: Vec32x16Avx512 (one ZMM register; only in *_avx512.cpp units),
// Vec32x16Avx2 (two YMM registers and AES-NI; only in units built with -mavx2 -maes) and
// Vec32x16Plain (a loop over the lanes; any processor, and what valgrind can check).
// Every operation is free of data-dependent branches and addresses; lane masks are public.
// All of it has internal linkage, so that no function compiled for one instruction set can stand
// in for another unit's copy at link time.
#ifndef TZV_SIMD_VEC32X16_H
#define TZV_SIMD_VEC32X16_H

#include <cstdint>
#include <cstring>

#if defined(__AVX512F__) || defined(__AVX2__)
// GCC 12's intrinsics start some results from a self-initialised "undefined" register, which
// -Wuninitialized reports at every use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif

#include "simd/gf2_matrix.h"

namespace tzv {
namespace simd {

// One bit per lane, lane i in bit i.
using LaneMask = uint16_t;
constexpr LaneMask kAllLanes = 0xffff;

namespace {

inline uint32_t loadBe32(const uint8_t* p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}
inline void storeBe32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24), p[1] = (uint8_t)(v >> 16), p[2] = (uint8_t)(v >> 8), p[3] = (uint8_t)v;
}

// The block I/O every backend offers, by lane: bytes [start, start + count) of lane i's 16-byte
// block come from (go to) p[i][0 .. count); the other bytes of a loaded block are zero. Words
// are big-endian and transposed: w[j] holds word j of every lane.
inline void gatherBlocks(const uint8_t* const p[16], const int start[16], const int count[16],
                         uint32_t w[4][16])
{
    for (int i = 0; i < 16; ++i) {
        uint8_t b[16] = {0};
        if (count[i] > 0) std::memcpy(b + start[i], p[i], (std::size_t)count[i]);
        for (int j = 0; j < 4; ++j) w[j][i] = loadBe32(b + 4 * j);
    }
}
inline void scatterBlocks(uint8_t* const p[16], const int start[16], const int count[16],
                          const uint32_t w[4][16])
{
    for (int i = 0; i < 16; ++i) {
        if (count[i] <= 0) continue;
        uint8_t b[16];
        for (int j = 0; j < 4; ++j) storeBe32(b + 4 * j, w[j][i]);
        std::memcpy(p[i], b + start[i], (std::size_t)count[i]);
    }
}

// Eight bytes at once, with the carries kept inside each byte.
inline uint64_t affineBytes(uint64_t x, const Gf2Matrix& m, uint8_t c)
{
    uint64_t y = 0x0101010101010101ull * c;
    for (int i = 0; i < 8; ++i) {
        uint64_t t = x & (0x0101010101010101ull * m.row[i]);
        t ^= t >> 4, t ^= t >> 2, t ^= t >> 1;
        y ^= (t & 0x0101010101010101ull) << i;
    }
    return y;
}
inline uint64_t aesMulBytes(uint64_t a, uint64_t b)
{
    uint64_t r = 0;
    for (int i = 0; i < 8; ++i) {
        r ^= a & (((b >> i) & 0x0101010101010101ull) * 0xff);
        a = ((a & 0x7f7f7f7f7f7f7f7full) << 1) ^ (((a >> 7) & 0x0101010101010101ull) * 0x1b);
    }
    return r;
}
// Squaring is linear in GF(2^8): x^(2^k) is one bit-matrix product.
constexpr Gf2Matrix kAesSquare = Gf2Matrix::of([](uint8_t x) { return gfMul(x, x, kAesPoly); });
constexpr Gf2Matrix kAesSquare2 = compose(kAesSquare, kAesSquare);
constexpr Gf2Matrix kAesSquare4 = compose(kAesSquare2, kAesSquare2);

// x^254 in the AES field: the inverse, with 0 going to 0.
inline uint64_t aesInvBytes(uint64_t x)
{
    uint64_t x2 = affineBytes(x, kAesSquare, 0), x3 = aesMulBytes(x2, x);
    uint64_t x12 = affineBytes(x3, kAesSquare2, 0), x15 = aesMulBytes(x12, x3);
    uint64_t x240 = affineBytes(x15, kAesSquare4, 0);
    return aesMulBytes(aesMulBytes(x240, x12), x2);
}
// SM4's S-box on eight bytes, the same two steps as the GFNI backend, in plain arithmetic.
inline uint64_t sm4SboxBytes(uint64_t x)
{
    return affineBytes(aesInvBytes(affineBytes(x, kSboxIn, kSboxInConst)), kSboxOut, kSboxOutConst);
}

// ---- plain C++ -----------------------------------------------------------------------------------
struct Vec32x16Plain {
    uint32_t w[16];
    // Independent block sets the modes interleave to hide the rounds' latency.
    static constexpr int kWays = 1;

    static Vec32x16Plain broadcast(uint32_t x)
    {
        Vec32x16Plain r;
        for (int i = 0; i < 16; ++i) r.w[i] = x;
        return r;
    }
    static Vec32x16Plain zero() { return broadcast(0); }
    static Vec32x16Plain load(const uint32_t* p)
    {
        Vec32x16Plain r;
        std::memcpy(r.w, p, sizeof r.w);
        return r;
    }
    void store(uint32_t* p) const { std::memcpy(p, w, sizeof w); }
    void storeLanes(uint32_t* p, LaneMask m) const
    {
        for (int i = 0; i < 16; ++i)
            if ((m >> i) & 1) p[i] = w[i];
    }

    template <typename F>
    static Vec32x16Plain map(const Vec32x16Plain& a, const Vec32x16Plain& b, F f)
    {
        Vec32x16Plain r;
        for (int i = 0; i < 16; ++i) r.w[i] = f(a.w[i], b.w[i]);
        return r;
    }
    friend Vec32x16Plain operator^(const Vec32x16Plain& a, const Vec32x16Plain& b)
    {
        return map(a, b, [](uint32_t x, uint32_t y) { return x ^ y; });
    }
    friend Vec32x16Plain operator&(const Vec32x16Plain& a, const Vec32x16Plain& b)
    {
        return map(a, b, [](uint32_t x, uint32_t y) { return x & y; });
    }
    friend Vec32x16Plain operator|(const Vec32x16Plain& a, const Vec32x16Plain& b)
    {
        return map(a, b, [](uint32_t x, uint32_t y) { return x | y; });
    }
    friend Vec32x16Plain operator+(const Vec32x16Plain& a, const Vec32x16Plain& b)
    {
        return map(a, b, [](uint32_t x, uint32_t y) { return x + y; });
    }
    static Vec32x16Plain xor3(const Vec32x16Plain& a, const Vec32x16Plain& b, const Vec32x16Plain& c)
    {
        return a ^ b ^ c;
    }
    // ~a & b
    static Vec32x16Plain andNot(const Vec32x16Plain& a, const Vec32x16Plain& b)
    {
        return map(a, b, [](uint32_t x, uint32_t y) { return ~x & y; });
    }
    template <int N>
    Vec32x16Plain rotl() const
    {
        Vec32x16Plain r;
        for (int i = 0; i < 16; ++i) r.w[i] = (w[i] << N) | (w[i] >> ((32 - N) & 31));
        return r;
    }
    template <int N>
    Vec32x16Plain shl() const
    {
        Vec32x16Plain r;
        for (int i = 0; i < 16; ++i) r.w[i] = w[i] << N;
        return r;
    }
    template <int N>
    Vec32x16Plain shr() const
    {
        Vec32x16Plain r;
        for (int i = 0; i < 16; ++i) r.w[i] = w[i] >> N;
        return r;
    }
    // Shifts by each lane's count; counts of 32 or more give 0.
    static Vec32x16Plain shrv(const Vec32x16Plain& a, const Vec32x16Plain& n)
    {
        return map(a, n, [](uint32_t x, uint32_t k) { return k < 32 ? x >> k : 0u; });
    }
    static Vec32x16Plain shlv(const Vec32x16Plain& a, const Vec32x16Plain& n)
    {
        return map(a, n, [](uint32_t x, uint32_t k) { return k < 32 ? x << k : 0u; });
    }
    Vec32x16Plain bswap() const
    {
        Vec32x16Plain r;
        for (int i = 0; i < 16; ++i)
            r.w[i] = (w[i] >> 24) | ((w[i] >> 8) & 0xff00u) | ((w[i] << 8) & 0xff0000u) | (w[i] << 24);
        return r;
    }
    static LaneMask lessThan(const Vec32x16Plain& a, const Vec32x16Plain& b) // unsigned
    {
        LaneMask m = 0;
        for (int i = 0; i < 16; ++i) m |= (LaneMask)((a.w[i] < b.w[i]) << i);
        return m;
    }
    static LaneMask equal(const Vec32x16Plain& a, const Vec32x16Plain& b)
    {
        LaneMask m = 0;
        for (int i = 0; i < 16; ++i) m |= (LaneMask)((a.w[i] == b.w[i]) << i);
        return m;
    }
    // a in the lanes of m, b elsewhere; the mask is public, the lanes' values are not branched on.
    static Vec32x16Plain select(LaneMask m, const Vec32x16Plain& a, const Vec32x16Plain& b)
    {
        Vec32x16Plain r;
        for (int i = 0; i < 16; ++i) {
            uint32_t k = 0u - (uint32_t)((m >> i) & 1);
            r.w[i] = (a.w[i] & k) | (b.w[i] & ~k);
        }
        return r;
    }
    Vec32x16Plain sm4Sbox() const
    {
        Vec32x16Plain r;
        uint64_t q[8];
        std::memcpy(q, w, sizeof q);
        for (uint64_t& x : q) x = sm4SboxBytes(x);
        std::memcpy(r.w, q, sizeof q);
        return r;
    }

    static void loadBlocks(const uint8_t* const p[16], const int start[16], const int count[16],
                           Vec32x16Plain w[4])
    {
        uint32_t t[4][16];
        gatherBlocks(p, start, count, t);
        for (int j = 0; j < 4; ++j) w[j] = load(t[j]);
    }
    static void storeBlocks(uint8_t* const p[16], const int start[16], const int count[16],
                            const Vec32x16Plain w[4])
    {
        uint32_t t[4][16];
        for (int j = 0; j < 4; ++j) w[j].store(t[j]);
        scatterBlocks(p, start, count, t);
    }
};

// ---- AVX2 and AES-NI -----------------------------------------------------------------------------
#if defined(__AVX2__) && defined(__AES__)

// An affine byte map as two 16-entry nibble tables for VPSHUFB, repeated in both 128-bit halves.
struct NibbleAffine {
    __m256i lo, hi;
    NibbleAffine(const Gf2Matrix& m, uint8_t c)
    {
        alignas(32) uint8_t l[32], h[32];
        for (int n = 0; n < 32; ++n) {
            l[n] = (uint8_t)(m.apply((uint8_t)(n & 15)) ^ c);
            h[n] = m.apply((uint8_t)((n & 15) << 4));
        }
        lo = _mm256_load_si256((const __m256i*)l);
        hi = _mm256_load_si256((const __m256i*)h);
    }
    __m256i operator()(__m256i x) const
    {
        const __m256i low4 = _mm256_set1_epi8(0x0f);
        __m256i a = _mm256_shuffle_epi8(lo, _mm256_and_si256(x, low4));
        __m256i b = _mm256_shuffle_epi8(hi, _mm256_and_si256(_mm256_srli_epi16(x, 4), low4));
        return _mm256_xor_si256(a, b);
    }
};

struct Vec32x16Avx2 {
    __m256i v[2];
    static constexpr int kWays = 2;

    static Vec32x16Avx2 make(__m256i a, __m256i b)
    {
        Vec32x16Avx2 r;
        r.v[0] = a, r.v[1] = b;
        return r;
    }
    static Vec32x16Avx2 broadcast(uint32_t x)
    {
        __m256i b = _mm256_set1_epi32((int)x);
        return make(b, b);
    }
    static Vec32x16Avx2 zero() { return make(_mm256_setzero_si256(), _mm256_setzero_si256()); }
    static Vec32x16Avx2 load(const uint32_t* p)
    {
        return make(_mm256_loadu_si256((const __m256i*)p), _mm256_loadu_si256((const __m256i*)(p + 8)));
    }
    void store(uint32_t* p) const
    {
        _mm256_storeu_si256((__m256i*)p, v[0]);
        _mm256_storeu_si256((__m256i*)(p + 8), v[1]);
    }
    void storeLanes(uint32_t* p, LaneMask m) const
    {
        _mm256_maskstore_epi32((int*)p, laneVector(m & 0xff), v[0]);
        _mm256_maskstore_epi32((int*)(p + 8), laneVector(m >> 8), v[1]);
    }

    template <typename F>
    static Vec32x16Avx2 map(const Vec32x16Avx2& a, const Vec32x16Avx2& b, F f)
    {
        return make(f(a.v[0], b.v[0]), f(a.v[1], b.v[1]));
    }
    friend Vec32x16Avx2 operator^(const Vec32x16Avx2& a, const Vec32x16Avx2& b) { return map(a, b, _mm256_xor_si256); }
    friend Vec32x16Avx2 operator&(const Vec32x16Avx2& a, const Vec32x16Avx2& b) { return map(a, b, _mm256_and_si256); }
    friend Vec32x16Avx2 operator|(const Vec32x16Avx2& a, const Vec32x16Avx2& b) { return map(a, b, _mm256_or_si256); }
    friend Vec32x16Avx2 operator+(const Vec32x16Avx2& a, const Vec32x16Avx2& b) { return map(a, b, _mm256_add_epi32); }
    static Vec32x16Avx2 xor3(const Vec32x16Avx2& a, const Vec32x16Avx2& b, const Vec32x16Avx2& c) { return a ^ b ^ c; }
    static Vec32x16Avx2 andNot(const Vec32x16Avx2& a, const Vec32x16Avx2& b) { return map(a, b, _mm256_andnot_si256); }
    template <int N>
    Vec32x16Avx2 rotl() const
    {
        if constexpr (N % 8 == 0) {
            // Whole bytes: one shuffle.
            const __m256i idx = _mm256_setr_epi8(
                (16 - N / 8) & 3, (17 - N / 8) & 3, (18 - N / 8) & 3, (19 - N / 8) & 3,
                4 + ((16 - N / 8) & 3), 4 + ((17 - N / 8) & 3), 4 + ((18 - N / 8) & 3), 4 + ((19 - N / 8) & 3),
                8 + ((16 - N / 8) & 3), 8 + ((17 - N / 8) & 3), 8 + ((18 - N / 8) & 3), 8 + ((19 - N / 8) & 3),
                12 + ((16 - N / 8) & 3), 12 + ((17 - N / 8) & 3), 12 + ((18 - N / 8) & 3), 12 + ((19 - N / 8) & 3),
                (16 - N / 8) & 3, (17 - N / 8) & 3, (18 - N / 8) & 3, (19 - N / 8) & 3,
                4 + ((16 - N / 8) & 3), 4 + ((17 - N / 8) & 3), 4 + ((18 - N / 8) & 3), 4 + ((19 - N / 8) & 3),
                8 + ((16 - N / 8) & 3), 8 + ((17 - N / 8) & 3), 8 + ((18 - N / 8) & 3), 8 + ((19 - N / 8) & 3),
                12 + ((16 - N / 8) & 3), 12 + ((17 - N / 8) & 3), 12 + ((18 - N / 8) & 3), 12 + ((19 - N / 8) & 3));
            return make(_mm256_shuffle_epi8(v[0], idx), _mm256_shuffle_epi8(v[1], idx));
        } else {
            auto f = [](__m256i x) { return _mm256_or_si256(_mm256_slli_epi32(x, N), _mm256_srli_epi32(x, 32 - N)); };
            return make(f(v[0]), f(v[1]));
        }
    }
    template <int N>
    Vec32x16Avx2 shl() const { return make(_mm256_slli_epi32(v[0], N), _mm256_slli_epi32(v[1], N)); }
    template <int N>
    Vec32x16Avx2 shr() const { return make(_mm256_srli_epi32(v[0], N), _mm256_srli_epi32(v[1], N)); }
    static Vec32x16Avx2 shrv(const Vec32x16Avx2& a, const Vec32x16Avx2& n) { return map(a, n, _mm256_srlv_epi32); }
    static Vec32x16Avx2 shlv(const Vec32x16Avx2& a, const Vec32x16Avx2& n) { return map(a, n, _mm256_sllv_epi32); }
    Vec32x16Avx2 bswap() const
    {
        const __m256i idx = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12,
                                             3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
        return make(_mm256_shuffle_epi8(v[0], idx), _mm256_shuffle_epi8(v[1], idx));
    }
    static LaneMask maskOf(__m256i lo, __m256i hi)
    {
        return (LaneMask)(_mm256_movemask_ps(_mm256_castsi256_ps(lo)) |
                          (_mm256_movemask_ps(_mm256_castsi256_ps(hi)) << 8));
    }
    static __m256i laneVector(unsigned bits8)
    {
        const __m256i sel = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        __m256i b = _mm256_and_si256(_mm256_set1_epi32((int)bits8), sel);
        return _mm256_cmpeq_epi32(b, sel);
    }
    static LaneMask lessThan(const Vec32x16Avx2& a, const Vec32x16Avx2& b)
    {
        const __m256i bias = _mm256_set1_epi32((int)0x80000000u);
        auto lt = [&](__m256i x, __m256i y) {
            return _mm256_cmpgt_epi32(_mm256_xor_si256(y, bias), _mm256_xor_si256(x, bias));
        };
        return maskOf(lt(a.v[0], b.v[0]), lt(a.v[1], b.v[1]));
    }
    static LaneMask equal(const Vec32x16Avx2& a, const Vec32x16Avx2& b)
    {
        return maskOf(_mm256_cmpeq_epi32(a.v[0], b.v[0]), _mm256_cmpeq_epi32(a.v[1], b.v[1]));
    }
    static Vec32x16Avx2 select(LaneMask m, const Vec32x16Avx2& a, const Vec32x16Avx2& b)
    {
        return make(_mm256_blendv_epi8(b.v[0], a.v[0], laneVector(m & 0xff)),
                    _mm256_blendv_epi8(b.v[1], a.v[1], laneVector(m >> 8)));
    }
    // The S-box through AESENCLAST: into the AES field, SubBytes, back. AESENCLAST also shifts
    // the rows of its state, which the shuffle after it undoes.
    Vec32x16Avx2 sm4Sbox() const
    {
        static const NibbleAffine in(kSboxIn, kSboxInConst);
        static const NibbleAffine out(kSboxOutAfterSubBytes, kSboxOutAfterSubBytesConst);
        const __m256i invShiftRows = _mm256_setr_epi8(0, 13, 10, 7, 4, 1, 14, 11, 8, 5, 2, 15, 12, 9, 6, 3,
                                                      0, 13, 10, 7, 4, 1, 14, 11, 8, 5, 2, 15, 12, 9, 6, 3);
        const __m128i zero = _mm_setzero_si128();
        Vec32x16Avx2 r;
        for (int k = 0; k < 2; ++k) {
            __m256i t = in(v[k]);
            __m128i lo = _mm_aesenclast_si128(_mm256_castsi256_si128(t), zero);
            __m128i hi = _mm_aesenclast_si128(_mm256_extracti128_si256(t, 1), zero);
            t = _mm256_shuffle_epi8(_mm256_set_m128i(hi, lo), invShiftRows);
            r.v[k] = out(t);
        }
        return r;
    }

    static void loadBlocks(const uint8_t* const p[16], const int start[16], const int count[16],
                           Vec32x16Avx2 w[4])
    {
        alignas(32) uint32_t t[4][16];
        gatherBlocks(p, start, count, t);
        for (int j = 0; j < 4; ++j) w[j] = load(t[j]);
    }
    static void storeBlocks(uint8_t* const p[16], const int start[16], const int count[16],
                            const Vec32x16Avx2 w[4])
    {
        alignas(32) uint32_t t[4][16];
        for (int j = 0; j < 4; ++j) w[j].store(t[j]);
        scatterBlocks(p, start, count, t);
    }
};
#endif

// ---- AVX-512 with GFNI ---------------------------------------------------------------------------
#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__GFNI__)
struct Vec32x16Avx512 {
    __m512i v;
    static constexpr int kWays = 4;

    static Vec32x16Avx512 make(__m512i a)
    {
        Vec32x16Avx512 r;
        r.v = a;
        return r;
    }
    static Vec32x16Avx512 broadcast(uint32_t x) { return make(_mm512_set1_epi32((int)x)); }
    static Vec32x16Avx512 zero() { return make(_mm512_setzero_si512()); }
    static Vec32x16Avx512 load(const uint32_t* p) { return make(_mm512_loadu_si512(p)); }
    void store(uint32_t* p) const { _mm512_storeu_si512(p, v); }
    void storeLanes(uint32_t* p, LaneMask m) const { _mm512_mask_storeu_epi32(p, m, v); }

    friend Vec32x16Avx512 operator^(Vec32x16Avx512 a, Vec32x16Avx512 b) { return make(_mm512_xor_si512(a.v, b.v)); }
    friend Vec32x16Avx512 operator&(Vec32x16Avx512 a, Vec32x16Avx512 b) { return make(_mm512_and_si512(a.v, b.v)); }
    friend Vec32x16Avx512 operator|(Vec32x16Avx512 a, Vec32x16Avx512 b) { return make(_mm512_or_si512(a.v, b.v)); }
    friend Vec32x16Avx512 operator+(Vec32x16Avx512 a, Vec32x16Avx512 b) { return make(_mm512_add_epi32(a.v, b.v)); }
    static Vec32x16Avx512 xor3(Vec32x16Avx512 a, Vec32x16Avx512 b, Vec32x16Avx512 c)
    {
        return make(_mm512_ternarylogic_epi32(a.v, b.v, c.v, 0x96));
    }
    static Vec32x16Avx512 andNot(Vec32x16Avx512 a, Vec32x16Avx512 b) { return make(_mm512_andnot_si512(a.v, b.v)); }
    template <int N>
    Vec32x16Avx512 rotl() const { return make(_mm512_rol_epi32(v, N)); }
    template <int N>
    Vec32x16Avx512 shl() const { return make(_mm512_slli_epi32(v, N)); }
    template <int N>
    Vec32x16Avx512 shr() const { return make(_mm512_srli_epi32(v, N)); }
    static Vec32x16Avx512 shrv(Vec32x16Avx512 a, Vec32x16Avx512 n) { return make(_mm512_srlv_epi32(a.v, n.v)); }
    static Vec32x16Avx512 shlv(Vec32x16Avx512 a, Vec32x16Avx512 n) { return make(_mm512_sllv_epi32(a.v, n.v)); }
    Vec32x16Avx512 bswap() const { return make(_mm512_shuffle_epi8(v, bswapIndex())); }
    static LaneMask lessThan(Vec32x16Avx512 a, Vec32x16Avx512 b) { return _mm512_cmplt_epu32_mask(a.v, b.v); }
    static LaneMask equal(Vec32x16Avx512 a, Vec32x16Avx512 b) { return _mm512_cmpeq_epu32_mask(a.v, b.v); }
    static Vec32x16Avx512 select(LaneMask m, Vec32x16Avx512 a, Vec32x16Avx512 b)
    {
        return make(_mm512_mask_blend_epi32(m, b.v, a.v));
    }
    Vec32x16Avx512 sm4Sbox() const
    {
        __m512i t = _mm512_gf2p8affine_epi64_epi8(v, _mm512_set1_epi64((long long)kSboxIn.qword()), kSboxInConst);
        return make(_mm512_gf2p8affineinv_epi64_epi8(t, _mm512_set1_epi64((long long)kSboxOut.qword()),
                                                     kSboxOutConst));
    }

    static __m512i bswapIndex()
    {
        return _mm512_set4_epi32(0x0c0d0e0f, 0x08090a0b, 0x04050607, 0x00010203);
    }
    // Lane i's block as one 128-bit piece, bytes [start, start + count) from p[i].
    static __m128i loadPiece(const uint8_t* p, int start, int count)
    {
        if (count <= 0) return _mm_setzero_si128();
        __mmask16 m = (__mmask16)((((uint32_t)1 << count) - 1) << start);
        // Bytes outside the mask are neither read nor faulted on.
        const uint8_t* base = (const uint8_t*)((uintptr_t)p - (uintptr_t)start);
        return _mm_maskz_loadu_epi8(m, base);
    }
    static void storePiece(uint8_t* p, int start, int count, __m128i x)
    {
        if (count <= 0) return;
        __mmask16 m = (__mmask16)((((uint32_t)1 << count) - 1) << start);
        _mm_mask_storeu_epi8((uint8_t*)((uintptr_t)p - (uintptr_t)start), m, x);
    }
    // Four ZMM of four lanes' blocks each -> four ZMM of one word of every lane, and back.
    static void transpose(const __m512i a[4], __m512i w[4])
    {
        // u01: words 0 and 1 of lanes 0..7 (from a[0], a[1]); u23: words 2 and 3; v.. lanes 8..15.
        const __m512i i01 = _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 29);
        const __m512i i23 = _mm512_setr_epi32(2, 6, 10, 14, 18, 22, 26, 30, 3, 7, 11, 15, 19, 23, 27, 31);
        __m512i u01 = _mm512_permutex2var_epi32(a[0], i01, a[1]);
        __m512i u23 = _mm512_permutex2var_epi32(a[0], i23, a[1]);
        __m512i v01 = _mm512_permutex2var_epi32(a[2], i01, a[3]);
        __m512i v23 = _mm512_permutex2var_epi32(a[2], i23, a[3]);
        w[0] = _mm512_shuffle_i64x2(u01, v01, 0x44);
        w[1] = _mm512_shuffle_i64x2(u01, v01, 0xee);
        w[2] = _mm512_shuffle_i64x2(u23, v23, 0x44);
        w[3] = _mm512_shuffle_i64x2(u23, v23, 0xee);
    }
    static void untranspose(const __m512i w[4], __m512i a[4])
    {
        __m512i u01 = _mm512_shuffle_i64x2(w[0], w[1], 0x44);
        __m512i v01 = _mm512_shuffle_i64x2(w[0], w[1], 0xee);
        __m512i u23 = _mm512_shuffle_i64x2(w[2], w[3], 0x44);
        __m512i v23 = _mm512_shuffle_i64x2(w[2], w[3], 0xee);
        // Lane k (0..3) of a[0]: word j at u01[8j + k] (j < 2) or u23[8(j - 2) + k].
        const __m512i lo = _mm512_setr_epi32(0, 8, 16, 24, 1, 9, 17, 25, 2, 10, 18, 26, 3, 11, 19, 27);
        const __m512i hi = _mm512_setr_epi32(4, 12, 20, 28, 5, 13, 21, 29, 6, 14, 22, 30, 7, 15, 23, 31);
        a[0] = _mm512_permutex2var_epi32(u01, lo, u23);
        a[1] = _mm512_permutex2var_epi32(u01, hi, u23);
        a[2] = _mm512_permutex2var_epi32(v01, lo, v23);
        a[3] = _mm512_permutex2var_epi32(v01, hi, v23);
    }
    static void loadBlocks(const uint8_t* const p[16], const int start[16], const int count[16],
                           Vec32x16Avx512 w[4])
    {
        __m512i a[4], t[4];
        for (int g = 0; g < 4; ++g) {
            __m512i z = _mm512_castsi128_si512(loadPiece(p[4 * g], start[4 * g], count[4 * g]));
            z = _mm512_inserti32x4(z, loadPiece(p[4 * g + 1], start[4 * g + 1], count[4 * g + 1]), 1);
            z = _mm512_inserti32x4(z, loadPiece(p[4 * g + 2], start[4 * g + 2], count[4 * g + 2]), 2);
            z = _mm512_inserti32x4(z, loadPiece(p[4 * g + 3], start[4 * g + 3], count[4 * g + 3]), 3);
            a[g] = _mm512_shuffle_epi8(z, bswapIndex());
        }
        transpose(a, t);
        for (int j = 0; j < 4; ++j) w[j].v = t[j];
    }
    static void storeBlocks(uint8_t* const p[16], const int start[16], const int count[16],
                            const Vec32x16Avx512 w[4])
    {
        __m512i a[4], t[4] = {w[0].v, w[1].v, w[2].v, w[3].v};
        untranspose(t, a);
        for (int g = 0; g < 4; ++g) {
            __m512i z = _mm512_shuffle_epi8(a[g], bswapIndex());
            storePiece(p[4 * g], start[4 * g], count[4 * g], _mm512_castsi512_si128(z));
            storePiece(p[4 * g + 1], start[4 * g + 1], count[4 * g + 1], _mm512_extracti32x4_epi32(z, 1));
            storePiece(p[4 * g + 2], start[4 * g + 2], count[4 * g + 2], _mm512_extracti32x4_epi32(z, 2));
            storePiece(p[4 * g + 3], start[4 * g + 3], count[4 * g + 3], _mm512_extracti32x4_epi32(z, 3));
        }
    }
};
#endif

} // namespace
} // namespace simd
} // namespace tzv

#endif
