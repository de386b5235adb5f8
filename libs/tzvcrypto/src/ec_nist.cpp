// ECDSA on NIST P-256, P-384 and P-521 (FIPS 186-4), 8 lanes per call, with the caller's ephemeral
// key k. Public-key generation and ECDH are shared with SM2 (ec_keys).
#include "ec_common.h"
#include "ec_keys.h"
#include "ec/ec_engine.h"

namespace {

using namespace tzv;
using namespace tzv::ec;

// e = the digest (already truncated by the caller to the order's bit length) reduced mod n. A
// digest of no more bits than n is below 2n and needs at most one subtraction; only P-521's
// 66-byte operand can exceed that. The digest is public, so the branches leak nothing.
bool loadDigest(BIGNUM* e, const int8u* msg, const Curve& c, BN_CTX* ctx)
{
    const BIGNUM* n = c.order.value;
    if (!bytesToBn(e, msg, c.orderBytes)) return false;
    if (BN_num_bits(e) > BN_num_bits(n)) return BN_nnmod(e, e, n, ctx);
    return BN_cmp(e, n) < 0 || BN_sub(e, e, n);
}

// r = x(k·G) mod n, then k replaced by k⁻¹ mod n (one shared inversion for all lanes); r = 0 gives
// TZV_STS_SIGNATURE.
void signSetup(const Call& call, Status8& sts, BIGNUM* k[kLanes], BIGNUM* r[kLanes], BIGNUM* x)
{
    const Curve& c = call.curve();
    BN_CTX* ctx = call.ctx();
    EC_POINT* kg = call.ws().scratch();
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        if (!EC_POINT_mul(c.group, kg, k[i], nullptr, nullptr, ctx) ||
            !EC_POINT_get_affine_coordinates(c.group, kg, x, nullptr, ctx) ||
            !BN_nnmod(r[i], x, c.order.value, ctx))
            sts.set(i, TZV_STS_BAD_PARAM);
        else if (BN_is_zero(r[i]))
            sts.set(i, TZV_STS_SIGNATURE);
    }
    if (!invertLanes(k, okLanes(sts), c.order, Secrecy::Secret, ctx)) failRemainingLanes(sts);
}

// s = k⁻¹·(e + r·d) mod n in the lanes still OK, written with r as byte strings; s = 0 gives
// TZV_STS_SIGNATURE.
void signComplete(const Call& call, Status8& sts, int8u* sign_r[kLanes], int8u* sign_s[kLanes],
                  const int8u* const msg[kLanes], BIGNUM* r[kLanes], BIGNUM* kinv[kLanes],
                  BIGNUM* d[kLanes], BIGNUM* e, BIGNUM* s)
{
    const Curve& c = call.curve();
    const Modulus& n = c.order;
    BN_CTX* ctx = call.ctx();
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        if (!loadDigest(e, msg[i], c, ctx) || !mulMod(s, r[i], d[i], n, ctx) ||
            !BN_mod_add_quick(s, s, e, n.value) || !mulMod(s, kinv[i], s, n, ctx)) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        if (BN_is_zero(s)) {
            sts.set(i, TZV_STS_SIGNATURE);
            continue;
        }
        if (!bnToBytes(sign_r[i], c.orderBytes, r[i]) || !bnToBytes(sign_s[i], c.orderBytes, s))
            sts.set(i, TZV_STS_BAD_PARAM);
    }
}

tzv_status signSetupLanes(CurveId id, int64u* inv_eph_skey[kLanes], int64u* sign_rp[kLanes],
                          const int64u* const eph_skey[kLanes])
{
    Status8 sts;
    markNullLanes(sts, inv_eph_skey, sign_rp, eph_skey);
    if (onIfmaPath(id, sts, kStackBaseProduct, [&](const EcEngine& e, const CurveConsts& c, unsigned active) {
            return e.signSetup(c, inv_eph_skey, sign_rp, eph_skey, active);
        }))
        return sts.word();
    Call call(id, sts);
    if (!call) return sts.word();
    const Curve& c = call.curve();

    BnFrame f(call.ctx());
    BIGNUM* k[kLanes];
    BIGNUM* r[kLanes];
    BIGNUM* x = nullptr;
    if (!f.secretLanes(k) || !f.lanes(r) || !(x = f.secret())) {
        failRemainingLanes(sts);
        return sts.word();
    }
    loadScalars(k, sts, eph_skey, c.words, c.order.value);
    signSetup(call, sts, k, r, x);
    for (int i = 0; i < kLanes; ++i)
        if (sts.ok(i) && (!bnToWords(inv_eph_skey[i], c.words, k[i]) || !bnToWords(sign_rp[i], c.words, r[i])))
            sts.set(i, TZV_STS_BAD_PARAM);
    return sts.word();
}

