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
    bool mersenne;
    // −m⁻¹ ≡ 1 mod 2^52 (P-256's and SM2's primes): the quotient digit is the low limb itself.
    bool k0IsOne;
    // Limbs of m that are zero (bit i for limb i); their products are left out of the reduction.
    unsigned zeroLimbs = 0;
    // Limbs of m that are all ones (bit i for limb i).
    unsigned onesLimbs = 0;

    explicit Mod(const ModConsts& consts) : c(&consts), mersenne(consts.mersenne), k0IsOne(consts.k0 == 1)
    {
        TZV_UNROLL
        for (int i = 0; i < N; ++i) {
            m[i] = V::set1(consts.m[i]);
            one[i] = V::set1(consts.one[i]);
            r2[i] = V::set1(consts.r2[i]);
            if (consts.m[i] == 0) zeroLimbs |= 1u << i;
            if (consts.m[i] == kLimbMask52) onesLimbs |= 1u << i;
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

// Whether any lane's mask is set (any bit): a branch, on public data only.
template <class V>
inline bool anyLane(const V& mask)
{
    return V::any(mask);
}

// Lanes where a, a value below 2m, is 0 mod m: 0 or m.
template <class V, int N>
inline V isZeroBelow2m(const Fe<V, N>& a, const Mod<V, N>& M)
{
    V zero = a.l[0], m = a.l[0] ^ M.m[0];
    TZV_UNROLL
    for (int i = 1; i < N; ++i) {
        zero = zero | a.l[i];
        m = m | (a.l[i] ^ M.m[i]);
    }
    return V::eqMask(zero, V::zero()) | V::eqMask(m, V::zero());
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

// t mod m for limbs t (any signed 64-bit values, carries not yet taken) of a value in [0, K·m): the
// final step of every reduction. t, t − m, … t − (K − 1)·m are normalised side by side, K carry
// chains at once rather than one after another; the borrows out of them pick.
template <class V, int N, int K>
inline Fe<V, N> reduceBelow(const V* t, const V* m)
{
    const V mask = V::set1(kLimbMask52);
    Fe<V, N> r[K];
    V carry[K];
    TZV_UNROLL
    for (int j = 0; j < K; ++j) carry[j] = V::zero();
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V multiple = V::zero(); // j·m[i]
        TZV_UNROLL
        for (int j = 0; j < K; ++j) {
            V x = t[i] + carry[j];
            if (j > 0) {
                multiple = j == 1 ? m[i] : multiple + m[i];
                x = x - multiple;
            }
            r[j].l[i] = x & mask;
            carry[j] = V::template sar<52>(x);
        }
    }
    // carry[j] is all ones where t − j·m < 0: the largest j without is the one.
    Fe<V, N> out = r[K - 1];
    TZV_UNROLL
    for (int j = K - 1; j >= 1; --j) out = select(carry[j], out, r[j - 1]);
    return out;
}

// K = 2, the common case, written out: two chains and one selection (through reduceBelow's loops
// P-521's curve functions came out 2 to 3% slower, measured).
template <class V, int N>
inline Fe<V, N> reduceOnce(const V* t, const V* m)
{
    const V mask = V::set1(kLimbMask52);
    Fe<V, N> r, d;
    V carry = V::zero(), borrow = V::zero();
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V x = t[i] + carry;
        r.l[i] = x & mask;
        carry = V::template sar<52>(x);
        V y = t[i] - m[i] + borrow;
        d.l[i] = y & mask;
        borrow = V::template sar<52>(y);
    }
    return select(borrow, d, r);
}

template <class V, int N>
inline Fe<V, N> add(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    V s[N];
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s[i] = a.l[i] + b.l[i];
    return reduceOnce<V, N>(s, M.m);
}

// a − b + m lies in (0, 2m).
template <class V, int N>
inline Fe<V, N> sub(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    V s[N];
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s[i] = a.l[i] - b.l[i] + M.m[i];
    return reduceOnce<V, N>(s, M.m);
}

// Operands for mul and sqr only, which take any two values with 52-bit limbs whose product is
// below 12m² (R ≥ 16m on every modulus here, and P-521's folding leaves less than 2m for its one
// subtraction): these sums and differences are normalised but not reduced, which saves the
// comparison with m. Limbs may come in below zero; the value as a whole may not.
template <class V, int N>
inline Fe<V, N> normalised(const Fe<V, N>& x)
{
    const V mask = V::set1(kLimbMask52);
    Fe<V, N> r;
    V carry = V::zero();
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V t = x.l[i] + carry;
        r.l[i] = t & mask;
        carry = V::template sar<52>(t);
    }
    return r;
}

