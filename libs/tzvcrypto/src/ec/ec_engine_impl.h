// The curve operations written once over the lane vector V and the limb count N; each backend's
// translation unit includes this and instantiates engineTable<V, N>. From argument conversion to
// the masked stores the eight lanes travel together: a lane that is bad, inactive or fails gets a
// harmless stand-in value (1 for a scalar, G for a point) and its outputs are masked, never skipped.
#ifndef TZV_EC_ENGINE_IMPL_H
#define TZV_EC_ENGINE_IMPL_H

#include "ec_engine.h"
#include "ec_point.h"
#include "../simd/limbs52.h"

namespace tzv::ec {
namespace {

constexpr int kMaxWords = kMaxLimbs + 1;

using simd::bytesToWords;
using simd::limbsToWords;
using simd::wordsToBytes;
using simd::wordsToLimbs;

// ---- lanes in and out ----

// A vector per limb from per-lane limbs: lanes[lane][limb].
template <class V, int N>
inline Fe<V, N> gatherLanes(const uint64_t (&lanes)[kLanes][kMaxLimbs])
{
    Fe<V, N> r;
    for (int l = 0; l < N; ++l) {
        alignas(64) uint64_t col[kLanes];
        for (int i = 0; i < kLanes; ++i) col[i] = lanes[i][l];
        r.l[l] = V::load(col);
    }
    return r;
}

template <class V, int N>
inline void scatterLanes(uint64_t (&lanes)[kLanes][kMaxLimbs], const Fe<V, N>& a)
{
    for (int l = 0; l < N; ++l) {
        alignas(64) uint64_t col[kLanes];
        a.l[l].store(col);
        for (int i = 0; i < kLanes; ++i) lanes[i][l] = col[i];
    }
}

template <class V>
inline void maskLanes(uint64_t (&out)[kLanes], const V& mask)
{
    alignas(64) uint64_t col[kLanes];
    mask.store(col);
    for (int i = 0; i < kLanes; ++i) out[i] = col[i];
}

// Word numbers of the active lanes (zero elsewhere); `oversized` gets the lanes with bits beyond N
// limbs.
template <class V, int N>
inline Fe<V, N> loadWords(const int64u* const src[kLanes], int count, unsigned active, V& oversized)
{
    uint64_t limbs[kLanes][kMaxLimbs] = {};
    alignas(64) uint64_t excess[kLanes] = {};
    for (int i = 0; i < kLanes; ++i)
        if (active & (1u << i)) excess[i] = wordsToLimbs(limbs[i], N, src[i], count);
    oversized = ~V::eqMask(V::load(excess), V::zero());
    return gatherLanes<V, N>(limbs);
}

template <class V, int N>
inline Fe<V, N> loadBytes(const int8u* const src[kLanes], int len, unsigned active)
{
    uint64_t limbs[kLanes][kMaxLimbs] = {};
    for (int i = 0; i < kLanes; ++i) {
        if (!(active & (1u << i))) continue;
        uint64_t words[kMaxWords];
        bytesToWords(words, kMaxWords, src[i], len);
        wordsToLimbs(limbs[i], N, words, (len + 7) / 8);
    }
    return gatherLanes<V, N>(limbs);
}

// dst = value in the active lanes where `ok` is set; the other lanes' memory keeps its contents.
template <class V, int N>
inline void storeWords(int64u* const dst[kLanes], int count, const Fe<V, N>& value, const V& ok, unsigned active)
{
    uint64_t limbs[kLanes][kMaxLimbs];
    uint64_t keep[kLanes];
    scatterLanes(limbs, value);
    maskLanes(keep, ok);
    for (int i = 0; i < kLanes; ++i) {
        if (!(active & (1u << i))) continue;
        uint64_t words[kMaxWords];
        limbsToWords(words, count, limbs[i], N);
        for (int w = 0; w < count; ++w) dst[i][w] = (words[w] & keep[i]) | (dst[i][w] & ~keep[i]);
    }
}

template <class V, int N>
inline void storeBytes(int8u* const dst[kLanes], int len, const Fe<V, N>& value, const V& ok, unsigned active)
{
    uint64_t limbs[kLanes][kMaxLimbs];
    uint64_t keep[kLanes];
    scatterLanes(limbs, value);
    maskLanes(keep, ok);
    for (int i = 0; i < kLanes; ++i) {
        if (!(active & (1u << i))) continue;
        uint64_t words[kMaxWords];
        int8u bytes[8 * kMaxWords];
        limbsToWords(words, kMaxWords, limbs[i], N);
        wordsToBytes(bytes, len, words);
        int8u k = (int8u)keep[i];
        for (int b = 0; b < len; ++b) dst[i][b] = (int8u)((bytes[b] & k) | (dst[i][b] & ~k));
    }
}

// Status word of the active lanes: 1 where `bad`, else `failure` (8 unless given) where `failed`.
// Arithmetic only.
template <class V>
inline tzv_status laneStatus(const V& bad, const V& failed, unsigned active, uint64_t failure = 8)
{
    uint64_t b[kLanes], f[kLanes];
    maskLanes(b, bad);
    maskLanes(f, failed);
    tzv_status sts = 0;
    for (int i = 0; i < kLanes; ++i) {
        uint64_t on = 0 - (uint64_t)((active >> i) & 1);
        uint64_t value = (b[i] & 1) | (~b[i] & f[i] & failure);
        sts |= (tzv_status)((value & on) << (4 * i));
    }
    return sts;
}

// ---- the operations ----

template <class V, int N>
struct Ops {
    using F = Fe<V, N>;

