// Eight 64-bit lanes as one value: the layer the multi-lane big-number code is written over, once.
// U64x8Plain loops over the lanes in plain C++ (what valgrind checks); U64x8Avx512 maps every
// operation to one AVX-512 instruction and exists only in translation units built with IFMA.
// Masks are vectors too: all ones in a lane where the condition holds, zero elsewhere.
#ifndef TZV_SIMD_VEC64X8_H
#define TZV_SIMD_VEC64X8_H

#include <cstdint>

#if defined(__AVX512F__) && defined(__AVX512IFMA__)
#include <immintrin.h>
#endif

namespace tzv::simd {

constexpr uint64_t kLimbMask52 = (1ull << 52) - 1;

struct U64x8Plain {
    uint64_t v[8];
    // Whether a value is one register: only then does inlining a loop's whole body pay.
    static constexpr bool kOneRegister = false;

    static U64x8Plain zero() { return set1(0); }
    static U64x8Plain set1(uint64_t x)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = x;
        return r;
    }
    static U64x8Plain load(const uint64_t* p)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = p[i];
        return r;
    }
    void store(uint64_t* p) const
    {
        for (int i = 0; i < 8; ++i) p[i] = v[i];
    }

    template <typename F>
    static U64x8Plain map(const U64x8Plain& a, const U64x8Plain& b, F f)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = f(a.v[i], b.v[i]);
        return r;
    }
    friend U64x8Plain operator+(const U64x8Plain& a, const U64x8Plain& b)
    {
        return map(a, b, [](uint64_t x, uint64_t y) { return x + y; });
    }
    friend U64x8Plain operator-(const U64x8Plain& a, const U64x8Plain& b)
    {
        return map(a, b, [](uint64_t x, uint64_t y) { return x - y; });
    }
    friend U64x8Plain operator&(const U64x8Plain& a, const U64x8Plain& b)
    {
        return map(a, b, [](uint64_t x, uint64_t y) { return x & y; });
    }
    friend U64x8Plain operator|(const U64x8Plain& a, const U64x8Plain& b)
    {
        return map(a, b, [](uint64_t x, uint64_t y) { return x | y; });
    }
    friend U64x8Plain operator^(const U64x8Plain& a, const U64x8Plain& b)
    {
        return map(a, b, [](uint64_t x, uint64_t y) { return x ^ y; });
    }
    friend U64x8Plain operator~(const U64x8Plain& a)
    {
        return map(a, a, [](uint64_t x, uint64_t) { return ~x; });
    }
    template <int S>
    static U64x8Plain shr(const U64x8Plain& a)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = a.v[i] >> S;
        return r;
    }
    template <int S>
    static U64x8Plain shl(const U64x8Plain& a)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = a.v[i] << S;
        return r;
    }
    // Arithmetic right shift: the sign bit fills the top.
    template <int S>
    static U64x8Plain sar(const U64x8Plain& a)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = (uint64_t)((int64_t)a.v[i] >> S);
        return r;
    }
    // Shifts by a count known only at run time (public: a bit position).
    static U64x8Plain shrBy(const U64x8Plain& a, unsigned s)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = s < 64 ? a.v[i] >> s : 0;
        return r;
    }
    static U64x8Plain shlBy(const U64x8Plain& a, unsigned s)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = s < 64 ? a.v[i] << s : 0;
        return r;
    }
    // acc + low 52 bits of (b mod 2^52)·(c mod 2^52), and acc + its high 52 bits.
    static U64x8Plain madd52lo(const U64x8Plain& acc, const U64x8Plain& b, const U64x8Plain& c)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) {
            unsigned __int128 p = (unsigned __int128)(b.v[i] & kLimbMask52) * (c.v[i] & kLimbMask52);
            r.v[i] = acc.v[i] + ((uint64_t)p & kLimbMask52);
        }
        return r;
    }
    static U64x8Plain madd52hi(const U64x8Plain& acc, const U64x8Plain& b, const U64x8Plain& c)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) {
            unsigned __int128 p = (unsigned __int128)(b.v[i] & kLimbMask52) * (c.v[i] & kLimbMask52);
            r.v[i] = acc.v[i] + (uint64_t)(p >> 52);
        }
        return r;
    }
    // The low 64 bits of a·b.
    static U64x8Plain mulLow(const U64x8Plain& a, const U64x8Plain& b)
    {
        return map(a, b, [](uint64_t x, uint64_t y) { return x * y; });
    }
    // All ones where a == b. Branch-free, so that valgrind sees no jump on the compared values.
    static U64x8Plain eqMask(const U64x8Plain& a, const U64x8Plain& b)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) {
            uint64_t d = a.v[i] ^ b.v[i];
            r.v[i] = ((d | (0 - d)) >> 63) - 1;
        }
        return r;
    }
    // Entry (index mod 16) of a 16-entry table in every lane: every entry is read, none by address.
    static U64x8Plain lookup16(const uint64_t* table, const U64x8Plain& index)
    {
        U64x8Plain r = zero();
        for (uint64_t j = 0; j < 16; ++j) {
            U64x8Plain hit = eqMask(index & set1(15), set1(j));
            r = select(hit, r, set1(table[j]));
        }
        return r;
    }
    // base[index] in every lane: an address chosen by the lanes' values, for public data only.
    static U64x8Plain gather(const uint64_t* base, const U64x8Plain& index)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = base[index.v[i]];
        return r;
    }
    // (a & m) ^ s, one instruction on AVX-512.
    static U64x8Plain andXor(const U64x8Plain& a, const U64x8Plain& m, const U64x8Plain& s) { return (a & m) ^ s; }
    // b where the mask is set, a elsewhere.
    static U64x8Plain select(const U64x8Plain& m, const U64x8Plain& a, const U64x8Plain& b)
    {
        U64x8Plain r;
        for (int i = 0; i < 8; ++i) r.v[i] = (a.v[i] & ~m.v[i]) | (b.v[i] & m.v[i]);
        return r;
    }
    // Whether any bit of any lane is set.
    static bool any(const U64x8Plain& a)
    {
        uint64_t r = 0;
        for (int i = 0; i < 8; ++i) r |= a.v[i];
        return r != 0;
    }
};

