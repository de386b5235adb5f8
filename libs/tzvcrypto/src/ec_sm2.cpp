// SM2 digital signature (GB/T 32918.2), 8 lanes per call, with the caller's ephemeral key k; the
// signer's Z and the message's e are hashed here with OpenSSL's SM3. Public-key generation and ECDH
// are the same as on the NIST curves (ec_keys).
#include "ec_common.h"
#include "ec_keys.h"
#include "ec/ec_engine.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <memory>
#include <new>

namespace {

using namespace tzv;
using namespace tzv::ec;

constexpr int kSm2Bytes = 32;
constexpr int kMaxIdBytes = 8191; // ENTL, the identifier's length in bits, is two bytes

// What Z hashes besides the identifier and the public key: a ‖ b ‖ xG ‖ yG, and n − 1, the bound of
// a signing key (1 + d must be invertible). Built once, shared read-only.
struct Sm2Constants {
    EVP_MD* sm3 = nullptr;
    int8u curveBlock[4 * kSm2Bytes];
    BIGNUM* nMinus1 = nullptr;
};

// Never freed, like the curves (ec_common.cpp).
const Sm2Constants* sm2Constants(const Curve& c)
{
    static const Sm2Constants* constants = [&c]() -> const Sm2Constants* {
        auto* k = new (std::nothrow) Sm2Constants;
        if (!k) return nullptr;
        BN_CTX* ctx = BN_CTX_new();
        BIGNUM* a = BN_new();
        BIGNUM* b = BN_new();
        BIGNUM* gx = BN_new();
        BIGNUM* gy = BN_new();
        k->sm3 = EVP_MD_fetch(nullptr, "SM3", nullptr);
        k->nMinus1 = BN_dup(c.order.value);
        bool ok = ctx && a && b && gx && gy && k->sm3 && k->nMinus1 && BN_sub_word(k->nMinus1, 1) &&
                  EC_GROUP_get_curve(c.group, nullptr, a, b, ctx) &&
                  EC_POINT_get_affine_coordinates(c.group, EC_GROUP_get0_generator(c.group), gx, gy, ctx) &&
                  bnToBytes(k->curveBlock, kSm2Bytes, a) && bnToBytes(k->curveBlock + kSm2Bytes, kSm2Bytes, b) &&
                  bnToBytes(k->curveBlock + 2 * kSm2Bytes, kSm2Bytes, gx) &&
                  bnToBytes(k->curveBlock + 3 * kSm2Bytes, kSm2Bytes, gy);
        BN_free(a);
        BN_free(b);
        BN_free(gx);
        BN_free(gy);
        BN_CTX_free(ctx);
        if (!ok) {
            EVP_MD_free(k->sm3);
            BN_free(k->nMinus1);
            delete k;
            ERR_clear_error();
            return nullptr;
        }
        return k;
    }();
    return constants;
}

struct MdCtxFree {
    void operator()(EVP_MD_CTX* md) const { EVP_MD_CTX_free(md); }
};

// This thread's digest context, created on first use; null when it cannot be allocated.
EVP_MD_CTX* threadMdCtx()
{
    thread_local std::unique_ptr<EVP_MD_CTX, MdCtxFree> md(EVP_MD_CTX_new());
    return md.get();
}

// Everything an SM2 signature call needs besides the curve: null when unavailable.
struct Sm2Call {
    const Sm2Constants* k = nullptr;
    EVP_MD_CTX* md = nullptr;
    explicit operator bool() const { return k && md; }
};

Sm2Call sm2Call(const Call& call, Status8& sts)
{
    Sm2Call s{sm2Constants(call.curve()), threadMdCtx()};
    if (!s) failRemainingLanes(sts);
    return s;
}

// Lengths: a null length array fails every lane (as a null pointer would), a length out of range
// fails its lane.
void checkLengths(Status8& sts, const int user_id_len[kLanes], const int msg_len[kLanes])
{
    for (int i = 0; i < kLanes; ++i) {
        if (!user_id_len || !msg_len)
            sts.set(i, TZV_STS_NULL_PARAM);
        else if (sts.ok(i) && (user_id_len[i] < 0 || user_id_len[i] > kMaxIdBytes || msg_len[i] < 0))
            sts.set(i, TZV_STS_BAD_PARAM);
    }
}

// e = SM3(Z ‖ M) with Z = SM3(ENTL ‖ ID ‖ a ‖ b ‖ xG ‖ yG ‖ xA ‖ yA); `key` holds xA ‖ yA.
bool digestOf(int8u digest[kSm2Bytes], const Sm2Call& s, const int8u* id, int idLen, const int8u key[2 * kSm2Bytes],
              const int8u* msg, int msgLen)
{
    const unsigned entl = 8u * (unsigned)idLen;
    const int8u entlBytes[2] = {(int8u)(entl >> 8), (int8u)entl};
    int8u z[kSm2Bytes];
    return EVP_DigestInit_ex2(s.md, s.k->sm3, nullptr) && EVP_DigestUpdate(s.md, entlBytes, 2) &&
           EVP_DigestUpdate(s.md, id, (size_t)idLen) &&
           EVP_DigestUpdate(s.md, s.k->curveBlock, sizeof s.k->curveBlock) &&
           EVP_DigestUpdate(s.md, key, 2 * kSm2Bytes) && EVP_DigestFinal_ex(s.md, z, nullptr) &&
           EVP_DigestInit_ex2(s.md, s.k->sm3, nullptr) && EVP_DigestUpdate(s.md, z, sizeof z) &&
           EVP_DigestUpdate(s.md, msg, (size_t)msgLen) && EVP_DigestFinal_ex(s.md, digest, nullptr);
}

bool messageDigest(BIGNUM* e, const Sm2Call& s, const int8u* id, int idLen, const BIGNUM* xa, const BIGNUM* ya,
                   const int8u* msg, int msgLen)
{
    int8u key[2 * kSm2Bytes];
    int8u digest[kSm2Bytes];
    return bnToBytes(key, kSm2Bytes, xa) && bnToBytes(key + kSm2Bytes, kSm2Bytes, ya) &&
           digestOf(digest, s, id, idLen, key, msg, msgLen) && bytesToBn(e, digest, kSm2Bytes);
}

// Lanes whose status is not OK.
unsigned failedLanes(tzv_status sts)
{
    unsigned lanes = 0;
    for (int i = 0; i < kLanes; ++i)
        if ((sts >> (4 * i)) & 0xFu) lanes |= 1u << i;
    return lanes;
}

// The IFMA path's digests: the public keys made affine (1 where one is bad), then e per lane
// whose key is good. `hashed` gets the lanes that have their e.
tzv_status ifmaDigests(const EcEngine& engine, const CurveConsts& c, unsigned active,
                       int8u e[kLanes][kSm2DigestBytes], unsigned& hashed, const int8u* const user_id[kLanes],
                       const int user_id_len[kLanes], const int8u* const msg[kLanes], const int msg_len[kLanes],
                       const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                       const int64u* const pubz[kLanes])
{
    const Curve* curve = curveOf(CurveId::SM2);
    Sm2Call s{curve ? sm2Constants(*curve) : nullptr, threadMdCtx()};
    int8u x[kLanes][66];
    int8u y[kLanes][66];
    tzv_status sts = engine.affineKeys(c, x, y, pubx, puby, pubz, active);
    hashed = active & ~failedLanes(sts);
    for (int i = 0; i < kLanes; ++i) {
        if (!(hashed & (1u << i))) continue;
        int8u key[2 * kSm2Bytes];
        for (int b = 0; b < kSm2Bytes; ++b) {
            key[b] = x[i][b];
            key[kSm2Bytes + b] = y[i][b];
        }
        if (!s || !digestOf(e[i], s, user_id[i], user_id_len[i], key, msg[i], msg_len[i])) {
            sts |= (tzv_status)TZV_STS_BAD_PARAM << (4 * i);
            hashed &= ~(1u << i);
        }
    }
    return sts;
}

tzv_status signLanes(int8u* sign_r[kLanes], int8u* sign_s[kLanes], const int8u* const user_id[kLanes],
                     const int user_id_len[kLanes], const int8u* const msg[kLanes], const int msg_len[kLanes],
                     const int64u* const eph_skey[kLanes], const int64u* const reg_skey[kLanes],
                     const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                     const int64u* const pubz[kLanes])
{
    Status8 sts;
    markNullLanes(sts, sign_r, sign_s, user_id, msg, eph_skey, reg_skey, pubx, puby);
    if (pubz) markNullLanes(sts, pubz);
    checkLengths(sts, user_id_len, msg_len);
    if (onIfmaPath(CurveId::SM2, sts, kStackBaseProduct,
                   [&](const EcEngine& engine, const CurveConsts& c, unsigned active) {
            int8u e[kLanes][kSm2DigestBytes];
            unsigned hashed = 0;
            tzv_status result = ifmaDigests(engine, c, active, e, hashed, user_id, user_id_len, msg, msg_len,
                                            pubx, puby, pubz);
            return result | engine.sm2Sign(c, sign_r, sign_s, e, eph_skey, reg_skey, hashed);
        }))
        return sts.word();
    Call call(CurveId::SM2, sts);
    if (!call) return sts.word();
    Sm2Call sm2 = sm2Call(call, sts);
    if (!sm2) return sts.word();
    const Curve& c = call.curve();
    const Modulus& n = c.order;
    BN_CTX* ctx = call.ctx();

    BnFrame f(ctx);
    BIGNUM* k[kLanes];
    BIGNUM* d[kLanes];
    BIGNUM* r[kLanes];
    BIGNUM* inv[kLanes]; // 1 + d, then its inverse
    BIGNUM* qx[kLanes];
    BIGNUM* qy[kLanes];
    BIGNUM* e = nullptr;
    BIGNUM* x = nullptr;
    BIGNUM* t = nullptr;
    if (!f.secretLanes(k) || !f.secretLanes(d) || !f.lanes(r) || !f.secretLanes(inv) || !f.lanes(qx) ||
        !f.lanes(qy) || !(e = f.get()) || !(x = f.secret()) || !(t = f.secret())) {
        failRemainingLanes(sts);
        return sts.word();
    }
    loadScalars(k, sts, eph_skey, c.words, n.value);
    loadScalars(d, sts, reg_skey, c.words, sm2.k->nMinus1);
    loadPublicKeys(call, sts, pubx, puby, pubz, qx, qy);

    EC_POINT* kg = call.ws().scratch();
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        // r = (e + x(k·G)) mod n; r = 0 or r + k = n would need another k.
        if (!messageDigest(e, sm2, user_id[i], user_id_len[i], qx[i], qy[i], msg[i], msg_len[i]) ||
            !EC_POINT_mul(c.group, kg, k[i], nullptr, nullptr, ctx) ||
            !EC_POINT_get_affine_coordinates(c.group, kg, x, nullptr, ctx) || !BN_add(r[i], e, x) ||
            !BN_nnmod(r[i], r[i], n.value, ctx) || !BN_add(t, r[i], k[i]) || !BN_copy(inv[i], d[i]) ||
            !BN_add_word(inv[i], 1)) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        if (BN_is_zero(r[i]) || BN_cmp(t, n.value) == 0) sts.set(i, TZV_STS_SIGNATURE);
    }
    if (!invertLanes(inv, okLanes(sts), n, Secrecy::Secret, ctx)) failRemainingLanes(sts);

    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        // s = (1 + d)⁻¹·(k − r·d) mod n.
        if (!mulMod(t, r[i], d[i], n, ctx) || !BN_mod_sub_quick(t, k[i], t, n.value) ||
            !mulMod(t, inv[i], t, n, ctx)) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        if (BN_is_zero(t)) {
            sts.set(i, TZV_STS_SIGNATURE);
            continue;
        }
        if (!bnToBytes(sign_r[i], c.orderBytes, r[i]) || !bnToBytes(sign_s[i], c.orderBytes, t))
            sts.set(i, TZV_STS_BAD_PARAM);
    }
    return sts.word();
}