    static F plainOne()
    {
        F r = feZero<V, N>();
        r.l[0] = V::set1(1);
        return r;
    }

    // Lanes where k is outside [1, upper − 1].
    static V outOfRange(const F& k, const uint64_t* upper)
    {
        return isZero(k) | ~isLess(k, broadcast<V, N>(upper));
    }

    // A scalar in [1, n − 1]: `bad` collects the lanes where it is not; they compute with 1.
    static F loadScalar(const int64u* const src[kLanes], const CurveConsts& c, unsigned active, V& bad,
                        const uint64_t* upper)
    {
        V oversized;
        F k = loadWords<V, N>(src, c.words, active, oversized);
        V out = oversized | outOfRange(k, upper);
        bad = bad | out;
        return select(out, k, plainOne());
    }

    // Public keys as points in Montgomery form; G in the lanes where a key is bad. A key with Z
    // (Jacobian: x = X/Z², y = Y/Z³) is checked on the curve as it is and comes back projective,
    // (X·Z : Y : Z³), with no inversion; `affine` asks for Z = 1 instead.
    static Pt<V, N> loadPoint(const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                              const int64u* const pubz[kLanes], const CurveConsts& c, const CurveField<V, N>& Fp,
                              unsigned active, V& bad, bool affine = false)
    {
        const Mod<V, N>& M = Fp.p;
        V overX, overY, overZ = V::zero();
        F x = loadWords<V, N>(pubx, c.words, active, overX);
        F y = loadWords<V, N>(puby, c.words, active, overY);
        F p = broadcast<V, N>(c.p.m);
        V out = overX | overY | ~isLess(x, p) | ~isLess(y, p);
        x = toMont(x, M);
        y = toMont(y, M);
        F z = montOne(M);
        if (pubz) {
            F zp = loadWords<V, N>(pubz, c.words, active, overZ);
            out = out | overZ | isZero(zp) | ~isLess(zp, p);
            z = toMont(zp, M);
            if (affine) {
                F zi = invert(z, M, Input::Public);
                F zi2 = sqr(zi, M);
                x = mul(x, zi2, M);
                y = mul(y, mul(zi2, zi, M), M);
                z = montOne(M);
            } else {
                F z2 = sqr(z, M);
                out = out | ~onCurveJacobian(x, y, z2, Fp);
                x = mul(x, z, M);
                z = mul(z2, z, M);
            }
        }
        if (!pubz || affine) out = out | ~onCurve(x, y, Fp);
        bad = bad | out;
        x = select(out, x, broadcast<V, N>(c.gx));
        y = select(out, y, broadcast<V, N>(c.gy));
        z = select(out, z, montOne(M));
        return {x, y, z};
    }

    // Affine x of P as a plain number below p; `atInfinity` gets the lanes where P is infinity.
    static F affineX(const Pt<V, N>& P, const CurveField<V, N>& Fp, V* atInfinity = nullptr)
    {
        if (atInfinity) *atInfinity = isZero(P.z);
        return fromMont(mul(P.x, invert(P.z, Fp.p), Fp.p), Fp.p);
    }

