// The twisted Edwards curve of Ed25519 (RFC 8032), −x² + y² = 1 + d·x²·y² over 2^255 − 19, for
// eight lanes at once: fixed-base products k·B from a comb of B, verification's s·B − k·A, and the
// arithmetic modulo the group order L that signing needs. Points are extended (X : Y : Z : T), x = X/Z, y = Y/Z, x·y = T/Z; the
// comb's entries are affine, kept as (y + x, y − x, 2d·x·y). The addition (Hisil, Wong, Carter and
// Dawson, 2008, for a = −1) is complete on this curve, as d is no square: the identity, equal
// points and every digit take the same operations, and an entry comes by masked selection over its
// whole window. X25519's public key comes out of the same product, u = (1 + y)/(1 − y).
// Each backend's translation unit includes this and instantiates curve25519Table<V>.
#ifndef TZV_ED25519_LANES_H
#define TZV_ED25519_LANES_H

#include <vector>

#include "ec_point.h"
#include "x25519_ladder.h"

namespace tzv::ec {
namespace {

template <class V>
struct Ed25519Lanes {
    static constexpr int N = 5;
    using F = Fe<V, N>;
    using X = X25519Lanes<V>;
    // Radix-16 signed digits: 64 windows cover a scalar below 2^255, 8 entries a window.
    static constexpr int kWindow = 4, kWindows = 64, kEntries = 8;
    static constexpr int kEntryLimbs = 3 * N;

    struct Point {
        F x, y, z, t;
    };
    struct Entry {
        F ypx, ymx, xy2d;
    };

    static Point identity(const Mod<V, N>& M) { return {feZero<V, N>(), montOne(M), montOne(M), feZero<V, N>()}; }

    // P + E for an affine entry E: 7 multiplications.
    __attribute__((flatten)) static Point plus(const Point& P, const Entry& E, const Mod<V, N>& M)
    {
        const X25519FieldShape s;
        const F a = mul(differenceForMul(P.y, P.x, M), E.ymx, M, s);
        const F b = mul(sumForMul(P.y, P.x), E.ypx, M, s);
        const F c = mul(P.t, E.xy2d, M, s);
        const F d = twice(P.z, M);
        const F e = differenceForMul(b, a, M), f = differenceForMul(d, c, M), g = sumForMul(d, c), h = sumForMul(b, a);
        return {mul(e, f, M, s), mul(g, h, M, s), mul(f, g, M, s), mul(e, h, M, s)};
    }

    // 2P: A = X², B = Y², C = 2Z², E = (X + Y)² − A − B, G = B − A, F = G − C, H = −(A + B).
    __attribute__((flatten)) static Point twicePoint(const Point& P, const Mod<V, N>& M)
    {
        const X25519FieldShape s;
        const F a = sqr(P.x, M, s), b = sqr(P.y, M, s), c = twice(sqr(P.z, M, s), M);
        const F e = sub(sqr(sumForMul(P.x, P.y), M, s), add(a, b, M), M);
        const F g = sub(b, a, M), f = sub(g, c, M), h = neg(add(a, b, M), M);
        return {mul(e, f, M, s), mul(g, h, M, s), mul(f, g, M, s), mul(e, h, M, s)};
    }

    // A point kept for additions: (Y + X, Y − X, 2Z, 2d·T).
    struct Cached {
        F ypx, ymx, z2, t2d;
    };

    static Cached cached(const Point& P, const F& d2, const Mod<V, N>& M)
    {
        const X25519FieldShape s;
        return {add(P.y, P.x, M), sub(P.y, P.x, M), twice(P.z, M), mul(P.t, d2, M, s)};
    }

    // P + Q for Q cached: 8 multiplications, complete like the affine entries' addition.
    __attribute__((flatten)) static Point plusCached(const Point& P, const Cached& Q, const Mod<V, N>& M)
    {
        const X25519FieldShape s;
        const F a = mul(differenceForMul(P.y, P.x, M), Q.ymx, M, s);
        const F b = mul(sumForMul(P.y, P.x), Q.ypx, M, s);
        const F c = mul(P.t, Q.t2d, M, s);
        const F d = mul(P.z, Q.z2, M, s);
        const F e = differenceForMul(b, a, M), f = differenceForMul(d, c, M), g = sumForMul(d, c), h = sumForMul(b, a);
        return {mul(e, f, M, s), mul(g, h, M, s), mul(f, g, M, s), mul(e, h, M, s)};
    }

