// Inversion modulo an odd m for eight lanes by division steps, in constant time: a fixed count of
// steps, each the same operations on every lane whatever the values.
//
// A step on (δ, f, g), f odd: where δ > 0 and g is odd, (1 − δ, g, (g − f)/2); elsewhere where g is
// odd, (1 + δ, f, (g + f)/2); else (1 + δ, f, g/2). From δ = 1, f = m, g = x < m, after
// ⌊(49d + 57)/17⌋ steps (f² + 4g² ≤ 5·2^(2d), d ≥ 46: Bernstein and Yang's bound) g = 0 and
// f = ±gcd(m, x) = ±1. Alongside run d and e with f ≡ d·x and g ≡ e·x (mod m), from d = 0, e = 1:
// at the end x⁻¹ = ±d (and 0 for x = 0, where d stays 0).
//
// The steps go in batches of kDivstepBatch. A batch runs on the low limbs of f and g alone (the low
// bit of g after j steps depends only on the low j + 1 bits of f and g) and collects its transition
// matrix, scaled by 2^k to stay integral: 2^k·(f', g') = (u·f + v·g, q·f + r·g), with |u| + |v| and
// |q| + |r| at most 2^k, so every entry fits a multiply-add's 52-bit operand. The matrix then moves
// the whole f and g, and d and e modulo m, where the division by 2^k adds the multiple of m that
// clears the low k bits (Montgomery's way).
//
// f and g are N + 1 limbs of 52 bits, two's complement modulo 2^(52(N+1)); d and e lie in [0, m).
#ifndef TZV_EC_INVERSE_H
#define TZV_EC_INVERSE_H

#include "ec_field.h"

namespace tzv::ec {
namespace {

template <class V>
struct Transition {
    V u, v, q, r;
};

// kDivstepBatch steps on the low limbs f and g, with η = −δ carried from batch to batch (δ > 0 is
// then the sign bit of η, one shift). Only the low 52 − j bits of f and g are right after j steps,
// all the next step reads.
template <class V>
inline Transition<V> divstepBatch(V& eta, V f, V g)
{
    const V zero = V::zero(), one = V::set1(1);
    Transition<V> t{one, zero, zero, one};
    for (int i = 0; i < kDivstepBatch; ++i) {
        const V odd = zero - (g & one);
        const V swap = odd & V::template sar<63>(eta);
        // x where g is odd, negated where the step swaps: g + f, g − f or g.
        auto addend = [&](const V& x) { return V::andXor(x, odd, swap) - swap; };
        const V nf = V::select(swap, f, g), nu = V::select(swap, t.u, t.q), nv = V::select(swap, t.v, t.r);
        g = V::template sar<1>(g + addend(f));
        t.q = t.q + addend(t.u);
        t.r = t.r + addend(t.v);
        f = nf;
        t.u = nu + nu;
        t.v = nv + nv;
        // δ' = 1 − δ where swapped, else 1 + δ: η' = ~η, else η − 1.
        eta = (eta ^ swap) + ~swap;
    }
    return t;
}

// Columns of a·x + b·y modulo 2^(52L) (column L dropped), carries not taken, for x and y of L
// limbs: |a|·x' + |b|·y', where x' is x or, where a < 0, its ones' complement plus one (−x).
template <class V, int L>
inline void combineColumns(V* c, const V& a, const V& b, const V* x, const V* y)
{
    const V mask = V::set1(kLimbMask52);
    const V sa = V::template sar<63>(a), sb = V::template sar<63>(b);
    const V ma = (a ^ sa) - sa, mb = (b ^ sb) - sb;
    const V fa = sa & mask, fb = sb & mask;
    c[0] = (ma & sa) + (mb & sb);
    TZV_UNROLL
    for (int i = 1; i < L; ++i) c[i] = V::zero();
    TZV_UNROLL
    for (int i = 0; i < L; ++i) {
        const V xi = x[i] ^ fa, yi = y[i] ^ fb;
        c[i] = V::madd52lo(V::madd52lo(c[i], ma, xi), mb, yi);
        if (i + 1 < L) c[i + 1] = V::madd52hi(V::madd52hi(c[i + 1], ma, xi), mb, yi);
    }
}

// The columns c (non-negative, modulo 2^(52L)) normalised and divided by 2^k, which divides them:
// two's complement again, the sign carried into the top limb.
template <class V, int L>
inline void shiftedDown(V* out, V* c)
{
    constexpr int k = kDivstepBatch;
    const V mask = V::set1(kLimbMask52);
    TZV_UNROLL
    for (int i = 0; i + 1 < L; ++i) {
        c[i + 1] = c[i + 1] + V::template shr<52>(c[i]);
        c[i] = c[i] & mask;
    }
    TZV_UNROLL
    for (int i = 0; i + 1 < L; ++i) out[i] = V::template shr<k>(c[i]) | (V::template shl<52 - k>(c[i + 1]) & mask);
    out[L - 1] = V::template sar<12 + k>(V::template shl<12>(c[L - 1])) & mask;
}

// (a·x + b·y)/2^k for f and g.
template <class V, int L>
inline void combine(V* out, const V& a, const V& b, const V* x, const V* y)
{
    V c[L];
    combineColumns<V, L>(c, a, b, x, y);
    shiftedDown<V, L>(out, c);
}

// (a·x + b·y)/2^k mod m for d and e: x, y in [0, m), result in [0, m). The sum lies in
// (−2^k·m, 2^k·m), plus the multiple of m below 2^k·m that clears its low k bits, over 2^k in
// (−m, 2m): m is added where it is negative, and m taken once more where it is still not below m.
template <class V, int N>
inline Fe<V, N> combineMod(const V& a, const V& b, const Fe<V, N>& x, const Fe<V, N>& y, const Mod<V, N>& M)
{
    constexpr int L = N + 1;
    V xs[L], ys[L], c[L];
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        xs[i] = x.l[i];
        ys[i] = y.l[i];
    }
    xs[N] = ys[N] = V::zero();
    combineColumns<V, L>(c, a, b, xs, ys);
    const V clear = V::madd52lo(V::zero(), c[0], M.k0) & V::set1((1ull << kDivstepBatch) - 1);
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        c[i] = V::madd52lo(c[i], clear, M.m[i]);
        c[i + 1] = V::madd52hi(c[i + 1], clear, M.m[i]);
    }
    V s[L];
    shiftedDown<V, L>(s, c);
    const V top = V::template sar<12>(V::template shl<12>(s[N])); // −1 or 0
    TZV_UNROLL
    for (int i = 0; i < N; ++i) s[i] = s[i] + (M.m[i] & top);
    s[N - 1] = s[N - 1] + V::template shl<52>(top);
    return reduceOnce<V, N>(s, M.m);
}