tzv_status verifyLanes(const int8u* const sign_r[kLanes], const int8u* const sign_s[kLanes],
                       const int8u* const user_id[kLanes], const int user_id_len[kLanes],
                       const int8u* const msg[kLanes], const int msg_len[kLanes], const int64u* const pubx[kLanes],
                       const int64u* const puby[kLanes], const int64u* const pubz[kLanes])
{
    Status8 sts;
    markNullLanes(sts, sign_r, sign_s, user_id, msg, pubx, puby);
    if (pubz) markNullLanes(sts, pubz);
    checkLengths(sts, user_id_len, msg_len);
    if (onIfmaPath(CurveId::SM2, sts, kStackPublic, [&](const EcEngine& engine, const CurveConsts& c, unsigned active) {
            int8u e[kLanes][kSm2DigestBytes];
            unsigned hashed = 0;
            tzv_status result = ifmaDigests(engine, c, active, e, hashed, user_id, user_id_len, msg, msg_len,
                                            pubx, puby, pubz);
            return result | engine.sm2Verify(c, sign_r, sign_s, e, pubx, puby, pubz, hashed);
        }))
        return sts.word();
    Call call(CurveId::SM2, sts);
    if (!call) return sts.word();
    Sm2Call sm2 = sm2Call(call, sts);
    if (!sm2) return sts.word();
    const Curve& c = call.curve();
    const Modulus& n = c.order;
    BN_CTX* ctx = call.ctx();

    BnFrame f(ctx);
    BIGNUM* qx[kLanes];
    BIGNUM* qy[kLanes];
    BIGNUM* r = nullptr;
    BIGNUM* s = nullptr;
    BIGNUM* t = nullptr;
    BIGNUM* e = nullptr;
    BIGNUM* x = nullptr;
    if (!f.lanes(qx) || !f.lanes(qy) || !(r = f.get()) || !(s = f.get()) || !(t = f.get()) || !(e = f.get()) ||
        !(x = f.get())) {
        failRemainingLanes(sts);
        return sts.word();
    }
    loadPublicKeys(call, sts, pubx, puby, pubz, qx, qy);

    EC_POINT* p = call.ws().scratch();
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        if (!bytesToBn(r, sign_r[i], c.orderBytes) || !bytesToBn(s, sign_s[i], c.orderBytes)) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        // t = (r + s) mod n must not be 0; the signature holds when (e + x(s·G + t·Q)) mod n = r.
        if (!inRange(r, n.value) || !inRange(s, n.value) || !BN_mod_add_quick(t, r, s, n.value) || BN_is_zero(t)) {
            sts.set(i, TZV_STS_SIGNATURE);
            continue;
        }
        if (!messageDigest(e, sm2, user_id[i], user_id_len[i], qx[i], qy[i], msg[i], msg_len[i]) ||
            !EC_POINT_mul(c.group, p, s, call.ws().key(i), t, ctx)) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        if (EC_POINT_is_at_infinity(c.group, p) || !EC_POINT_get_affine_coordinates(c.group, p, x, nullptr, ctx) ||
            !BN_add(x, x, e) || !BN_nnmod(x, x, n.value, ctx) || BN_cmp(x, r) != 0)
            sts.set(i, TZV_STS_SIGNATURE);
    }
    return sts.word();
}

} // namespace