    // The entry of affine (x, y).
    static Entry entryOf(const F& x, const F& y, const F& d2, const Mod<V, N>& M)
    {
        return {add(y, x, M), sub(y, x, M), mul(mul(x, y, M), d2, M)};
    }

    // The comb: window i, entry j (lane j while it is built) holds (j + 1)·16^i·B, at
    // table[((i·kEntries + j)·3 + coordinate)·N + limb]. Built once, from the lanes themselves: the
    // eight multiples of B side by side, then per window one inversion and four doublings.
    static std::vector<uint64_t> buildComb(const Curve25519Consts& c)
    {
        const Mod<V, N> M(c.p);
        const F d2 = broadcast<V, N>(c.d2), bx = broadcast<V, N>(c.bx), by = broadcast<V, N>(c.by);
        const Entry b = entryOf(bx, by, d2, M);
        // Lane j of `multiples` gets (j + 1)·B.
        alignas(64) uint64_t lanes[4][N][kLanes];
        Point acc{bx, by, montOne(M), mul(bx, by, M)};
        for (int j = 0; j < kLanes; ++j) {
            if (j > 0) acc = plus(acc, b, M);
            alignas(64) uint64_t limbs[kLanes];
            const F* coords[4] = {&acc.x, &acc.y, &acc.z, &acc.t};
            for (int k = 0; k < 4; ++k)
                for (int l = 0; l < N; ++l) coords[k]->l[l].store(limbs), lanes[k][l][j] = limbs[0];
        }
        Point P;
        F* coords[4] = {&P.x, &P.y, &P.z, &P.t};
        for (int k = 0; k < 4; ++k)
            for (int l = 0; l < N; ++l) coords[k]->l[l] = V::load(lanes[k][l]);
        std::vector<uint64_t> table((size_t)kWindows * kEntries * kEntryLimbs);
        for (int i = 0; i < kWindows; ++i) {
            const F zi = invert(P.z, M, Input::Public);
            const Entry e = entryOf(mul(P.x, zi, M), mul(P.y, zi, M), d2, M);
            const F* parts[3] = {&e.ypx, &e.ymx, &e.xy2d};
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < N; ++l) {
                    alignas(64) uint64_t limbs[kLanes];
                    parts[k]->l[l].store(limbs);
                    for (int j = 0; j < kEntries; ++j) table[((size_t)(i * kEntries + j) * 3 + k) * N + l] = limbs[j];
                }
            for (int k = 0; k < kWindow; ++k) P = twicePoint(P, M);
        }
        return table;
    }

    static const uint64_t* comb(const Curve25519Consts& c)
    {
        static const std::vector<uint64_t> table = buildComb(c);
        return table.data();
    }

    // k·B for k < 2^255 (limbs): one addition a window, the entry by masked selection over the
    // window (the identity for a zero digit), negated for a negative digit.
    __attribute__((flatten)) static Point mulBase(const F& k, const uint64_t* table, const Mod<V, N>& M)
    {
        Point acc = identity(M);
        for (int i = 0; i < kWindows; ++i) {
            const Digit<V, N> d = digitAt(k, kWindow, i);
            Entry e{montOne(M), montOne(M), feZero<V, N>()};
            for (int j = 0; j < kEntries; ++j) {
                const V hit = V::eqMask(d.magnitude, V::set1((uint64_t)(j + 1)));
                const uint64_t* entry = table + (size_t)(i * kEntries + j) * kEntryLimbs;
                e.ypx = select(hit, e.ypx, broadcast<V, N>(entry));
                e.ymx = select(hit, e.ymx, broadcast<V, N>(entry + N));
                e.xy2d = select(hit, e.xy2d, broadcast<V, N>(entry + 2 * N));
            }
            const F ypx = select(d.negative, e.ypx, e.ymx);
            e.ymx = select(d.negative, e.ymx, e.ypx);
            e.ypx = ypx;
            e.xy2d = select(d.negative, e.xy2d, neg(e.xy2d, M));
            acc = plus(acc, e, M);
        }
        return acc;
    }

    // The active lanes' 32-byte little-endian scalars (below 2^255) as limbs.
    static F loadScalars(const int8u scalars[kLanes][32], unsigned active)
    {
        const int8u* src[kLanes];
        for (int i = 0; i < kLanes; ++i) src[i] = scalars[i];
        return X::load(src, active, false);
    }