// The last step of a reduction, for limbs t (carries not yet taken) of a value below 2m: t mod m,
// or without kReduce t normalised, still below 2m, for an operand of mul or sqr only.
template <class V, int N, bool kReduce>
inline Fe<V, N> reduceLast(const V* t, const Mod<V, N>& M)
{
    if constexpr (kReduce) return reduceOnce<V, N>(t, M.m);
    Fe<V, N> r;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) r.l[i] = t[i];
    return normalised(r);
}

// a − b + m, below 2m for a, b below m.
template <class V, int N>
inline Fe<V, N> differenceForMul(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    Fe<V, N> s;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s.l[i] = a.l[i] - b.l[i] + M.m[i];
    return normalised(s);
}

// 2(a − b + m), below 4m for a, b below m.
template <class V, int N>
inline Fe<V, N> twiceDifferenceForMul(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    Fe<V, N> s;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s.l[i] = a.l[i] + a.l[i] - b.l[i] - b.l[i] + M.m[i] + M.m[i];
    return normalised(s);
}

// 2m − a, in (0, 2m] for a below 2m.
template <class V, int N>
inline Fe<V, N> negatedForMul(const Fe<V, N>& a, const Mod<V, N>& M)
{
    Fe<V, N> s;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s.l[i] = M.m[i] + M.m[i] - a.l[i];
    return normalised(s);
}

// 3a − b + m, below 4m for a, b below m.
template <class V, int N>
inline Fe<V, N> tripleMinusForMul(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    Fe<V, N> s;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s.l[i] = a.l[i] + a.l[i] + a.l[i] - b.l[i] + M.m[i];
    return normalised(s);
}

// a + b limb by limb, carries not taken.
template <class V, int N>
inline Fe<V, N> limbSum(const Fe<V, N>& a, const Fe<V, N>& b)
{
    Fe<V, N> s;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s.l[i] = a.l[i] + b.l[i];
    return s;
}

// a + b below 2m for a, b below m.
template <class V, int N>
inline Fe<V, N> sumForMul(const Fe<V, N>& a, const Fe<V, N>& b)
{
    return normalised(limbSum(a, b));
}

// 3a below 6m for a below 2m (3m for a below m).
template <class V, int N>
inline Fe<V, N> tripleForMul(const Fe<V, N>& a)
{
    Fe<V, N> s;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s.l[i] = a.l[i] + a.l[i] + a.l[i];
    return normalised(s);
}

// 3(a + b) below 6m for a, b below m: the sum's limbs go into the triple unnormalised.
template <class V, int N>
inline Fe<V, N> tripleSumForMul(const Fe<V, N>& a, const Fe<V, N>& b)
{
    return tripleForMul(limbSum(a, b));
}

// a/2 mod m: a, or a + m where a is odd, shifted right by one bit. Modulo 2^521 − 1 (a below m)
// that is a rotation of the 521 bits by one, bit 0 to bit 520, with no carry to take.
template <class V, int N>
inline Fe<V, N> half(const Fe<V, N>& a, const Mod<V, N>& M)
{
    if constexpr (N == 11) {
        if (M.mersenne) {
            Fe<V, N> r;
            TZV_UNROLL
            for (int i = 0; i + 1 < N; ++i)
                r.l[i] = V::template shr<1>(a.l[i]) | (V::template shl<51>(a.l[i + 1]) & V::set1(kLimbMask52));
            r.l[N - 1] = V::template shr<1>(a.l[N - 1]) | (a.l[0] & V::set1(1)); // bit 520
            return r;
        }
    }
    const V odd = V::zero() - (a.l[0] & V::set1(1));
    Fe<V, N> s;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s.l[i] = a.l[i] + (M.m[i] & odd);
    s = normalised(s);
    Fe<V, N> r;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        r.l[i] = V::template shr<1>(s.l[i]);
        if (i + 1 < N) r.l[i] = r.l[i] | (V::template shl<51>(s.l[i + 1]) & V::set1(kLimbMask52));
    }
    return r;
}