    static tzv_status publicKey(const CurveConsts& c, int64u* const pubx[kLanes], int64u* const puby[kLanes],
                                int64u* const pubz[kLanes], const int64u* const skey[kLanes], unsigned active)
    {
        CurveField<V, N> Fp(c);
        V bad = V::zero();
        F d = loadScalar(skey, c, active, bad, c.n.m);
        Pt<V, N> q = mulBase(d, c, Fp);
        F x, y;
        toAffine(x, y, q, Fp);
        V ok = ~bad;
        storeWords(pubx, c.words, fromMont(x, Fp.p), ok, active);
        storeWords(puby, c.words, fromMont(y, Fp.p), ok, active);
        if (pubz) storeWords(pubz, c.words, plainOne(), ok, active);
        return laneStatus(bad, V::zero(), active);
    }

    static tzv_status sharedSecret(const CurveConsts& c, int8u* const shared[kLanes],
                                   const int64u* const skey[kLanes], const int64u* const pubx[kLanes],
                                   const int64u* const puby[kLanes], const int64u* const pubz[kLanes],
                                   unsigned active)
    {
        CurveField<V, N> Fp(c);
        V bad = V::zero();
        F d = loadScalar(skey, c, active, bad, c.n.m);
        Pt<V, N> q = loadPoint(pubx, puby, pubz, c, Fp, active, bad);
        V infinite;
        F x = affineX(mulPoint(q, d, c.n.bits, Fp), Fp, &infinite);
        bad = bad | infinite;
        storeBytes(shared, c.fieldBytes, x, ~bad, active);
        return laneStatus(bad, V::zero(), active);
    }

    // r = x(k·G) mod n (Montgomery form mod n) and the lanes where it is zero.
    static F signR(const F& k, const CurveConsts& c, const CurveField<V, N>& Fp, const Mod<V, N>& Mn, V& zero)
    {
        F r = toMont(affineX(mulBase(k, c, Fp), Fp), Mn);
        zero = isZero(r);
        return r;
    }

    // s = k⁻¹·(e + r·d) mod n, all but e in Montgomery form mod n; e is the plain digest.
    static F signS(const F& kinv, const F& r, const F& d, const F& e, const Mod<V, N>& Mn)
    {
        return mul(kinv, add(toMont(e, Mn), mul(r, d, Mn), Mn), Mn);
    }

    static tzv_status signSetup(const CurveConsts& c, int64u* const inv_eph_skey[kLanes],
                                int64u* const sign_rp[kLanes], const int64u* const eph_skey[kLanes], unsigned active)
    {
        CurveField<V, N> Fp(c);
        Mod<V, N> Mn(c.n);
        V bad = V::zero(), failed;
        F k = loadScalar(eph_skey, c, active, bad, c.n.m);
        F r = signR(k, c, Fp, Mn, failed);
        F kinv = invert(toMont(k, Mn), Mn);
        V ok = ~(bad | failed);
        storeWords(inv_eph_skey, c.words, fromMont(kinv, Mn), ok, active);
        storeWords(sign_rp, c.words, fromMont(r, Mn), ok, active);
        return laneStatus(bad, failed, active);
    }

    static tzv_status signComplete(const CurveConsts& c, int8u* const sign_r[kLanes], int8u* const sign_s[kLanes],
                                   const int8u* const msg[kLanes], const int64u* const sign_rp[kLanes],
                                   const int64u* const inv_eph_skey[kLanes], const int64u* const reg_skey[kLanes],
                                   unsigned active)
    {
        Mod<V, N> Mn(c.n);
        V bad = V::zero();
        F r = loadScalar(sign_rp, c, active, bad, c.n.m);
        F kinv = loadScalar(inv_eph_skey, c, active, bad, c.n.m);
        F d = loadScalar(reg_skey, c, active, bad, c.n.m);
        F e = loadBytes<V, N>(msg, c.orderBytes, active);
        F s = fromMont(signS(toMont(kinv, Mn), toMont(r, Mn), toMont(d, Mn), e, Mn), Mn);
        V failed = isZero(s);
        V ok = ~(bad | failed);
        storeBytes(sign_r, c.orderBytes, r, ok, active);
        storeBytes(sign_s, c.orderBytes, s, ok, active);
        return laneStatus(bad, failed, active);
    }