tzv_status signCompleteLanes(CurveId id, int8u* sign_r[kLanes], int8u* sign_s[kLanes],
                             const int8u* const msg[kLanes], const int64u* const sign_rp[kLanes],
                             const int64u* const inv_eph_skey[kLanes], const int64u* const reg_skey[kLanes])
{
    Status8 sts;
    markNullLanes(sts, sign_r, sign_s, msg, sign_rp, inv_eph_skey, reg_skey);
    if (onIfmaPath(id, sts, kStackScalars, [&](const EcEngine& e, const CurveConsts& c, unsigned active) {
            return e.signComplete(c, sign_r, sign_s, msg, sign_rp, inv_eph_skey, reg_skey, active);
        }))
        return sts.word();
    Call call(id, sts);
    if (!call) return sts.word();
    const Curve& c = call.curve();

    BnFrame f(call.ctx());
    BIGNUM* r[kLanes];
    BIGNUM* kinv[kLanes];
    BIGNUM* d[kLanes];
    BIGNUM* e = nullptr;
    BIGNUM* s = nullptr;
    if (!f.lanes(r) || !f.secretLanes(kinv) || !f.secretLanes(d) || !(e = f.get()) || !(s = f.secret())) {
        failRemainingLanes(sts);
        return sts.word();
    }
    // The precomputed r and k⁻¹ are inputs here: outside [1, n-1] they are bad values.
    loadScalars(r, sts, sign_rp, c.words, c.order.value);
    loadScalars(kinv, sts, inv_eph_skey, c.words, c.order.value);
    loadScalars(d, sts, reg_skey, c.words, c.order.value);
    signComplete(call, sts, sign_r, sign_s, msg, r, kinv, d, e, s);
    return sts.word();
}

tzv_status signLanes(CurveId id, int8u* sign_r[kLanes], int8u* sign_s[kLanes], const int8u* const msg[kLanes],
                     const int64u* const eph_skey[kLanes], const int64u* const reg_skey[kLanes])
{
    Status8 sts;
    markNullLanes(sts, sign_r, sign_s, msg, eph_skey, reg_skey);
    if (onIfmaPath(id, sts, kStackBaseProduct, [&](const EcEngine& e, const CurveConsts& c, unsigned active) {
            return e.sign(c, sign_r, sign_s, msg, eph_skey, reg_skey, active);
        }))
        return sts.word();
    Call call(id, sts);
    if (!call) return sts.word();
    const Curve& c = call.curve();

    BnFrame f(call.ctx());
    BIGNUM* k[kLanes];
    BIGNUM* r[kLanes];
    BIGNUM* d[kLanes];
    BIGNUM* x = nullptr;
    BIGNUM* e = nullptr;
    BIGNUM* s = nullptr;
    if (!f.secretLanes(k) || !f.lanes(r) || !f.secretLanes(d) || !(x = f.secret()) || !(e = f.get()) ||
        !(s = f.secret())) {
        failRemainingLanes(sts);
        return sts.word();
    }
    loadScalars(k, sts, eph_skey, c.words, c.order.value);
    loadScalars(d, sts, reg_skey, c.words, c.order.value);
    signSetup(call, sts, k, r, x);
    signComplete(call, sts, sign_r, sign_s, msg, r, k, d, e, s);
    return sts.word();
}