// 2a mod m. Modulo 2^521 − 1 (a below m) a rotation of the 521 bits by one, bit 520 to bit 0.
template <class V, int N>
inline Fe<V, N> twice(const Fe<V, N>& a, const Mod<V, N>& M)
{
    if constexpr (N == 11) {
        if (M.mersenne) {
            const V mask = V::set1(kLimbMask52);
            Fe<V, N> r;
            r.l[0] = (V::template shl<1>(a.l[0]) & mask) | a.l[N - 1];
            TZV_UNROLL
            for (int i = 1; i < N; ++i) r.l[i] = (V::template shl<1>(a.l[i]) & mask) | V::template shr<51>(a.l[i - 1]);
            r.l[N - 1] = V::template shr<51>(a.l[N - 2]);
            return r;
        }
    }
    return add(a, a, M);
}

// a − 2b mod m for a, b below m: a − 2b + 2m lies in (0, 3m). (Modulo 2^521 − 1, where 2b is a
// rotation, a subtraction of the rotation costs less than three carry chains of eleven limbs.)
template <class V, int N>
inline Fe<V, N> minusTwice(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M)
{
    if constexpr (N == 11)
        if (M.mersenne) return sub(a, twice(b, M), M);
    V s[N];
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s[i] = a.l[i] - b.l[i] - b.l[i] + M.m[i] + M.m[i];
    return reduceBelow<V, N, 3>(s, M.m);
}

// a − b − 2c mod m for a, b, c below m: a − b − 2c + 3m lies in (0, 4m).
template <class V, int N>
inline Fe<V, N> minusMinusTwice(const Fe<V, N>& a, const Fe<V, N>& b, const Fe<V, N>& c, const Mod<V, N>& M)
{
    if constexpr (N == 11)
        if (M.mersenne) return sub(sub(a, b, M), twice(c, M), M);
    V s[N];
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s[i] = a.l[i] - b.l[i] - c.l[i] - c.l[i] + M.m[i] + M.m[i] + M.m[i];
    return reduceBelow<V, N, 4>(s, M.m);
}

template <class V, int N>
inline Fe<V, N> neg(const Fe<V, N>& a, const Mod<V, N>& M)
{
    return sub(feZero<V, N>(), a, M);
}

// x mod (2^521 − 1) for x < 2^1046 (a product of operands below 12m²) given as 2N = 22 columns,
// carries not yet taken (N = 11 limbs of 52 bits). As 2^521 ≡ 1, column 10 + i (i ≥ 1) is worth
// t·2^(52i − 1): t/2 at column i and its low bit at bit 51 of column i − 1; column 10 keeps bit 520
// and adds the rest, halved, to column 0. Column 21 is zero (a₁₀·b₁₀ < 2^52). All columns fold at
// once; the sum, after one carry step, has its bits from 521 up folded once more, which leaves
// less than 2m.
template <class V, int N, bool kReduce>
inline Fe<V, N> foldMersenne(const V* t, const Mod<V, N>& M)
{
    static_assert(N == 11, "2^521 - 1 has 11 limbs");
    const V mask = V::set1(kLimbMask52);
    const V one = V::set1(1);
    V r[N];
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        V low = i < 10 ? t[i] : (t[10] & one);
        r[i] = low + V::template shr<1>(t[10 + i]) + V::template shl<51>(t[11 + i] & one);
    }
    // One carry step for all limbs at once, not a chain: limbs 1 to 9 end below 2^52 + 2^8.
    V carry[N - 1];
    TZV_UNROLL
    for (int i = 0; i < N - 1; ++i) {
        carry[i] = V::template shr<52>(r[i]);
        r[i] = r[i] & mask;
    }
    TZV_UNROLL
    for (int i = 1; i < N; ++i) r[i] = r[i] + carry[i - 1];
    V top = r[N - 1]; // bits 520 and up
    r[N - 1] = top & one;
    r[0] = r[0] + V::template shr<1>(top);
    return reduceLast<V, N, kReduce>(r, M);
}