    static tzv_status sign(const CurveConsts& c, int8u* const sign_r[kLanes], int8u* const sign_s[kLanes],
                           const int8u* const msg[kLanes], const int64u* const eph_skey[kLanes],
                           const int64u* const reg_skey[kLanes], unsigned active)
    {
        CurveField<V, N> Fp(c);
        Mod<V, N> Mn(c.n);
        V bad = V::zero(), failed;
        F k = loadScalar(eph_skey, c, active, bad, c.n.m);
        F d = loadScalar(reg_skey, c, active, bad, c.n.m);
        F e = loadBytes<V, N>(msg, c.orderBytes, active);
        F r = signR(k, c, Fp, Mn, failed);
        F s = fromMont(signS(invert(toMont(k, Mn), Mn), r, toMont(d, Mn), e, Mn), Mn);
        failed = failed | isZero(s);
        V ok = ~(bad | failed);
        storeBytes(sign_r, c.orderBytes, fromMont(r, Mn), ok, active);
        storeBytes(sign_s, c.orderBytes, s, ok, active);
        return laneStatus(bad, failed, active);
    }

    // A signature half as a number in [1, n − 1]; `failed` collects the lanes where it is not.
    static F loadHalf(const int8u* const src[kLanes], const CurveConsts& c, unsigned active, V& failed)
    {
        F v = loadBytes<V, N>(src, c.orderBytes, active);
        V out = outOfRange(v, c.n.m);
        failed = failed | out;
        return select(out, v, plainOne());
    }

    // Lanes where R is finite and x(R) mod n = t (plain, below n), with no inversion: X = t·Z, or
    // X = (t + n)·Z where t + n is still below p (n < p on every curve here).
    static V xModNIs(const Pt<V, N>& R, const F& t, const CurveConsts& c, const CurveField<V, N>& Fp)
    {
        const Mod<V, N>& M = Fp.p;
        F n = broadcast<V, N>(c.n.m);
        F pMinusN = sub(broadcast<V, N>(c.p.m), n, M);
        V second = isLess(t, pMinusN);
        V same = isEqual(R.x, mul(toMont(t, M), R.z, M));
        same = same | (second & isEqual(R.x, mul(toMont(add(t, n, M), M), R.z, M)));
        return same & ~isZero(R.z);
    }

    static tzv_status verify(const CurveConsts& c, const int8u* const sign_r[kLanes], const int8u* const sign_s[kLanes],
                             const int8u* const msg[kLanes], const int64u* const pubx[kLanes],
                             const int64u* const puby[kLanes], const int64u* const pubz[kLanes], unsigned active)
    {
        CurveField<V, N> Fp(c);
        Mod<V, N> Mn(c.n);
        V bad = V::zero(), failed = V::zero();
        Pt<V, N> q = loadPoint(pubx, puby, pubz, c, Fp, active, bad);
        F r = loadHalf(sign_r, c, active, failed);
        F s = loadHalf(sign_s, c, active, failed);
        F e = loadBytes<V, N>(msg, c.orderBytes, active);
        // R = u1·G + u2·Q with w = s⁻¹, u1 = e·w, u2 = r·w; it holds when x(R) mod n = r.
        F w = invert(toMont(s, Mn), Mn, Input::Public);
        F u1 = fromMont(mul(toMont(e, Mn), w, Mn), Mn);
        F u2 = fromMont(mul(toMont(r, Mn), w, Mn), Mn);
        Pt<V, N> R = fromJacobian(mulBaseAndPoint(u1, q, u2, c, Fp), Fp);
        failed = failed | ~xModNIs(R, r, c, Fp);
        return laneStatus(bad, failed, active);
    }

    static tzv_status affineKeys(const CurveConsts& c, int8u x[kLanes][66], int8u y[kLanes][66],
                                 const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                                 const int64u* const pubz[kLanes], unsigned active)
    {
        CurveField<V, N> Fp(c);
        V bad = V::zero();
        Pt<V, N> q = loadPoint(pubx, puby, pubz, c, Fp, active, bad, true);
        int8u* xs[kLanes];
        int8u* ys[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            xs[i] = x[i];
            ys[i] = y[i];
        }
        const V all = ~V::zero();
        storeBytes(xs, c.fieldBytes, fromMont(q.x, Fp.p), all, active);
        storeBytes(ys, c.fieldBytes, fromMont(q.y, Fp.p), all, active);
        return laneStatus(bad, V::zero(), active);
    }