    // out = k·B encoded: y with x's low bit as bit 255 (Ed25519), or X25519's u = (1 + y)/(1 − y).
    static void basePoints(const Curve25519Consts& c, int8u out[kLanes][32], const int8u scalars[kLanes][32],
                           unsigned active, bool montgomeryU)
    {
        const Mod<V, N> M(c.p);
        const Point P = mulBase(loadScalars(scalars, active), comb(c), M);
        int8u* dst[kLanes];
        for (int i = 0; i < kLanes; ++i) dst[i] = out[i];
        if (montgomeryU) {
            // k·B is never the identity (y = 1) for a clamped k: 8L > 2^255 > k.
            X::store(dst, fromMont(mul(add(P.z, P.y, M), invert(sub(P.z, P.y, M), M), M), M), active);
            return;
        }
        storeEncoded(out, P, M, active, Input::Secret);
    }

    // P as Ed25519 encodes it: y with x's low bit as bit 255.
    static void storeEncoded(int8u out[kLanes][32], const Point& P, const Mod<V, N>& M, unsigned active, Input input)
    {
        const F zi = invert(P.z, M, input);
        const F x = fromMont(mul(P.x, zi, M), M);
        F y = fromMont(mul(P.y, zi, M), M);
        y.l[N - 1] = y.l[N - 1] | V::template shl<47>(x.l[0] & V::set1(1));
        int8u* dst[kLanes];
        for (int i = 0; i < kLanes; ++i) dst[i] = out[i];
        X::store(dst, y, active);
    }

    // z^(2^252 − 3) = z^((p − 5)/8): z^(2^k − 1) for k = 2, 4 … 128 from runs of squares, then
    // 2^250 − 1 = 128 + 64 + 32 + 16 + 8 + 2 ones, and two squares and z.
    static F powP58(const F& z, const Mod<V, N>& M)
    {
        const X25519FieldShape s;
        auto squares = [&](F x, int n) {
            for (int i = 0; i < n; ++i) x = sqr(x, M, s);
            return x;
        };
        F run[8]; // run[j] = z^(2^(2^j) − 1)
        run[0] = z;
        for (int j = 1; j < 8; ++j) run[j] = mul(squares(run[j - 1], 1 << (j - 1)), run[j - 1], M, s);
        F x = run[7];
        for (int j : {6, 5, 4, 3, 1}) x = mul(squares(x, 1 << j), run[j], M, s);
        return mul(squares(x, 2), z, M, s);
    }

    // Public keys as points (x from y and x's sign bit: x² = (y² − 1)/(d·y² + 1), y taken modulo p,
    // x = 0 whatever its sign bit); `bad` gets the lanes where no x exists. Public data.
    static Point decode(const int8u* const src[kLanes], const Curve25519Consts& c, unsigned active, V& bad,
                        const Mod<V, N>& M)
    {
        const X25519FieldShape s;
        alignas(64) uint64_t top[kLanes] = {};
        for (int i = 0; i < kLanes; ++i)
            if (active & (1u << i)) top[i] = src[i][31] >> 7;
        const V odd = V::zero() - V::load(top);
        const F y = toMont(X::load(src, active, false), M);
        const F yy = sqr(y, M, s), one = montOne(M);
        const F u = sub(yy, one, M), v = add(mul(yy, broadcast<V, N>(c.d), M, s), one, M);
        const F v3 = mul(sqr(v, M, s), v, M, s);
        F x = mul(mul(u, v3, M, s), powP58(mul(u, mul(sqr(v3, M, s), v, M, s), M, s), M), M, s);
        const F vxx = mul(v, sqr(x, M, s), M, s);
        const V root = isEqual(vxx, u), other = isEqual(vxx, neg(u, M));
        x = select(other, x, mul(x, broadcast<V, N>(c.sqrtm1), M, s));
        bad = ~(root | other);
        const V flip = (V::zero() - (fromMont(x, M).l[0] & V::set1(1))) ^ odd;
        x = select(flip, x, neg(x, M));
        return {x, y, one, mul(x, y, M, s)};
    }