// P-521's products and squares have no reduction to interleave: their rows go straight into the
// columns [lo, hi) of the 2N, carries not taken (faster here, measured, than summing column by
// column). With kCross only the products a_i·b_j with j > i: a square's cross products, once.
// The top limb holds a few bits (below 2^4 in the operands here, all below 6m), so its products
// with the others are below 2^56, each one 64-bit multiplication, not a pair of multiply-adds.
template <class V, int N, bool kCross>
inline void productRows(V* t, const Fe<V, N>& a, const Fe<V, N>& b, int lo = 0, int hi = 2 * N)
{
    constexpr int T = N - 1;
    TZV_UNROLL
    for (int i = 0; i < T; ++i) {
        TZV_UNROLL
        for (int j = kCross ? i + 1 : 0; j < T; ++j) {
            if (i + j >= lo && i + j < hi) t[i + j] = V::madd52lo(t[i + j], a.l[i], b.l[j]);
            if (i + j + 1 >= lo && i + j + 1 < hi) t[i + j + 1] = V::madd52hi(t[i + j + 1], a.l[i], b.l[j]);
        }
    }
    TZV_UNROLL
    for (int j = 0; j < T; ++j) {
        if (T + j < lo || T + j >= hi) continue;
        t[T + j] = t[T + j] + V::mulLow(a.l[T], b.l[j]);
        if constexpr (!kCross) t[T + j] = t[T + j] + V::mulLow(b.l[T], a.l[j]);
    }
    if (!kCross && 2 * T >= lo && 2 * T < hi) t[2 * T] = t[2 * T] + V::mulLow(a.l[T], b.l[T]);
}

// The operands of a sum of K products a₀·b₀ + a₁·b₁ + …, reduced once for all of them.
template <class V, int N, int K>
struct Products {
    const Fe<V, N>* a[K];
    const Fe<V, N>* b[K];
};

template <class V, int N, bool kReduce, int K>
__attribute__((flatten)) inline Fe<V, N> mulMersenne(const Products<V, N, K>& p, const Mod<V, N>& M)
{
    V t[2 * N];
    TZV_UNROLL
    for (int j = 0; j < 2 * N; ++j) t[j] = V::zero();
    TZV_UNROLL
    for (int k = 0; k < K; ++k) productRows<V, N, false>(t, *p.a[k], *p.b[k]);
    return foldMersenne<V, N, kReduce>(t, M);
}

// A square in two passes, the low N columns and then the high ones: each pass keeps N
// accumulators and the N limbs in registers (one pass over all 2N columns spilled, and took a
// quarter longer, measured).
template <class V, int N, bool kReduce>
inline Fe<V, N> sqrMersenne(const Fe<V, N>& a, const Mod<V, N>& M)
{
    V t[2 * N];
    TZV_UNROLL
    for (int j = 0; j < 2 * N; ++j) t[j] = V::zero();
    TZV_UNROLL
    for (int lo = 0; lo < 2 * N; lo += N) {
        productRows<V, N, true>(t, a, a, lo, lo + N);
        TZV_UNROLL
        for (int k = lo; k < lo + N; ++k) {
            const V& h = a.l[k / 2];
            t[k] = t[k] + t[k];
            t[k] = k % 2 == 0 ? V::madd52lo(t[k], h, h) : V::madd52hi(t[k], h, h);
        }
    }
    return foldMersenne<V, N, kReduce>(t, M);
}

// The quotient digit of a reduction round, t·k0 mod 2^52 for a column value t.
template <class V, int N, class S>
inline V quotientDigit(const V& t, const Mod<V, N>& M)
{
    if constexpr (S::kOne)
        return t & V::set1(kLimbMask52);
    else
        return V::madd52lo(V::zero(), t, M.k0);
}

