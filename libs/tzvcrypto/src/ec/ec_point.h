// Points of y² = x³ − 3x + b for eight lanes at once, and the scalar multiplications on them.
// Projective coordinates (x = X/Z, y = Y/Z) with the complete formulas for a = −3 (Renes,
// Costello and Batina, 2016): one sequence of field operations for every pair of points, the point
// at infinity (0 : 1 : 0) and doublings included, so no case is ever told apart by a branch. The
// scalar multiplications run in Jacobian coordinates, whose faster addition is not complete: the
// cases it cannot take are masked or, where the scalar's range allows them, left to the complete
// formula. Scalar digits choose table entries only through masked selection over the whole table.
#ifndef TZV_EC_POINT_H
#define TZV_EC_POINT_H

#include <new>

#include "ec_field.h"
#include "ec_inverse.h"

namespace tzv::ec {
namespace {

template <class V, int N>
struct Pt {
    Fe<V, N> x, y, z;
};

// The field of a curve: its modulus and b, broadcast.
template <class V, int N>
struct CurveField {
    Mod<V, N> p;
    Fe<V, N> b;
    explicit CurveField(const CurveConsts& c) : p(c.p), b(broadcast<V, N>(c.b)) {}
};

template <class V, int N>
inline Pt<V, N> infinity(const CurveField<V, N>& F)
{
    return {feZero<V, N>(), montOne(F.p), feZero<V, N>()};
}

template <class V, int N>
inline Pt<V, N> select(const V& mask, const Pt<V, N>& a, const Pt<V, N>& b)
{
    return {select(mask, a.x, b.x), select(mask, a.y, b.y), select(mask, a.z, b.z)};
}

// P + Q, complete (algorithm 4 of the paper: 12 multiplications, 2 by b). With kAffineQ, Q has
// Z = 1 and is not the point at infinity (P may be): 11 multiplications (algorithm 5), since
// Z1·Z2 = Z1, (Y1 + Z1)(Y2 + 1) − Y1·Y2 − Z1 = Y1 + Y2·Z1 and likewise for X.
template <class V, int N, bool kAffineQ = false>
inline Pt<V, N> pointAdd(const Pt<V, N>& P, const Pt<V, N>& Q, const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    Fe<V, N> t0 = mul(P.x, Q.x, M);
    Fe<V, N> t1 = mul(P.y, Q.y, M);
    Fe<V, N> t2, t4, y3;
    Fe<V, N> t3 = mul(sumForMul(P.x, P.y), sumForMul(Q.x, Q.y), M);
    t3 = differenceForMul(t3, add(t0, t1, M), M);
    if constexpr (kAffineQ) {
        t2 = P.z;
        t4 = sumForMul(mul(Q.y, P.z, M), P.y);
        y3 = add(mul(Q.x, P.z, M), P.x, M);
    } else {
        t2 = mul(P.z, Q.z, M);
        t4 = differenceForMul(mul(sumForMul(P.y, P.z), sumForMul(Q.y, Q.z), M), add(t1, t2, M), M);
        y3 = sub(mul(sumForMul(P.x, P.z), sumForMul(Q.x, Q.z), M), add(t0, t2, M), M);
    }
    Fe<V, N> z3 = mul(F.b, t2, M);
    Fe<V, N> x3 = sub(y3, z3, M);
    z3 = twice(x3, M);
    x3 = add(x3, z3, M);
    z3 = sub(t1, x3, M);
    x3 = add(t1, x3, M);
    y3 = mul(F.b, y3, M);
    t1 = twice(t2, M);
    t2 = add(t1, t2, M);
    y3 = sub(y3, t2, M);
    y3 = sub(y3, t0, M);
    // t3 and t4 (below 2m), y3 (below 3m) and t0 (below 4m) only enter multiplications.
    y3 = tripleForMul(y3);
    t0 = tripleMinusForMul(t0, t2, M);
    t1 = mul(t4, y3, M);
    t2 = mul(t0, y3, M);
    y3 = mul(x3, z3, M);
    y3 = add(y3, t2, M);
    x3 = mul(t3, x3, M);
    x3 = sub(x3, t1, M);
    z3 = mul(t4, z3, M);
    t1 = mul(t3, t0, M);
    z3 = add(z3, t1, M);
    return {x3, y3, z3};
}

// 2P, complete (algorithm 6 of the paper: 11 multiplications, 2 by b).
template <class V, int N>
inline Pt<V, N> pointDouble(const Pt<V, N>& P, const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    Fe<V, N> t0 = sqr(P.x, M);
    Fe<V, N> t1 = sqr(P.y, M);
    Fe<V, N> t2 = sqr(P.z, M);
    Fe<V, N> t3 = mul(P.x, P.y, M);
    t3 = add(t3, t3, M);
    Fe<V, N> z3 = mul(P.x, P.z, M);
    z3 = add(z3, z3, M);
    Fe<V, N> y3 = mul(F.b, t2, M);
    y3 = sub(y3, z3, M);
    Fe<V, N> x3 = add(y3, y3, M);
    y3 = add(x3, y3, M);
    x3 = sub(t1, y3, M);
    y3 = add(t1, y3, M);
    y3 = mul(x3, y3, M);
    x3 = mul(x3, t3, M);
    t3 = add(t2, t2, M);
    t2 = add(t2, t3, M);
    z3 = mul(F.b, z3, M);
    z3 = sub(z3, t2, M);
    z3 = sub(z3, t0, M);
    t3 = add(z3, z3, M);
    z3 = add(z3, t3, M);
    t3 = add(t0, t0, M);
    t0 = add(t3, t0, M);
    t0 = sub(t0, t2, M);
    t0 = mul(t0, z3, M);
    y3 = add(y3, t0, M);
    t0 = mul(P.y, P.z, M);
    t0 = add(t0, t0, M);
    z3 = mul(t0, z3, M);
    x3 = sub(x3, z3, M);
    z3 = mul(t0, t1, M);
    z3 = add(z3, z3, M);
    z3 = add(z3, z3, M);
    return {x3, y3, z3};
}

// The variable-base product works in Jacobian coordinates (x = X/Z², y = Y/Z³): the doubling for
// a = −3 needs 4 multiplications and 4 squarings against the complete formula's 11, the addition
// 11 and 3 against 12 plus the conversions. (X : Y : Z) projective is (X·Z : Y·Z² : Z) Jacobian
// and back (X·Z : Y : Z³). The point at infinity comes back as (0 : 0 : 0) and is restored to
// (0 : 1 : 0) by a mask; no other point of these odd-order curves is exceptional for the doubling.
// A Jacobian Z enters only multiplications and is kept below 2m, not reduced: 0 or m at infinity.
template <class V, int N>
inline Pt<V, N> fromJacobian(const Pt<V, N>& J, const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    Pt<V, N> r{mul(J.x, J.z, M), J.y, mul(sqrForMul(J.z, M), J.z, M)};
    r.y = select(isZeroBelow2m(J.z, M), r.y, montOne(M));
    return r;
}

// A doubling on (X : 2Y : Z), which spares the doubling of Y and the halving of 8Y⁴ at every step of
// a run: (X3 : 2Y3 : Z3) with 4Y² = (2Y)², Z3 = 2Y·Z and 2Y3 = 2α·(4XY² − X3) − (4Y²)². S: the
// shape of the field's modulus, where the caller knows it at compile time.
template <class V, int N, class S = AnyShape>
inline Pt<V, N> doubleWithTwiceY(const Pt<V, N>& P, const CurveField<V, N>& F, S s = {})
{
    const Mod<V, N>& M = F.p;
    Fe<V, N> delta = sqr(P.z, M, s);
    Fe<V, N> gamma4 = sqrForMul(P.y, M, s); // 4Y², below 2m
    // alpha = 3·(X − δ)·(X + δ)
    Fe<V, N> alpha = mulForMul(differenceForMul(P.x, delta, M), tripleSumForMul(P.x, delta), M, s);
    Fe<V, N> z3 = mulForMul(P.y, P.z, M, s);
    Fe<V, N> beta4 = mul(P.x, gamma4, M, s); // 4XY²
    Fe<V, N> alpha2 = sqr(alpha, M, s);
    Fe<V, N> x3 = minusTwice(alpha2, beta4, M);
    // Both products under one reduction: α·2(4XY² − X3) below 8m², 4Y²·(2m − 4Y²) at most m².
    Fe<V, N> y3 = mulSum(alpha, twiceDifferenceForMul(beta4, x3, M), gamma4, negatedForMul(gamma4, M), M, s);
    return {x3, y3, z3};
}

// (X : Y : Z) and (X : 2Y : Z), Y reduced either way.
template <class V, int N>
inline Pt<V, N> withTwiceY(Pt<V, N> P, const Mod<V, N>& M)
{
    P.y = twice(P.y, M);
    return P;
}

template <class V, int N>
inline Pt<V, N> withHalfY(Pt<V, N> P, const Mod<V, N>& M)
{
    P.y = half(P.y, M);
    return P;
}

// k doublings on (X : 2Y : Z) in one loop with the field operations inlined for the modulus's
// shape: the point stays in registers from one doubling to the next. The loop is a function of its
// own, not inlined into its callers with the conversions from and to (X : Y : Z) around it (so
// placed, P-384's, when it took this loop, ran 3 to 4% slower, measured over fresh copies).
template <class V, int N, class S>
__attribute__((flatten, noinline)) Pt<V, N> doubleTimesTwiceY(Pt<V, N> P, int k, const CurveField<V, N>& F)
{
    for (int i = 0; i < k; ++i) P = doubleWithTwiceY(P, F, S{});
    return P;
}

template <class V, int N, class S>
inline Pt<V, N> doubleTimesInlined(const Pt<V, N>& P, int k, const CurveField<V, N>& F)
{
    return withHalfY(doubleTimesTwiceY<V, N, S>(withTwiceY(P, F.p), k, F), F.p);
}

// 2^k·P. The fields of P-256 and SM2 take the inlined loop where a limb is one register. P-384's
// eight limbs fill the registers so inlined, and its doublings call the products, as P-521's
// eleven do (P-384 verification 3% and ECDH 5% faster than inlined, measured over ten fresh copies
// of each library; much more in the spells when the machine is shared, as the inlined loop's 25 KB
// of code fill the first-level instruction cache); any other field is left to the dispatching calls.
template <class V, int N>
inline Pt<V, N> doubleTimes(Pt<V, N> P, int k, const CurveField<V, N>& F)
{
    if constexpr (V::kOneRegister && N == 5) {
        if (P256FieldShape::of(F.p)) return doubleTimesInlined<V, N, P256FieldShape>(P, k, F);
        if (Sm2FieldShape::of(F.p)) return doubleTimesInlined<V, N, Sm2FieldShape>(P, k, F);
    }
    // Each doubling is built where it lands, in one of two points in turn: P = doubleWithTwiceY(P, F)
    // would copy every result once more (P-521: 2% of a doubling).
    Pt<V, N> turn[2];
    turn[0] = withTwiceY(P, F.p);
    for (int i = 0; i < k; ++i) new (&turn[(i + 1) & 1]) Pt<V, N>(doubleWithTwiceY(turn[i & 1], F));
    return withHalfY(turn[k & 1], F.p);
}

// Signed window digits of a scalar k < 2^(w·count − 1): k = Σ dᵢ·2^(w·i), |dᵢ| ≤ 2^(w−1). Window i
// reads bits w·i − 1 … w·i + w − 1 (Booth recoding); each digit comes as its magnitude and a mask
// that is set where it is negative.
template <class V, int N>
struct Digit {
    V magnitude;
    V negative;
};

template <class V, int N>
inline Digit<V, N> digitAt(const Fe<V, N>& k, int w, int i)
{
    // The w + 1 bits from position w·i − 1 (a zero below bit 0).
    int pos = w * i - 1;
    V bits;
    const V windowMask = V::set1((1ull << (w + 1)) - 1);
    if (pos < 0) {
        bits = V::shlBy(k.l[0], 1) & windowMask;
    } else {
        int limb = pos / 52, shift = pos % 52;
        bits = limb < N ? V::shrBy(k.l[limb], (unsigned)shift) : V::zero();
        if (shift + w + 1 > 52 && limb + 1 < N) bits = bits | V::shlBy(k.l[limb + 1], (unsigned)(52 - shift));
        bits = bits & windowMask;
    }
    // d = ⌈bits/2⌉ − 2^w·(top bit): magnitude and sign without a branch.
    V top = V::shrBy(bits, (unsigned)w);
    V half = V::template shr<1>(bits + V::set1(1));
    V neg = V::zero() - top;
    V magnitude = ((half ^ neg) - neg) + (neg & V::set1(1ull << w));
    return {magnitude, neg};
}

constexpr int kVarWindow = 5;

// A point as an entry of a Jacobian addition, with Z² and Z³ kept.
template <class V, int N>
struct JacEntry {
    Fe<V, N> x, y, z, zz, zzz;
    Pt<V, N> point() const { return {x, y, z}; }
};

// A Jacobian point as an entry of an addition: its Z² and Z³ computed.
template <class V, int N>
inline JacEntry<V, N> jacobianEntry(const Pt<V, N>& J, const CurveField<V, N>& F)
{
    Fe<V, N> zz = sqr(J.z, F.p);
    return {J.x, J.y, J.z, zz, mul(zz, J.z, F.p)};
}

// Affine (x, y) of each of the Jacobian points, none at infinity, with one inversion
// (Montgomery's trick): the prefix products of the Z, the inverse of them all, and each 1/Zᵢ
// peeled off from the top. The results go into the points' x and y.
template <class V, int N, int kCount>
inline void makeAffine(Pt<V, N> (&points)[kCount], const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    Fe<V, N> prefix[kCount];
    prefix[0] = points[0].z;
    for (int i = 1; i < kCount; ++i) prefix[i] = mul(prefix[i - 1], points[i].z, M);
    // 1/(Z₀⋯Zᵢ) for i from the top down; the points are multiples of a public key.
    Fe<V, N> inverse = invert(prefix[kCount - 1], M, Input::Public);
    for (int i = kCount - 1; i >= 0; --i) {
        Fe<V, N> zi = inverse;
        if (i > 0) {
            zi = mul(inverse, prefix[i - 1], M);
            inverse = mul(inverse, points[i].z, M);
        }
        Fe<V, N> zi2 = sqr(zi, M);
        points[i].x = mul(points[i].x, zi2, M);
        points[i].y = mul(points[i].y, mul(zi2, zi, M), M);
    }
}

// Entry |d| of the affine table (points[j] = (j+1)·P, x and y) by masked selection over all of
// it, y negated for a negative digit; any entry for d = 0, which the caller masks.
template <class V, int N, int kCount>
inline Pt<V, N> selectAffine(const Pt<V, N> (&points)[kCount], const Digit<V, N>& d, const CurveField<V, N>& F)
{
    Pt<V, N> r{points[0].x, points[0].y, montOne(F.p)};
    for (int j = 1; j < kCount; ++j) {
        const V hit = V::eqMask(d.magnitude, V::set1((uint64_t)(j + 1)));
        r.x = select(hit, r.x, points[j].x);
        r.y = select(hit, r.y, points[j].y);
    }
    r.y = select(d.negative, r.y, neg(r.y, F.p));
    return r;
}

// J + E in Jacobian coordinates (11 multiplications, 3 squarings; 8 and 3 with kAffineE, where E
// has Z = 1 and only its x and y are read: an affine point goes in as it is), for J ≠ ±E and
// neither at infinity; J = −E gives Z = 0. The callers keep to these cases, or mask the result.
template <class V, int N, bool kAffineE = false, class Entry = JacEntry<V, N>, class S = AnyShape>
inline Pt<V, N> addJacobian(const Pt<V, N>& J, const Entry& E, const CurveField<V, N>& F, S s = {})
{
    const Mod<V, N>& M = F.p;
    // Values that only enter multiplications stay below 2m; h and r come below 3m.
    Fe<V, N> z1z1 = sqrForMul(J.z, M, s);
    Fe<V, N> u1 = J.x, s1 = J.y, z1z2 = J.z;
    if constexpr (!kAffineE) {
        u1 = mul(J.x, E.zz, M, s);
        s1 = mul(J.y, E.zzz, M, s);
        z1z2 = mulForMul(J.z, E.z, M, s);
    }
    Fe<V, N> h = differenceForMul(mulForMul(E.x, z1z1, M, s), u1, M);
    Fe<V, N> r = differenceForMul(mulForMul(E.y, mulForMul(J.z, z1z1, M, s), M, s), s1, M);
    Fe<V, N> hh = sqrForMul(h, M, s);
    Fe<V, N> r2 = sqr(r, M, s);
    Fe<V, N> hhh = mul(h, hh, M, s);
    Fe<V, N> v = mul(u1, hh, M, s);
    Fe<V, N> z3 = mulForMul(z1z2, h, M, s);
    Fe<V, N> x3 = minusMinusTwice(r2, hhh, v, M);
    // Y3 = r·(V − X3) − S1·H³, both products under one reduction.
    Fe<V, N> y3 = mulSum(r, differenceForMul(v, x3, M), s1, negatedForMul(hhh, M), M, s);
    return {x3, y3, z3};
}

// The mixed addition with the field operations inlined for the modulus's shape, in a function of
// its own, for the five-limb fields: P-256's and SM2's key generation and signing 9 to 18% faster,
// verification 3% (measured over fresh copies). P-384's eight limbs spill so inlined: its key
// generation ran a third slower, and it keeps the calls.
template <class V, int N, class S>
__attribute__((flatten, noinline)) Pt<V, N> addAffineInlined(const Pt<V, N>& J, const Pt<V, N>& E, const CurveField<V, N>& F)
{
    return addJacobian<V, N, true>(J, E, F, S{});
}

// J + E for an affine E: addJacobian, inlined where that pays.
template <class V, int N>
inline Pt<V, N> addAffine(const Pt<V, N>& J, const Pt<V, N>& E, const CurveField<V, N>& F)
{
    if constexpr (V::kOneRegister && N == 5) {
        if (P256FieldShape::of(F.p)) return addAffineInlined<V, N, P256FieldShape>(J, E, F);
        if (Sm2FieldShape::of(F.p)) return addAffineInlined<V, N, Sm2FieldShape>(J, E, F);
    }
    return addJacobian<V, N, true>(J, E, F);
}

constexpr int kVarEntries = 1 << (kVarWindow - 1);

// P … 16P affine (x and y of each entry) for projective P. P projective is (X·Z : Y·Z² : Z)
// Jacobian. Even multiples are doublings of their halves, odd ones 2jP + P (j ≥ 1: never a doubling
// nor at infinity); the entries so depend on one another in short chains, not in one long one, and
// half of them take the cheaper doubling.
template <class V, int N>
inline void affineTable(Pt<V, N> (&table)[kVarEntries], const Pt<V, N>& P, const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    const JacEntry<V, N> p1 = jacobianEntry(Pt<V, N>{mul(P.x, P.z, M), mul(P.y, sqrForMul(P.z, M), M), P.z}, F);
    table[0] = p1.point();
    for (int j = 2; j <= kVarEntries; ++j)
        table[j - 1] = j % 2 == 0 ? doubleTimes(table[j / 2 - 1], 1, F) : addJacobian(table[j - 2], p1, F);
    makeAffine(table, F);
}

// k·P for per-lane points P and scalars 0 ≤ k < n (n the order of P); fixed 5-bit signed windows
// over a table of P … 16P made affine, so that each addition is the mixed one and the selection
// reads two coordinates, not five (the table of P-521 so fits the first-level cache). The
// accumulator stays Jacobian: with k < n it can meet ±(table entry) only in the last window
// (k = 32·m + d with 32·m ≡ d mod n), which therefore takes the complete projective addition. In
// the others the accumulator at infinity (leading zero digits) takes the entry, and a zero digit
// keeps the accumulator.
template <class V, int N>
inline Pt<V, N> mulPoint(const Pt<V, N>& P, const Fe<V, N>& k, int bits, const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    Pt<V, N> table[kVarEntries];
    affineTable(table, P, F);
    const Fe<V, N> one = montOne(M);
    const int windows = (bits + 1 + kVarWindow - 1) / kVarWindow;
    Digit<V, N> d = digitAt(k, kVarWindow, windows - 1);
    Pt<V, N> e = selectAffine(table, d, F);
    Pt<V, N> acc{e.x, e.y, select(V::eqMask(d.magnitude, V::zero()), one, feZero<V, N>())};
    auto nextWindow = [&](int i) {
        acc = doubleTimes(acc, kVarWindow, F);
        d = digitAt(k, kVarWindow, i);
        e = selectAffine(table, d, F);
    };
    for (int i = windows - 2; i >= 1; --i) {
        nextWindow(i);
        Pt<V, N> sum = select(isZeroBelow2m(acc.z, M), addAffine(acc, e, F), e);
        acc = select(V::eqMask(d.magnitude, V::zero()), sum, acc);
    }
    // The last window takes the complete addition.
    nextWindow(0);
    Pt<V, N> last = fromJacobian(acc, F);
    return select(V::eqMask(d.magnitude, V::zero()), pointAdd<V, N, true>(last, e, F), last);
}

// ---- verification: public scalars and points, variable time ----

// Entry |d| of an affine table read by address, y negated for a negative digit (entry 1 for d = 0,
// which the caller masks). Entry j, lane i, limb l of x is at base[(j − 1)·stride + offset + l·step],
// y N·step further on.
template <class V, int N>
inline Pt<V, N> gatherEntry(const uint64_t* base, const V& offset, uint64_t stride, uint64_t step,
                            const Digit<V, N>& d, const CurveField<V, N>& F)
{
    const V zero = V::eqMask(d.magnitude, V::zero());
    const V index = V::mulLow(V::select(zero, d.magnitude - V::set1(1), V::zero()), V::set1(stride)) + offset;
    Pt<V, N> r{feZero<V, N>(), feZero<V, N>(), montOne(F.p)};
    for (int l = 0; l < N; ++l) {
        r.x.l[l] = V::gather(base + l * step, index);
        r.y.l[l] = V::gather(base + (N + l) * step, index);
    }
    r.y = select(d.negative, r.y, neg(r.y, F.p));
    return r;
}

// acc + E for a Jacobian accumulator and an affine entry; the accumulator at infinity takes the
// entry, and a zero digit keeps the accumulator. The mixed addition cannot double: where acc = E
// in some lane (h = 0, Z3 = 0 where acc was finite), which public inputs can arrange, the complete
// addition is taken instead for every lane, rarely.
template <class V, int N>
inline Pt<V, N> addEntry(const Pt<V, N>& acc, const Pt<V, N>& E, const V& zeroDigit, const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    const V atInfinity = isZeroBelow2m(acc.z, M);
    Pt<V, N> sum = addAffine(acc, E, F);
    if (anyLane(~atInfinity & ~zeroDigit & isZeroBelow2m(sum.z, M))) {
        const Pt<V, N> p = pointAdd<V, N, true>(fromJacobian(acc, F), E, F);
        // (X : Y : Z) projective is (X·Z : Y·Z² : Z) Jacobian.
        sum = {mul(p.x, p.z, M), mul(p.y, sqr(p.z, M), M), p.z};
    }
    return select(zeroDigit, select(atInfinity, sum, E), acc);
}

// k1·G + k2·P (Jacobian) for public 0 ≤ k1, k2 < n and a public point P: one chain of doublings,
// P's 5-bit windows from its table of multiples, G's wider windows from the curve's, their entries
// read by address (the digits are public), not selected from the whole table.
template <class V, int N>
inline Pt<V, N> mulBaseAndPoint(const Fe<V, N>& k1, const Pt<V, N>& P, const Fe<V, N>& k2, const CurveConsts& c,
                                const CurveField<V, N>& F)
{
    static_assert(kMultiplesWindow % kVarWindow == 0 && kMultiplesWindowP384 % kVarWindow == 0,
                  "G's windows end where the point's do");
    const int ratio = c.multiplesWindow / kVarWindow;
    Pt<V, N> table[kVarEntries];
    affineTable(table, P, F);
    alignas(64) uint64_t lanes[kLanes];
    for (int i = 0; i < kLanes; ++i) lanes[i] = (uint64_t)i;
    const V laneIndex = V::load(lanes);
    const V none = V::zero();
    // Entry j, limb l of x in lane i: the table's vectors are 8 lanes wide, 3N to a point.
    const uint64_t* tableBase = reinterpret_cast<const uint64_t*>(&table[0].x.l[0]);
    const uint64_t pointStride = sizeof(Pt<V, N>) / sizeof(uint64_t);
    // Every ratio-th window of P ends one of G's: those cover G's bits as P's cover its own.
    const int windows = (c.n.bits + 1 + kVarWindow - 1) / kVarWindow;
    Pt<V, N> acc = infinity(F);
    for (int i = windows - 1; i >= 0; --i) {
        // The window's entries first: their loads, which take long, run under the doublings.
        const Digit<V, N> d = digitAt(k2, kVarWindow, i);
        const Pt<V, N> entry = gatherEntry(tableBase, laneIndex, pointStride, kLanes, d, F);
        const bool withG = i % ratio == 0;
        Digit<V, N> e{};
        Pt<V, N> entryG{};
        if (withG) {
            e = digitAt(k1, c.multiplesWindow, i / ratio);
            entryG = gatherEntry(c.multiples.data(), none, 2 * N, 1, e, F);
        }
        if (i != windows - 1) acc = doubleTimes(acc, kVarWindow, F);
        acc = addEntry(acc, entry, V::eqMask(d.magnitude, none), F);
        if (withG) acc = addEntry(acc, entryG, V::eqMask(e.magnitude, none), F);
    }
    return acc;
}

// k·G for 0 ≤ k < n from the comb table of the curve: one addition per window, no doubling. The
// sum of the windows below i, A = Σ dⱼ·2^(wj), has |A| ≤ 2^(wi − 1), and the entry E = dᵢ·2^(wi)
// has 2^(wi) ≤ |E| < 2^(wi + w − 1) for dᵢ ≠ 0: while 2^(w(i + 1)) < n, A ≢ ±E mod n, so the
// accumulator, Jacobian, takes the mixed Jacobian addition. The windows beyond take the complete
// projective one. The accumulator at infinity (A = 0) takes the entry; a zero digit keeps the sum.
template <class V, int N>
inline Pt<V, N> mulBase(const Fe<V, N>& k, const CurveConsts& c, const CurveField<V, N>& F)
{
    Pt<V, N> acc = infinity(F);
    const Fe<V, N> one = montOne(F.p);
    const int entries = c.combEntries;
    const int jacobianWindows = (c.n.bits - 1) / c.combWindow;
    const uint64_t* window = c.comb.data();
    for (int i = 0; i < c.combWindows; ++i, window += 2 * N * entries) {
        Digit<V, N> d = digitAt(k, c.combWindow, i);
        // Entry |d| − 1: its low 4 bits pick within a block of 16, the others the block.
        V index = d.magnitude - V::set1(1);
        V block = V::template shr<4>(index);
        Fe<V, N> xy[2];
        for (int coord = 0; coord < 2; ++coord) {
            TZV_UNROLL
            for (int l = 0; l < N; ++l) {
                const uint64_t* t = window + (coord * N + l) * entries;
                V r = V::lookup16(t, index);
                for (int b = 1; b < entries / 16; ++b)
                    r = V::select(V::eqMask(block, V::set1((uint64_t)b)), r, V::lookup16(t + 16 * b, index));
                xy[coord].l[l] = r;
            }
        }
        const Pt<V, N> q{xy[0], select(d.negative, xy[1], neg(xy[1], F.p)), one};
        const V zeroDigit = V::eqMask(d.magnitude, V::zero());
        if (i == jacobianWindows) acc = fromJacobian(acc, F);
        Pt<V, N> sum;
        if (i < jacobianWindows)
            sum = select(isZeroBelow2m(acc.z, F.p), addAffine(acc, q, F), q);
        else
            sum = pointAdd<V, N, true>(acc, q, F);
        acc = select(zeroDigit, sum, acc);
    }
    return acc; // projective: the last window is always beyond jacobianWindows
}

// Affine x, y (Montgomery form) of P; (0, 0) for the point at infinity.
template <class V, int N>
inline void toAffine(Fe<V, N>& x, Fe<V, N>& y, const Pt<V, N>& P, const CurveField<V, N>& F)
{
    Fe<V, N> zi = invert(P.z, F.p);
    x = mul(P.x, zi, F.p);
    y = mul(P.y, zi, F.p);
}

// Lanes where affine (x, y), Montgomery form, satisfies y² = x³ − 3x + b.
template <class V, int N>
inline V onCurve(const Fe<V, N>& x, const Fe<V, N>& y, const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    Fe<V, N> x3 = mul(sqr(x, M), x, M);
    Fe<V, N> three = add(add(x, x, M), x, M);
    Fe<V, N> rhs = add(sub(x3, three, M), F.b, M);
    return isEqual(sqr(y, M), rhs);
}

// Lanes where Jacobian (X : Y : Z), Montgomery form, given X, Y and Z², satisfies
// Y² = X³ − 3·X·Z⁴ + b·Z⁶.
template <class V, int N>
inline V onCurveJacobian(const Fe<V, N>& x, const Fe<V, N>& y, const Fe<V, N>& z2, const CurveField<V, N>& F)
{
    const Mod<V, N>& M = F.p;
    Fe<V, N> z4 = sqr(z2, M);
    Fe<V, N> xz4 = mul(x, z4, M);
    Fe<V, N> rhs = sub(mul(sqr(x, M), x, M), add(add(xz4, xz4, M), xz4, M), M);
    rhs = add(rhs, mul(F.b, mul(z4, z2, M), M), M);
    return isEqual(sqr(y, M), rhs);
}

} // namespace
} // namespace tzv::ec

#endif
