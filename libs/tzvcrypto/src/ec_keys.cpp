#include "ec_keys.h"

#include "ec/ec_engine.h"

namespace tzv::ec {

tzv_status publicKeyLanes(CurveId id, int64u* pubx[kLanes], int64u* puby[kLanes], int64u* pubz[kLanes],
                          const int64u* const skey[kLanes])
{
    Status8 sts;
    markNullLanes(sts, pubx, puby, skey);
    if (pubz) markNullLanes(sts, pubz);
    if (onIfmaPath(id, sts, kStackBaseProduct, [&](const EcEngine& e, const CurveConsts& c, unsigned active) {
            return e.publicKey(c, pubx, puby, pubz, skey, active);
        }))
        return sts.word();
    Call call(id, sts);
    if (!call) return sts.word();
    const Curve& c = call.curve();
    BN_CTX* ctx = call.ctx();

    BnFrame f(ctx);
    BIGNUM* d[kLanes];
    BIGNUM* x = nullptr;
    BIGNUM* y = nullptr;
    if (!f.secretLanes(d) || !(x = f.get()) || !(y = f.get())) {
        failRemainingLanes(sts);
        return sts.word();
    }
    loadScalars(d, sts, skey, c.words, c.order.value);

    EC_POINT* q = call.ws().scratch();
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        if (!EC_POINT_mul(c.group, q, d[i], nullptr, nullptr, ctx) ||
            !EC_POINT_get_affine_coordinates(c.group, q, x, y, ctx) || !bnToWords(pubx[i], c.words, x) ||
            !bnToWords(puby[i], c.words, y)) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        if (pubz) {
            pubz[i][0] = 1;
            for (int w = 1; w < c.words; ++w) pubz[i][w] = 0;
        }
    }
    return sts.word();
}

tzv_status sharedSecretLanes(CurveId id, int8u* shared[kLanes], const int64u* const skey[kLanes],
                             const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                             const int64u* const pubz[kLanes])
{
    Status8 sts;
    markNullLanes(sts, shared, skey, pubx, puby);
    if (pubz) markNullLanes(sts, pubz);
    if (onIfmaPath(id, sts, kStackPointProduct, [&](const EcEngine& e, const CurveConsts& c, unsigned active) {
            return e.sharedSecret(c, shared, skey, pubx, puby, pubz, active);
        }))
        return sts.word();
    Call call(id, sts);
    if (!call) return sts.word();
    const Curve& c = call.curve();
    BN_CTX* ctx = call.ctx();

    BnFrame f(ctx);
    BIGNUM* d[kLanes];
    BIGNUM* qx[kLanes];
    BIGNUM* qy[kLanes];
    BIGNUM* sx = nullptr;
    if (!f.secretLanes(d) || !f.lanes(qx) || !f.lanes(qy) || !(sx = f.secret())) {
        failRemainingLanes(sts);
        return sts.word();
    }
    loadScalars(d, sts, skey, c.words, c.order.value);
    loadPublicKeys(call, sts, pubx, puby, pubz, qx, qy);

    EC_POINT* s = call.ws().scratch();
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        // On these prime-order curves d·Q is never the point at infinity for a valid d and Q; the
        // test only guards the coordinate read.
        if (!EC_POINT_mul(c.group, s, nullptr, call.ws().key(i), d[i], ctx) ||
            EC_POINT_is_at_infinity(c.group, s) ||
            !EC_POINT_get_affine_coordinates(c.group, s, sx, nullptr, ctx) ||
            !bnToBytes(shared[i], c.fieldBytes, sx))
            sts.set(i, TZV_STS_BAD_PARAM);
    }
    return sts.word();
}

} // namespace tzv::ec