// t[0 … N] += q·m (its limbs from kFrom up). A limb of m that is zero adds nothing; a run of limbs
// j … k that are all ones is 2^(52(k+1)) − 2^(52j) and adds q at column k + 1 and takes q from
// column j, no multiply. Columns may so go below zero: they are signed, and carries are taken with
// arithmetic shifts.
// With kOne, q is the low limb of t[0] itself: t[0] − q only clears bits that the carry out of
// t[0], all that is taken from it afterwards, drops anyway, so it is left out.
// (A limb 2^b − 1 ends a run of ones too, as P-384's top and bottom limbs do, and could add q·2^b
// in two shifted parts; with two multiply-adds issued per cycle, the five shifts and additions
// that takes cost more than the two multiply-adds, measured.)
template <class V, int N, class S, int kFrom = 0>
inline void addQuotientMultiple(V* t, const V& q, const Mod<V, N>& M)
{
    constexpr bool kOne = S::kOne;
    constexpr unsigned kZero = S::kZero, kOnes = S::kOnes;
    TZV_UNROLL
    for (int j = kFrom; j < N; ++j) {
        if ((kZero >> j) & 1) continue;
        if ((kOnes >> j) & 1) {
            if (j == 0 ? !kOne : !((kOnes >> (j - 1)) & 1)) t[j] = t[j] - q;
            if (!((kOnes >> (j + 1)) & 1)) t[j + 1] = t[j + 1] + q;
            continue;
        }
        t[j] = V::madd52lo(t[j], q, M.m[j]);
        t[j + 1] = V::madd52hi(t[j + 1], q, M.m[j]);
    }
}

// t[0 … N] += q·m, and the carry out of t[0] for column 1 (t[0] itself is dropped after). A limb 0
// that takes multiply-adds (neither zero nor all ones) sends its high half with the carry rather
// than into t[1], where it would follow t[1]'s own multiply-add: the next quotient digit waits for
// one multiply-add after q, not two. Its low half is not computed at all: it only makes t[0] a
// multiple of 2^52, so the carry it leaves is ⌈t[0]/2^52⌉, taken from t[0] while q is still being
// computed (one multiply-add a round less, and none of the carry's steps after q), and the high
// half's multiply-add adds to it: no zeroed register and no addition of their own (P-384's
// doubling 3% faster, measured).
template <class V, int N, class S>
inline V addQuotientMultipleAndCarry(V* t, const V& q, const Mod<V, N>& M)
{
    if constexpr ((S::kZero & 1) || (S::kOnes & 1)) {
        addQuotientMultiple<V, N, S>(t, q, M);
        return V::template sar<52>(t[0]);
    } else {
        const V carry = V::template sar<52>(t[0] + V::set1(kLimbMask52));
        addQuotientMultiple<V, N, S, 1>(t, q, M);
        return V::madd52hi(carry, q, M.m[0]);
    }
}

// The shape of a modulus (see Mod) as a type, for code that knows it at compile time.
template <bool kOne_, unsigned kZero_, unsigned kOnes_>
struct Shape {
    static constexpr bool kOne = kOne_;
    static constexpr unsigned kZero = kZero_, kOnes = kOnes_;
    template <class V, int N>
    static bool of(const Mod<V, N>& M)
    {
        return M.k0IsOne == kOne && M.zeroLimbs == kZero && M.onesLimbs == kOnes;
    }
};
// The shape found at run time.
struct AnyShape {};

// The moduli of the curves' fields and orders, and X25519's field, that have a reduction of their
// own; the shape of a modulus is public, and any other modulus takes the general code.
using P256FieldShape = Shape<true, 0x4u, 0x1u>;
using Sm2FieldShape = Shape<true, 0x0u, 0xDu>;
using Sm2OrderShape = Shape<false, 0x0u, 0x8u>;
using P384FieldShape = Shape<false, 0x0u, 0x78u>;
using P384OrderShape = Shape<false, 0x0u, 0x70u>;
using P521OrderShape = Shape<false, 0x0u, 0x3E0u>;
using X25519FieldShape = Shape<false, 0x0u, 0xEu>;
using GeneralShape = Shape<false, 0u, 0u>;

// TZV_MONT_DISPATCH() returns TZV_MONT_CALL(S) for the shape S of M.
#define TZV_MONT_SHAPE(S)                                                                                    \
    if (S::of(M)) return TZV_MONT_CALL(S)
#define TZV_MONT_DISPATCH()                                                                                  \
    do {                                                                                                     \
        if constexpr (N == 5) {                                                                              \
            TZV_MONT_SHAPE(P256FieldShape);                                                                  \
            TZV_MONT_SHAPE(Sm2FieldShape);                                                                   \
            TZV_MONT_SHAPE(Sm2OrderShape);                                                                   \
            TZV_MONT_SHAPE(X25519FieldShape);                                                                \
        } else if constexpr (N == 8) {                                                                       \
            TZV_MONT_SHAPE(P384FieldShape);                                                                  \
            TZV_MONT_SHAPE(P384OrderShape);                                                                  \
        } else if constexpr (N == 11) {                                                                      \
            TZV_MONT_SHAPE(P521OrderShape);                                                                  \
        }                                                                                                    \
        return TZV_MONT_CALL(GeneralShape);                                                                  \
    } while (0)