    static F loadDigests(const int8u e[kLanes][kSm2DigestBytes], unsigned active)
    {
        const int8u* src[kLanes];
        for (int i = 0; i < kLanes; ++i) src[i] = e[i];
        return loadBytes<V, N>(src, kSm2DigestBytes, active);
    }

    // SM2: r = (e + x(k·G)) mod n, s = (1 + d)⁻¹·(k − r·d) mod n; r = 0, r + k = n or s = 0 fail.
    static tzv_status sm2Sign(const CurveConsts& c, int8u* const sign_r[kLanes], int8u* const sign_s[kLanes],
                              const int8u e[kLanes][kSm2DigestBytes], const int64u* const eph_skey[kLanes],
                              const int64u* const reg_skey[kLanes], unsigned active)
    {
        CurveField<V, N> Fp(c);
        Mod<V, N> Mn(c.n);
        V bad = V::zero(), unused;
        F k = loadScalar(eph_skey, c, active, bad, c.n.m);
        F d = loadScalar(reg_skey, c, active, bad, c.n.minus1);
        F x = signR(k, c, Fp, Mn, unused);
        F r = add(toMont(loadDigests(e, active), Mn), x, Mn);
        F km = toMont(k, Mn);
        F dm = toMont(d, Mn);
        V failed = isZero(r) | isZero(add(r, km, Mn));
        F inv = invert(add(dm, montOne(Mn), Mn), Mn);
        F s = fromMont(mul(inv, sub(km, mul(r, dm, Mn), Mn), Mn), Mn);
        failed = failed | isZero(s);
        V ok = ~(bad | failed);
        storeBytes(sign_r, c.orderBytes, fromMont(r, Mn), ok, active);
        storeBytes(sign_s, c.orderBytes, s, ok, active);
        return laneStatus(bad, failed, active);
    }

    // SM2: t = (r + s) mod n ≠ 0 and (e + x(s·G + t·Q)) mod n = r.
    static tzv_status sm2Verify(const CurveConsts& c, const int8u* const sign_r[kLanes],
                                const int8u* const sign_s[kLanes], const int8u e[kLanes][kSm2DigestBytes],
                                const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                                const int64u* const pubz[kLanes], unsigned active)
    {
        CurveField<V, N> Fp(c);
        Mod<V, N> Mn(c.n);
        V bad = V::zero(), failed = V::zero();
        Pt<V, N> q = loadPoint(pubx, puby, pubz, c, Fp, active, bad);
        F r = loadHalf(sign_r, c, active, failed);
        F s = loadHalf(sign_s, c, active, failed);
        F rm = toMont(r, Mn);
        F t = add(rm, toMont(s, Mn), Mn);
        failed = failed | isZero(t);
        Pt<V, N> R = fromJacobian(mulBaseAndPoint(s, q, fromMont(t, Mn), c, Fp), Fp);
        V infinite;
        F x = toMont(affineX(R, Fp, &infinite), Mn);
        F v = add(toMont(loadDigests(e, active), Mn), x, Mn);
        failed = failed | infinite | ~isEqual(v, rm);
        return laneStatus(bad, failed, active);
    }
};

template <class V, int N>
const EcEngine engineTable = {
    &Ops<V, N>::publicKey, &Ops<V, N>::sharedSecret, &Ops<V, N>::signSetup, &Ops<V, N>::signComplete,
    &Ops<V, N>::sign,      &Ops<V, N>::verify,       &Ops<V, N>::affineKeys, &Ops<V, N>::sm2Sign,
    &Ops<V, N>::sm2Verify,
};

// The table for the curve's limb count: 5 for P-256 and SM2, 8 for P-384, 11 for P-521.
template <class V>
const EcEngine& engineFor(CurveId id)
{
    switch (id) {
    case CurveId::P384:
        return engineTable<V, 8>;
    case CurveId::P521:
        return engineTable<V, 11>;
    default:
        return engineTable<V, 5>;
    }
}

} // namespace
} // namespace tzv::ec

#endif
