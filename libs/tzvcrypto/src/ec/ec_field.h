// Arithmetic modulo a prime for eight lanes at once, over a 64x8 lane vector (simd/vec64x8.h):
// numbers in radix 2^52, one limb per vector, Montgomery multiplication with R = 2^(52·N), values
// kept fully reduced. Nothing here branches on or indexes by a value.
// Everything lives in an unnamed namespace: each backend's translation unit gets its own copy,
// compiled with its own instruction set.
#ifndef TZV_EC_FIELD_H
#define TZV_EC_FIELD_H

#include "../simd/vec64x8.h"
#include "ec_curves.h"

namespace tzv::ec {
namespace {

using simd::kLimbMask52;

// Limb loops run a compile-time count of times; unrolled, their accumulators stay in registers.
#define TZV_UNROLL _Pragma("GCC unroll 16")

template <class V, int N>
struct Fe {
    V l[N];
};

// A modulus broadcast to every lane, built at the start of an operation.
template <class V, int N>
struct Mod {
    V m[N];
    V k0;
    V one[N];
    V r2[N];
    const ModConsts* c;

    explicit Mod(const ModConsts& consts) : c(&consts)
    {
        TZV_UNROLL
        for (int i = 0; i < N; ++i) {
            m[i] = V::set1(consts.m[i]);
            one[i] = V::set1(consts.one[i]);
            r2[i] = V::set1(consts.r2[i]);
        }
        k0 = V::set1(consts.k0);
    }
};

template <class V, int N>
inline Fe<V, N> broadcast(const uint64_t* limbs)
{
    Fe<V, N> r;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) r.l[i] = V::set1(limbs[i]);
    return r;
}

template <class V, int N>
inline Fe<V, N> feZero()
{
    Fe<V, N> r;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) r.l[i] = V::zero();
    return r;
}

// b where the mask is set, a elsewhere.
template <class V, int N>
inline Fe<V, N> select(const V& mask, const Fe<V, N>& a, const Fe<V, N>& b)
{
    Fe<V, N> r;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) r.l[i] = V::select(mask, a.l[i], b.l[i]);
    return r;
}

// Lanes where a is zero.
template <class V, int N>
inline V isZero(const Fe<V, N>& a)
{
    V acc = a.l[0];
    TZV_UNROLL
    for (int i = 1; i < N; ++i) acc = acc | a.l[i];
    return V::eqMask(acc, V::zero());
}

template <class V, int N>
inline V isEqual(const Fe<V, N>& a, const Fe<V, N>& b)
{
    V acc = a.l[0] ^ b.l[0];
    TZV_UNROLL
    for (int i = 1; i < N; ++i) acc = acc | (a.l[i] ^ b.l[i]);
    return V::eqMask(acc, V::zero());
}

// Lanes where a < b, as numbers (normalised limbs).
template <class V, int N>
inline V isLess(const Fe<V, N>& a, const Fe<V, N>& b)
{
    V borrow = V::zero();
    TZV_UNROLL
    for (int i = 0; i < N; ++i) borrow = V::template sar<52>(a.l[i] - b.l[i] + borrow);
    return borrow;
}

// t − m where that does not borrow, else t: the final step of every reduction (t < 2m).
template <class V, int N>
inline Fe<V, N> subtractIfAbove(const Fe<V, N>& t, const V* m)
{
    const V mask = V::set1(kLimbMask52);
    Fe<V, N> d;
    V borrow = V::zero();
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V x = t.l[i] - m[i] + borrow;
        d.l[i] = x & mask;
        borrow = V::template sar<52>(x);
    }
    return select(borrow, d, t);
}

template <class V, int N>
inline Fe<V, N> add(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    const V mask = V::set1(kLimbMask52);
    Fe<V, N> s;
    V carry = V::zero();
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V x = a.l[i] + b.l[i] + carry;
        s.l[i] = x & mask;
        carry = V::template shr<52>(x);
    }
    return subtractIfAbove(s, M.m);
}

template <class V, int N>
inline Fe<V, N> sub(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    const V mask = V::set1(kLimbMask52);
    Fe<V, N> d;
    V borrow = V::zero();
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V x = a.l[i] - b.l[i] + borrow;
        d.l[i] = x & mask;
        borrow = V::template sar<52>(x);
    }
    // Borrow out: add m back.
    V carry = V::zero();
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V x = d.l[i] + (M.m[i] & borrow) + carry;
        d.l[i] = x & mask;
        carry = V::template shr<52>(x);
    }
    return d;
}

template <class V, int N>
inline Fe<V, N> neg(const Fe<V, N>& a, const Mod<V, N>& M)
{
    return sub(feZero<V, N>(), a, M);
}