// Row i of the products, Σₖ aₖ,ᵢ·bₖ, into the columns t[0 … N].
template <class V, int N, int K>
inline void addRow(V* t, const Products<V, N, K>& p, int i)
{
    TZV_UNROLL
    for (int k = 0; k < K; ++k) {
        TZV_UNROLL
        for (int j = 0; j < N; ++j) {
            t[j] = V::madd52lo(t[j], p.a[k]->l[i], p.b[k]->l[j]);
            t[j + 1] = V::madd52hi(t[j + 1], p.a[k]->l[i], p.b[k]->l[j]);
        }
    }
}

// Σ aₖ·bₖ·R⁻¹ mod m for a sum below R·m, fully reduced (below 2m, normalised, without kReduce).
// Word-serial Montgomery reduction: each round adds a row of products and the multiple of m that
// clears the lowest limb, and drops that limb. A column collects at most (2K + 2)N products below
// 2^52 each, well inside the 64-bit accumulators. The rounds form a chain through the quotient
// digits; two things keep it short. Limb 0's high half, q·m₀/2^52, goes into column 1 with the
// carry, not after column 1's own multiply-add. Where the digit takes a multiply-add of its own
// (−m⁻¹ ≢ 1 mod 2^52), each round adds the next round's row before its multiple of m, so that the
// digit waits only for the multiple's multiply-adds (P-384: a product 9% shorter, verification 5%
// and key generation 4% faster, measured); with the digit a mask (P-256's and SM2's primes) the row
// waits for the round instead, as the two more columns live cost more there (their key generation
// 9 to 10%, measured). (Summing column by column as sqrMont does, measured, gains nothing here.)
template <class V, int N, class S, bool kReduce, int K>
inline Fe<V, N> mulMont(const Products<V, N, K>& p, const Mod<V, N>& M)
{
    constexpr bool kAhead = !S::kOne;
    const V zero = V::zero();
    V t[N + 2];
    TZV_UNROLL
    for (int j = 0; j <= N + 1; ++j) t[j] = zero;
    if constexpr (kAhead) addRow<V, N, K>(t, p, 0);
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        if constexpr (!kAhead) addRow<V, N, K>(t, p, i);
        const V q = quotientDigit<V, N, S>(t[0], M);
        if (kAhead && i + 1 < N) addRow<V, N, K>(t + 1, p, i + 1);
        const V carry = addQuotientMultipleAndCarry<V, N, S>(t, q, M);
        TZV_UNROLL
        for (int j = 0; j <= N; ++j) t[j] = t[j + 1];
        t[0] = t[0] + carry;
        t[N + 1] = zero;
    }
    return reduceLast<V, N, kReduce>(t, M);
}

// A sum of products, reduced or (without kReduce) below 2m, for the modulus shape S or the one
// found at run time. The sum stays below 12m² (R ≥ 16m, and P-521's fold).
template <bool kReduce, class V, int N, int K, class S>
inline Fe<V, N> product(const Products<V, N, K>& p, const Mod<V, N>& M, S)
{
    if constexpr (N == 11)
        if (M.mersenne) return mulMersenne<V, N, kReduce>(p, M);
    return mulMont<V, N, S, kReduce>(p, M);
}

template <bool kReduce, class V, int N, int K>
inline Fe<V, N> product(const Products<V, N, K>& p, const Mod<V, N>& M, AnyShape)
{
#define TZV_MONT_CALL(S) product<kReduce>(p, M, S{})
    TZV_MONT_DISPATCH();
#undef TZV_MONT_CALL
}

template <class V, int N, class S = AnyShape>
inline Fe<V, N> mul(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M, S s = {})
{
    return product<true>(Products<V, N, 1>{{&a}, {&b}}, M, s);
}