#if defined(__AVX512F__) && defined(__AVX512IFMA__)
struct U64x8Avx512 {
    __m512i v;
    // The zero-masking forms of the shifts: the same instructions, without the unmasked forms'
    // undefined pass-through operand that GCC 12 warns about.
    static constexpr __mmask8 kAll = 0xFF;
    static constexpr bool kOneRegister = true;

    static U64x8Avx512 zero() { return {_mm512_setzero_si512()}; }
    static U64x8Avx512 set1(uint64_t x) { return {_mm512_set1_epi64((long long)x)}; }
    static U64x8Avx512 load(const uint64_t* p) { return {_mm512_loadu_si512(p)}; }
    void store(uint64_t* p) const { _mm512_storeu_si512(p, v); }

    friend U64x8Avx512 operator+(U64x8Avx512 a, U64x8Avx512 b) { return {_mm512_add_epi64(a.v, b.v)}; }
    friend U64x8Avx512 operator-(U64x8Avx512 a, U64x8Avx512 b) { return {_mm512_sub_epi64(a.v, b.v)}; }
    friend U64x8Avx512 operator&(U64x8Avx512 a, U64x8Avx512 b) { return {_mm512_and_si512(a.v, b.v)}; }
    friend U64x8Avx512 operator|(U64x8Avx512 a, U64x8Avx512 b) { return {_mm512_or_si512(a.v, b.v)}; }
    friend U64x8Avx512 operator^(U64x8Avx512 a, U64x8Avx512 b) { return {_mm512_xor_si512(a.v, b.v)}; }
    friend U64x8Avx512 operator~(U64x8Avx512 a) { return {_mm512_ternarylogic_epi64(a.v, a.v, a.v, 0x55)}; }
    template <int S>
    static U64x8Avx512 shr(U64x8Avx512 a)
    {
        return {_mm512_maskz_srli_epi64(kAll, a.v, S)};
    }
    template <int S>
    static U64x8Avx512 shl(U64x8Avx512 a)
    {
        return {_mm512_maskz_slli_epi64(kAll, a.v, S)};
    }
    template <int S>
    static U64x8Avx512 sar(U64x8Avx512 a)
    {
        return {_mm512_maskz_srai_epi64(kAll, a.v, S)};
    }
    static U64x8Avx512 shrBy(U64x8Avx512 a, unsigned s) {
        return {_mm512_maskz_srl_epi64(kAll, a.v, _mm_cvtsi32_si128((int)s))};
    }
    static U64x8Avx512 shlBy(U64x8Avx512 a, unsigned s) {
        return {_mm512_maskz_sll_epi64(kAll, a.v, _mm_cvtsi32_si128((int)s))};
    }
    static U64x8Avx512 madd52lo(U64x8Avx512 acc, U64x8Avx512 b, U64x8Avx512 c)
    {
        return {_mm512_madd52lo_epu64(acc.v, b.v, c.v)};
    }
    static U64x8Avx512 madd52hi(U64x8Avx512 acc, U64x8Avx512 b, U64x8Avx512 c)
    {
        return {_mm512_madd52hi_epu64(acc.v, b.v, c.v)};
    }
    static U64x8Avx512 mulLow(U64x8Avx512 a, U64x8Avx512 b) { return {_mm512_mullo_epi64(a.v, b.v)}; }
    static U64x8Avx512 eqMask(U64x8Avx512 a, U64x8Avx512 b)
    {
        return {_mm512_movm_epi64(_mm512_cmpeq_epu64_mask(a.v, b.v))};
    }
    static U64x8Avx512 lookup16(const uint64_t* table, U64x8Avx512 index)
    {
        return {_mm512_permutex2var_epi64(_mm512_loadu_si512(table), index.v, _mm512_loadu_si512(table + 8))};
    }
    static U64x8Avx512 gather(const uint64_t* base, U64x8Avx512 index)
    {
        return {_mm512_mask_i64gather_epi64(_mm512_setzero_si512(), kAll, index.v, base, 8)};
    }
    static U64x8Avx512 andXor(U64x8Avx512 a, U64x8Avx512 m, U64x8Avx512 s)
    {
        return {_mm512_ternarylogic_epi64(a.v, m.v, s.v, 0x6A)};
    }
    static U64x8Avx512 select(U64x8Avx512 m, U64x8Avx512 a, U64x8Avx512 b)
    {
        return {_mm512_ternarylogic_epi64(m.v, b.v, a.v, 0xCA)}; // m ? b : a, bit by bit
    }
    // In a mask register, not through memory: a vector stored and read back as eight words waits
    // for the store to leave the core, and with it for everything before.
    static bool any(U64x8Avx512 a) { return _mm512_test_epi64_mask(a.v, a.v) != 0; }
};
#endif

} // namespace tzv::simd

#endif