TZV_EXPORT tzv_status tzv_sm2_ecpublic_key_mb8(int64u* pubx[8], int64u* puby[8], int64u* pubz[8],
                                               const int64u* const skey[8], int8u*)
{
    return publicKeyLanes(CurveId::SM2, pubx, puby, pubz, skey);
}

TZV_EXPORT tzv_status tzv_sm2_ecdh_mb8(int8u* shared[8], const int64u* const skey[8], const int64u* const pubx[8],
                                       const int64u* const puby[8], const int64u* const pubz[8], int8u*)
{
    return sharedSecretLanes(CurveId::SM2, shared, skey, pubx, puby, pubz);
}

TZV_EXPORT tzv_status tzv_sm2_ecdsa_sign_mb8(int8u* sign_r[8], int8u* sign_s[8], const int8u* const user_id[8],
                                             const int user_id_len[8], const int8u* const msg[8],
                                             const int msg_len[8], const int64u* const eph_skey[8],
                                             const int64u* const reg_skey[8], const int64u* const pubx[8],
                                             const int64u* const puby[8], const int64u* const pubz[8], int8u*)
{
    return signLanes(sign_r, sign_s, user_id, user_id_len, msg, msg_len, eph_skey, reg_skey, pubx, puby, pubz);
}

TZV_EXPORT tzv_status tzv_sm2_ecdsa_verify_mb8(const int8u* const sign_r[8], const int8u* const sign_s[8],
                                               const int8u* const user_id[8], const int user_id_len[8],
                                               const int8u* const msg[8], const int msg_len[8],
                                               const int64u* const pubx[8], const int64u* const puby[8],
                                               const int64u* const pubz[8], int8u*)
{
    return verifyLanes(sign_r, sign_s, user_id, user_id_len, msg, msg_len, pubx, puby, pubz);
}