// a·b below 2m, not reduced: for an operand of mul or sqr only.
template <class V, int N, class S = AnyShape>
inline Fe<V, N> mulForMul(const Fe<V, N>& a, const Fe<V, N>& b, const Mod<V, N>& M, S s = {})
{
    return product<false>(Products<V, N, 1>{{&a}, {&b}}, M, s);
}

// a·b + c·d with one reduction, for a sum below 12m².
template <class V, int N, class S = AnyShape>
inline Fe<V, N> mulSum(const Fe<V, N>& a, const Fe<V, N>& b, const Fe<V, N>& c, const Fe<V, N>& d,
                       const Mod<V, N>& M, S s = {})
{
    return product<true>(Products<V, N, 2>{{&a, &c}, {&b, &d}}, M, s);
}

// Column i of a² (the weight of 2^(52i)), carries not taken: each cross product once, doubled, and
// the square of a limb.
template <class V, int N>
inline V squareColumn(const Fe<V, N>& a, int i)
{
    V x = V::zero();
    // Pairs j < k: the low halves of those with j + k = i, the high halves of those with j + k = i − 1.
    TZV_UNROLL
    for (int j = i >= N ? i - N + 1 : 0; 2 * j < i; ++j) x = V::madd52lo(x, a.l[j], a.l[i - j]);
    TZV_UNROLL
    for (int j = i > N ? i - N : 0; 2 * j < i - 1; ++j) x = V::madd52hi(x, a.l[j], a.l[i - 1 - j]);
    x = x + x;
    const V& h = a.l[i / 2];
    return i % 2 == 0 ? V::madd52lo(x, h, h) : V::madd52hi(x, h, h);
}

// a²·R⁻¹ mod m, column by column: each Montgomery round follows the column it clears, so that the
// rounds' chain of quotient digits runs ahead of the columns not yet needed. A column stays below
// (4N + 2)·2^52. Each round's carry goes as addQuotientMultipleAndCarry returns it, the high half of
// limb 0 with t[0] rounded up (the curve functions within 1% of the carry taken from t[0] after q's
// multiply-add, measured over fresh copies of the library; in the session that first tried it, with
// the carry after that multiply-add, the inlined doubling spilled).
template <class V, int N, class S, bool kReduce>
inline Fe<V, N> sqrMont(const Fe<V, N>& a, const Mod<V, N>& M)
{
    if constexpr (N == 11)
        if (M.mersenne) return sqrMersenne<V, N, kReduce>(a, M);
    V t[2 * N + 1];
    TZV_UNROLL
    for (int j = 0; j <= 2 * N; ++j) t[j] = V::zero();
    TZV_UNROLL
    for (int i = 0; i < 2 * N; ++i) {
        t[i] = t[i] + squareColumn(a, i);
        if (i < N) {
            // A statement of its own: the call writes t[i + 1] too, and in one expression with the
            // read of t[i + 1] the order of the two would be the compiler's choice.
            const V carry = addQuotientMultipleAndCarry<V, N, S>(t + i, quotientDigit<V, N, S>(t[i], M), M);
            t[i + 1] = t[i + 1] + carry;
        }
    }
    return reduceLast<V, N, kReduce>(t + N, M);
}

// a², reduced or (without kReduce) below 2m, for the modulus shape S or the one found at run time.
template <bool kReduce, class V, int N, class S>
inline Fe<V, N> square(const Fe<V, N>& a, const Mod<V, N>& M, S)
{
    return sqrMont<V, N, S, kReduce>(a, M);
}

template <bool kReduce, class V, int N>
inline Fe<V, N> square(const Fe<V, N>& a, const Mod<V, N>& M, AnyShape)
{
#define TZV_MONT_CALL(S) square<kReduce>(a, M, S{})
    TZV_MONT_DISPATCH();
#undef TZV_MONT_CALL
}

template <class V, int N, class S = AnyShape>
inline Fe<V, N> sqr(const Fe<V, N>& a, const Mod<V, N>& M, S s = {})
{
    return square<true>(a, M, s);
}

// a² below 2m, not reduced: for an operand of mul or sqr only.
template <class V, int N, class S = AnyShape>
inline Fe<V, N> sqrForMul(const Fe<V, N>& a, const Mod<V, N>& M, S s = {})
{
    return square<false>(a, M, s);
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

} // namespace
} // namespace tzv::ec

#endif