tzv_status verifyLanes(CurveId id, const int8u* const sign_r[kLanes], const int8u* const sign_s[kLanes],
                       const int8u* const msg[kLanes], const int64u* const pubx[kLanes],
                       const int64u* const puby[kLanes], const int64u* const pubz[kLanes])
{
    Status8 sts;
    markNullLanes(sts, sign_r, sign_s, msg, pubx, puby);
    if (pubz) markNullLanes(sts, pubz);
    if (onIfmaPath(id, sts, kStackPublic, [&](const EcEngine& e, const CurveConsts& c, unsigned active) {
            return e.verify(c, sign_r, sign_s, msg, pubx, puby, pubz, active);
        }))
        return sts.word();
    Call call(id, sts);
    if (!call) return sts.word();
    const Curve& c = call.curve();
    const Modulus& n = c.order;
    BN_CTX* ctx = call.ctx();

    BnFrame f(ctx);
    BIGNUM* r[kLanes];
    BIGNUM* w[kLanes];
    BIGNUM* qx[kLanes];
    BIGNUM* qy[kLanes];
    BIGNUM* e = nullptr;
    BIGNUM* u1 = nullptr;
    BIGNUM* u2 = nullptr;
    if (!f.lanes(r) || !f.lanes(w) || !f.lanes(qx) || !f.lanes(qy) || !(e = f.get()) || !(u1 = f.get()) ||
        !(u2 = f.get())) {
        failRemainingLanes(sts);
        return sts.word();
    }
    loadPublicKeys(call, sts, pubx, puby, pubz, qx, qy);
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        if (!bytesToBn(r[i], sign_r[i], c.orderBytes) || !bytesToBn(w[i], sign_s[i], c.orderBytes))
            sts.set(i, TZV_STS_BAD_PARAM);
        else if (!inRange(r[i], n.value) || !inRange(w[i], n.value))
            sts.set(i, TZV_STS_SIGNATURE);
    }
    // w = s⁻¹; s is public, so the shared inversion need not be constant-time.
    if (!invertLanes(w, okLanes(sts), n, Secrecy::Public, ctx)) failRemainingLanes(sts);

    EC_POINT* rp = call.ws().scratch();
    BIGNUM* x = u1; // u1 is no longer needed once the product is formed
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        // R = u1·G + u2·Q with u1 = e·w, u2 = r·w; the signature holds when x(R) mod n = r.
        if (!loadDigest(e, msg[i], c, ctx) || !mulMod(u1, e, w[i], n, ctx) || !mulMod(u2, r[i], w[i], n, ctx) ||
            !EC_POINT_mul(c.group, rp, u1, call.ws().key(i), u2, ctx)) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        if (EC_POINT_is_at_infinity(c.group, rp) || !EC_POINT_get_affine_coordinates(c.group, rp, x, nullptr, ctx) ||
            !BN_nnmod(x, x, n.value, ctx) || BN_cmp(x, r[i]) != 0)
            sts.set(i, TZV_STS_SIGNATURE);
    }
    return sts.word();
}

} // namespace

#define TZV_DEFINE_NIST_EC(curve, id)                                                                      \
    TZV_EXPORT tzv_status tzv_##curve##_ecpublic_key_mb8(int64u* pubx[8], int64u* puby[8], int64u* pubz[8], \
                                                         const int64u* const skey[8], int8u*)              \
    {                                                                                                      \
        return publicKeyLanes(id, pubx, puby, pubz, skey);                                                 \
    }                                                                                                      \
    TZV_EXPORT tzv_status tzv_##curve##_ecdh_mb8(int8u* shared[8], const int64u* const skey[8],            \
                                                 const int64u* const pubx[8], const int64u* const puby[8], \
                                                 const int64u* const pubz[8], int8u*)                      \
    {                                                                                                      \
        return sharedSecretLanes(id, shared, skey, pubx, puby, pubz);                                      \
    }                                                                                                      \
    TZV_EXPORT tzv_status tzv_##curve##_ecdsa_sign_setup_mb8(int64u* inv_eph_skey[8], int64u* sign_rp[8],  \
                                                             const int64u* const eph_skey[8], int8u*)      \
    {                                                                                                      \
        return signSetupLanes(id, inv_eph_skey, sign_rp, eph_skey);                                        \
    }                                                                                                      \
    TZV_EXPORT tzv_status tzv_##curve##_ecdsa_sign_complete_mb8(                                           \
        int8u* sign_r[8], int8u* sign_s[8], const int8u* const msg[8], const int64u* const sign_rp[8],     \
        const int64u* const inv_eph_skey[8], const int64u* const reg_skey[8], int8u*)                      \
    {                                                                                                      \
        return signCompleteLanes(id, sign_r, sign_s, msg, sign_rp, inv_eph_skey, reg_skey);                \
    }                                                                                                      \
    TZV_EXPORT tzv_status tzv_##curve##_ecdsa_sign_mb8(int8u* sign_r[8], int8u* sign_s[8],                 \
                                                       const int8u* const msg[8],                          \
                                                       const int64u* const eph_skey[8],                    \
                                                       const int64u* const reg_skey[8], int8u*)            \
    {                                                                                                      \
        return signLanes(id, sign_r, sign_s, msg, eph_skey, reg_skey);                                     \
    }                                                                                                      \
    TZV_EXPORT tzv_status tzv_##curve##_ecdsa_verify_mb8(                                                  \
        const int8u* const sign_r[8], const int8u* const sign_s[8], const int8u* const msg[8],             \
        const int64u* const pubx[8], const int64u* const puby[8], const int64u* const pubz[8], int8u*)     \
    {                                                                                                      \
        return verifyLanes(id, sign_r, sign_s, msg, pubx, puby, pubz);                                     \
    }

TZV_DEFINE_NIST_EC(nistp256, CurveId::P256)
TZV_DEFINE_NIST_EC(nistp384, CurveId::P384)
TZV_DEFINE_NIST_EC(nistp521, CurveId::P521)