// a·b·R⁻¹ mod m for a·b < R·m, fully reduced. Word-serial Montgomery reduction: each round adds
// a_i·b and then the multiple of m that clears the lowest limb, and drops that limb. A column
// collects at most 4N products below 2^52 each, well inside the 64-bit accumulators.
template <class V, int N>
inline Fe<V, N> mul(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    const V zero = V::zero();
    V t[N + 1];
    TZV_UNROLL
    for (int j = 0; j <= N; ++j) t[j] = zero;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        TZV_UNROLL
        for (int j = 0; j < N; ++j) {
            t[j] = V::madd52lo(t[j], a.l[i], b.l[j]);
            t[j + 1] = V::madd52hi(t[j + 1], a.l[i], b.l[j]);
        }
        V q = V::madd52lo(zero, t[0], M.k0);
        TZV_UNROLL
        for (int j = 0; j < N; ++j) {
            t[j] = V::madd52lo(t[j], q, M.m[j]);
            t[j + 1] = V::madd52hi(t[j + 1], q, M.m[j]);
        }
        V carry = V::template shr<52>(t[0]);
        TZV_UNROLL
        for (int j = 0; j < N; ++j) t[j] = t[j + 1];
        t[0] = t[0] + carry;
        t[N] = zero;
    }
    const V mask = V::set1(kLimbMask52);
    Fe<V, N> r;
    V carry = zero;
    TZV_UNROLL
    for (int j = 0; j < N; ++j) {
        V x = t[j] + carry;
        r.l[j] = x & mask;
        carry = V::template shr<52>(x);
    }
    return subtractIfAbove(r, M.m);
}

// a²·R⁻¹ mod m: the full square first (each cross product once, then doubled), then the same
// Montgomery reduction limb by limb. A column stays below 6N·2^52.
template <class V, int N>
inline Fe<V, N> sqr(const Fe<V, N>& a, const Mod<V, N>& M)
{
    const V zero = V::zero();
    V t[2 * N + 1];
    TZV_UNROLL
    for (int j = 0; j <= 2 * N; ++j) t[j] = zero;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        TZV_UNROLL
        for (int j = i + 1; j < N; ++j) {
            t[i + j] = V::madd52lo(t[i + j], a.l[i], a.l[j]);
            t[i + j + 1] = V::madd52hi(t[i + j + 1], a.l[i], a.l[j]);
        }
    }
    TZV_UNROLL
    for (int j = 0; j < 2 * N; ++j) t[j] = t[j] + t[j];
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        t[2 * i] = V::madd52lo(t[2 * i], a.l[i], a.l[i]);
        t[2 * i + 1] = V::madd52hi(t[2 * i + 1], a.l[i], a.l[i]);
    }
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V q = V::madd52lo(zero, t[i], M.k0);
        TZV_UNROLL
        for (int j = 0; j < N; ++j) {
            t[i + j] = V::madd52lo(t[i + j], q, M.m[j]);
            t[i + j + 1] = V::madd52hi(t[i + j + 1], q, M.m[j]);
        }
        t[i + 1] = t[i + 1] + V::template shr<52>(t[i]);
    }
    const V mask = V::set1(kLimbMask52);
    Fe<V, N> r;
    V carry = zero;
    TZV_UNROLL
    for (int j = 0; j < N; ++j) {
        V x = t[N + j] + carry;
        r.l[j] = x & mask;
        carry = V::template shr<52>(x);
    }
    return subtractIfAbove(r, M.m);
}

// Into Montgomery form: any a < R, so that it also reduces a digest or a coordinate mod n.
template <class V, int N>
inline Fe<V, N> toMont(const Fe<V, N>& a, const Mod<V, N>& M)
{
    Fe<V, N> r2;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) r2.l[i] = M.r2[i];
    return mul(a, r2, M);
}

template <class V, int N>
inline Fe<V, N> fromMont(const Fe<V, N>& a, const Mod<V, N>& M)
{
    Fe<V, N> one = feZero<V, N>();
    one.l[0] = V::set1(1);
    return mul(a, one, M);
}

template <class V, int N>
inline Fe<V, N> montOne(const Mod<V, N>& M)
{
    Fe<V, N> r;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) r.l[i] = M.one[i];
    return r;
}

// a^(m−2) = a⁻¹ (0 for a = 0), Montgomery form in and out. The exponent is public, so its 4-bit
// windows may choose the table entry; the base never chooses anything.
template <class V, int N>
inline Fe<V, N> invert(const Fe<V, N>& a, const Mod<V, N>& M)
{
    Fe<V, N> pow[16];
    pow[0] = montOne(M);
    pow[1] = a;
    for (int i = 2; i < 16; ++i) pow[i] = mul(pow[i - 1], a, M);
    const uint64_t* e = M.c->minus2;
    int top = (M.c->bits + 3) / 4 - 1;
    Fe<V, N> r = pow[0];
    for (int w = top; w >= 0; --w) {
        if (w != top)
            for (int k = 0; k < 4; ++k) r = sqr(r, M);
        int bit = 4 * w;
        unsigned nibble = (unsigned)((e[bit / 52] >> (bit % 52)) & 0xF);
        if (bit % 52 > 48 && bit / 52 + 1 < N) nibble |= (unsigned)(e[bit / 52 + 1] << (52 - bit % 52)) & 0xF;
        if (nibble) r = mul(r, pow[nibble], M);
    }
    return r;
}

} // namespace
} // namespace tzv::ec

#endif