    // R' = s·B − k·A encoded, for Ed25519's verification: the signature holds where R' is its R.
    // k·(−A) by 4-bit signed windows over a table of its first eight multiples, selected by masks
    // like every other entry (the data are public, but the selection costs little beside the
    // doublings). Returns the lanes whose A is no point.
    static unsigned verifyPoints(const Curve25519Consts& c, int8u out[kLanes][32], const int8u* const pub[kLanes],
                                 const int8u s[kLanes][32], const int8u k[kLanes][64], unsigned active)
    {
        const Mod<V, N> M(c.p), L(c.l);
        const F d2 = broadcast<V, N>(c.d2);
        V bad;
        Point minusA = decode(pub, c, active, bad, M);
        minusA.x = neg(minusA.x, M);
        minusA.t = neg(minusA.t, M);
        Cached table[kEntries];
        Point multiple = minusA;
        table[0] = cached(minusA, d2, M);
        for (int j = 1; j < kEntries; ++j) {
            multiple = plusCached(multiple, table[0], M);
            table[j] = cached(multiple, d2, M);
        }
        const F kk = fromMont(reduceWide(k, active, L), L);
        Point acc = identity(M);
        for (int i = kWindows - 1; i >= 0; --i) {
            if (i != kWindows - 1)
                for (int n = 0; n < kWindow; ++n) acc = twicePoint(acc, M);
            const Digit<V, N> dg = digitAt(kk, kWindow, i);
            Cached e{montOne(M), montOne(M), twice(montOne(M), M), feZero<V, N>()};
            for (int j = 0; j < kEntries; ++j) {
                const V hit = V::eqMask(dg.magnitude, V::set1((uint64_t)(j + 1)));
                e.ypx = select(hit, e.ypx, table[j].ypx);
                e.ymx = select(hit, e.ymx, table[j].ymx);
                e.z2 = select(hit, e.z2, table[j].z2);
                e.t2d = select(hit, e.t2d, table[j].t2d);
            }
            const F ypx = select(dg.negative, e.ypx, e.ymx);
            e.ymx = select(dg.negative, e.ymx, e.ypx);
            e.ypx = ypx;
            e.t2d = select(dg.negative, e.t2d, neg(e.t2d, M));
            acc = plusCached(acc, e, M);
        }
        const Point sb = mulBase(loadScalars(s, active), comb(c), M);
        storeEncoded(out, plusCached(acc, cached(sb, d2, M), M), M, active, Input::Public);
        uint64_t b[kLanes];
        maskLanes(b, bad);
        unsigned mask = 0;
        for (int i = 0; i < kLanes; ++i) mask |= (unsigned)(b[i] & 1) << i;
        return mask & active;
    }

    // 64-byte little-endian numbers modulo L, in Montgomery form: h = lo + hi·R with R = 2^260,
    // lo·R = lo·R²/R and hi·R² = hi·R³/R.
    static F reduceWide(const int8u src[kLanes][64], unsigned active, const Mod<V, N>& L)
    {
        uint64_t limbs[kLanes][kMaxLimbs] = {}, high[kLanes][kMaxLimbs] = {};
        for (int i = 0; i < kLanes; ++i) {
            if (!(active & (1u << i))) continue;
            uint64_t words[8], both[2 * N];
            std::memcpy(words, src[i], 64);
            wordsToLimbs(both, 2 * N, words, 8);
            for (int l = 0; l < N; ++l) limbs[i][l] = both[l], high[i][l] = both[N + l];
        }
        const F low = mul(gatherLanes<V, N>(limbs), broadcast<V, N>(L.c->r2), L);
        return add(low, mul(gatherLanes<V, N>(high), broadcast<V, N>(L.c->r3), L), L);
    }

    // out = h mod L for 64-byte h.
    static void reduceScalars(const Curve25519Consts& c, int8u out[kLanes][32], const int8u h[kLanes][64], unsigned active)
    {
        const Mod<V, N> L(c.l);
        int8u* dst[kLanes];
        for (int i = 0; i < kLanes; ++i) dst[i] = out[i];
        X::store(dst, fromMont(reduceWide(h, active, L), L), active);
    }

    // s = (r + k·a) mod L for 64-byte r and k and 32-byte a.
    static void signScalars(const Curve25519Consts& c, int8u s[kLanes][32], const int8u r[kLanes][64],
                            const int8u k[kLanes][64], const int8u a[kLanes][32], unsigned active)
    {
        const Mod<V, N> L(c.l);
        const F sum = add(reduceWide(r, active, L), mul(reduceWide(k, active, L), toMont(loadScalars(a, active), L), L), L);
        int8u* dst[kLanes];
        for (int i = 0; i < kLanes; ++i) dst[i] = s[i];
        X::store(dst, fromMont(sum, L), active);
    }
};

template <class V>
const Curve25519Engine curve25519Table = {&X25519Lanes<V>::sharedSecret, &Ed25519Lanes<V>::basePoints,
                                          &Ed25519Lanes<V>::reduceScalars, &Ed25519Lanes<V>::signScalars,
                                          &Ed25519Lanes<V>::verifyPoints};

} // namespace
} // namespace tzv::ec

#endif