// Whether an inversion's input is secret (then it runs every batch the bound asks for) or public
// (then it stops once g is zero in every lane: f is ±1 and d final, the remaining steps only halve e).
enum class Input { Secret, Public };

// x⁻¹ mod m for x in [0, m), 0 for 0; plain numbers, no Montgomery factor.
template <class V, int N>
inline Fe<V, N> inverseByDivsteps(const Fe<V, N>& x, const Mod<V, N>& M, Input input)
{
    constexpr int L = N + 1;
    V f[L], g[L];
    TZV_UNROLL
    for (int i = 0; i < N; ++i) {
        f[i] = M.m[i];
        g[i] = x.l[i];
    }
    f[N] = g[N] = V::zero();
    Fe<V, N> d = feZero<V, N>(), e = feZero<V, N>();
    e.l[0] = V::set1(1);
    V eta = V::zero() - V::set1(1); // δ = 1
    for (int batch = 0; batch < M.c->divstepBatches; ++batch) {
        const Transition<V> t = divstepBatch(eta, f[0], g[0]);
        V nf[L], ng[L];
        combine<V, L>(nf, t.u, t.v, f, g);
        combine<V, L>(ng, t.q, t.r, f, g);
        const Fe<V, N> nd = combineMod(t.u, t.v, d, e, M);
        e = combineMod(t.q, t.r, d, e, M);
        d = nd;
        V any = V::zero();
        TZV_UNROLL
        for (int i = 0; i < L; ++i) {
            f[i] = nf[i];
            g[i] = ng[i];
            any = any | g[i];
        }
        if (input == Input::Public && !anyLane(any)) break;
    }
    const V negative = V::template sar<63>(V::template shl<12>(f[N]));
    return select(negative, d, neg(d, M));
}

// a⁻¹ in Montgomery form (0 for a = 0) for a below 2m in Montgomery form: a = x·R, and
// x⁻¹·R = (x·R)⁻¹·R², one multiplication by R³. Modulo 2^521 − 1, R = 1.
template <class V, int N>
inline Fe<V, N> invert(const Fe<V, N>& a, const Mod<V, N>& M, Input input = Input::Secret)
{
    const Fe<V, N> inverse = inverseByDivsteps(reduceOnce<V, N>(a.l, M.m), M, input);
    if (M.mersenne) return inverse;
    Fe<V, N> r3;
    TZV_UNROLL
    for (int i = 0; i < N; ++i) r3.l[i] = V::set1(M.c->r3[i]);
    return mul(inverse, r3, M);
}

} // namespace
} // namespace tzv::ec

#endif
