#include "ec_common.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <memory>
#include <new>

namespace tzv::ec {

namespace {

bool initModulus(Modulus& m, const BIGNUM* value, BN_CTX* ctx)
{
    m.value = BN_dup(value);
    m.minus2 = BN_dup(value);
    m.mont = BN_MONT_CTX_new();
    return m.value && m.minus2 && m.mont && BN_sub_word(m.minus2, 2) &&
           BN_MONT_CTX_set(m.mont, m.value, ctx);
}

void freeModulus(Modulus& m)
{
    BN_free(m.value);
    BN_free(m.minus2);
    BN_MONT_CTX_free(m.mont);
}

void freeCurve(Curve* c)
{
    if (!c) return;
    freeModulus(c->field);
    freeModulus(c->order);
    EC_GROUP_free(c->group);
    delete c;
}

// A generator table speeds up the G half of the verify products. OpenSSL 3.0 has built-in tables
// for P-256 (nistz256) and P-521 (nistp521); P-384 and SM2 run on the generic Montgomery method.
void precomputeGenerator(EC_GROUP* group, BN_CTX* ctx)
{
#ifndef OPENSSL_NO_DEPRECATED_3_0
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!EC_GROUP_precompute_mult(group, ctx)) ERR_clear_error(); // only slower without it
#pragma GCC diagnostic pop
#else
    (void)group;
    (void)ctx;
#endif
}

// Never freed: the groups serve every thread until the process ends, and freeing them from a static
// destructor could run after OpenSSL's own exit-time cleanup.
Curve* buildCurve(CurveId id, int nid, bool precompute)
{
    BN_CTX* ctx = BN_CTX_new();
    Curve* c = new (std::nothrow) Curve{};
    BIGNUM* p = BN_new();
    bool ok = ctx && c && p;
    if (ok) {
        c->id = id;
        c->group = EC_GROUP_new_by_curve_name(nid);
        ok = c->group && EC_GROUP_get_curve(c->group, p, nullptr, nullptr, ctx) &&
             initModulus(c->field, p, ctx) && initModulus(c->order, EC_GROUP_get0_order(c->group), ctx);
    }
    if (ok) {
        int bits = BN_num_bits(c->field.value);
        if (BN_num_bits(c->order.value) > bits) bits = BN_num_bits(c->order.value);
        c->words = (bits + 63) / 64;
        c->fieldBytes = BN_num_bytes(c->field.value);
        c->orderBytes = BN_num_bytes(c->order.value);
        if (precompute) precomputeGenerator(c->group, ctx);
    } else {
        freeCurve(c);
        c = nullptr;
        ERR_clear_error();
    }
    BN_free(p);
    BN_CTX_free(ctx);
    return c;
}

} // namespace

const Curve* curveOf(CurveId id)
{
    switch (id) {
    case CurveId::P256: {
        static const Curve* c = buildCurve(id, NID_X9_62_prime256v1, false);
        return c;
    }
    case CurveId::P384: {
        static const Curve* c = buildCurve(id, NID_secp384r1, true);
        return c;
    }
    case CurveId::P521: {
        static const Curve* c = buildCurve(id, NID_secp521r1, false);
        return c;
    }
    case CurveId::SM2: {
        static const Curve* c = buildCurve(id, NID_sm2, true);
        return c;
    }
    }
    return nullptr;
}

Workspace* Workspace::of(const Curve& curve)
{
    thread_local std::unique_ptr<Workspace> slots[kCurveCount];
    return bn::threadSlot(slots[static_cast<int>(curve.id)], curve);
}

Workspace::Workspace(const Curve& curve)
{
    bn::Workspace* shared = bn::Workspace::get();
    m_ctx = shared ? shared->ctx() : nullptr;
    m_scratch = EC_POINT_new(curve.group);
    m_valid = m_ctx && m_scratch;
    for (EC_POINT*& p : m_key) {
        p = EC_POINT_new(curve.group);
        m_valid = m_valid && p;
    }
}

Workspace::~Workspace()
{
    for (EC_POINT* p : m_key) EC_POINT_clear_free(p);
    EC_POINT_clear_free(m_scratch);
}

Call::Call(CurveId id, Status8& sts)
{
    m_curve = curveOf(id);
    if (m_curve) m_ws = Workspace::of(*m_curve);
    if (!m_ws) failRemainingLanes(sts);
}

bool mulMod(BIGNUM* r, const BIGNUM* a, const BIGNUM* b, const Modulus& m, BN_CTX* ctx)
{
    BnFrame f(ctx);
    BIGNUM* am = f.get();
    // (a·R) ⊗ b = a·b: one operand in Montgomery form gives the plain product.
    return am && BN_to_montgomery(am, a, m.mont, ctx) && BN_mod_mul_montgomery(r, am, b, m.mont, ctx);
}

bool invertLanes(BIGNUM* v[kLanes], unsigned lanes, const Modulus& m, Secrecy secrecy, BN_CTX* ctx)
{
    int lane[kLanes];
    int count = 0;
    for (int i = 0; i < kLanes; ++i)
        if (lanes & (1u << i)) lane[count++] = i;
    if (count == 0) return true;

    BnFrame f(ctx);
    BIGNUM* prefix[kLanes]; // prefix[j] = v[lane[0]] ··· v[lane[j]], Montgomery form
    if (!f.secretLanes(prefix)) return false;
    BIGNUM* inv = f.secret();
    BIGNUM* t = f.secret();
    if (!inv || !t) return false;
    if (secrecy == Secrecy::Secret) {
        BN_set_flags(inv, BN_FLG_CONSTTIME);
        BN_set_flags(t, BN_FLG_CONSTTIME);
    }

    for (int j = 0; j < count; ++j) {
        BIGNUM* vj = v[lane[j]];
        if (!BN_to_montgomery(vj, vj, m.mont, ctx)) return false;
        if (!(j == 0 ? BN_copy(prefix[0], vj) != nullptr
                     : BN_mod_mul_montgomery(prefix[j], prefix[j - 1], vj, m.mont, ctx) != 0))
            return false;
    }
    if (!BN_from_montgomery(t, prefix[count - 1], m.mont, ctx) || BN_is_zero(t)) return false;
    bool inverted = secrecy == Secrecy::Secret
                        ? BN_mod_exp_mont_consttime(inv, t, m.minus2, m.value, ctx, m.mont) != 0
                        : BN_mod_inverse(inv, t, m.value, ctx) != nullptr;
    if (!inverted || !BN_to_montgomery(inv, inv, m.mont, ctx)) return false;
    // inv = (v[lane[0]] ··· v[lane[j]])⁻¹ on entry of step j, Montgomery form throughout.
    for (int j = count - 1; j > 0; --j) {
        BIGNUM* vj = v[lane[j]];
        if (!BN_mod_mul_montgomery(t, inv, prefix[j - 1], m.mont, ctx) ||
            !BN_mod_mul_montgomery(inv, inv, vj, m.mont, ctx) || !BN_from_montgomery(vj, t, m.mont, ctx))
            return false;
    }
    return BN_from_montgomery(v[lane[0]], inv, m.mont, ctx) != 0;
}

void loadScalars(BIGNUM* out[kLanes], Status8& sts, const int64u* const words[kLanes], int count,
                 const BIGNUM* upper)
{
    // The scalars are secrets: their range is checked on the words, before OpenSSL sees them.
    int64u bound[kMaxWords];
    if (!bnToWords(bound, count, upper)) {
        failRemainingLanes(sts);
        return;
    }
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        BN_set_flags(out[i], BN_FLG_CONSTTIME);
        if (!wordsInRange(words[i], bound, count) || !wordsToBn(out[i], words[i], count))
            sts.set(i, TZV_STS_BAD_PARAM);
    }
}

void loadPublicKeys(const Call& call, Status8& sts, const int64u* const pubx[kLanes],
                    const int64u* const puby[kLanes], const int64u* const pubz[kLanes],
                    BIGNUM* x[kLanes], BIGNUM* y[kLanes])
{
    const Curve& c = call.curve();
    BN_CTX* ctx = call.ctx();
    const BIGNUM* p = c.field.value;
    BnFrame f(ctx);
    BIGNUM* z[kLanes];
    BIGNUM* t = nullptr;
    if (!f.lanes(z) || !(t = f.get())) {
        failRemainingLanes(sts);
        return;
    }

    unsigned jacobian = 0; // lanes whose Z is not 1
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        bool ok = wordsToBn(x[i], pubx[i], c.words) && wordsToBn(y[i], puby[i], c.words) &&
                  BN_cmp(x[i], p) < 0 && BN_cmp(y[i], p) < 0;
        if (ok && pubz) {
            ok = wordsToBn(z[i], pubz[i], c.words) && inRange(z[i], p);
            if (ok && !BN_is_one(z[i])) jacobian |= 1u << i;
        }
        if (!ok) sts.set(i, TZV_STS_BAD_PARAM);
    }

    if (jacobian) {
        if (!invertLanes(z, jacobian, c.field, Secrecy::Public, ctx)) {
            failRemainingLanes(sts);
            jacobian = 0;
        }
        for (int i = 0; i < kLanes; ++i) {
            if (!(jacobian & (1u << i))) continue;
            // t = Z⁻², x = X·Z⁻², then t = Z⁻³, y = Y·Z⁻³.
            if (!mulMod(t, z[i], z[i], c.field, ctx) || !mulMod(x[i], x[i], t, c.field, ctx) ||
                !mulMod(t, t, z[i], c.field, ctx) || !mulMod(y[i], y[i], t, c.field, ctx))
                sts.set(i, TZV_STS_BAD_PARAM);
        }
    }

    // Setting the coordinates checks that the point is on the curve; a refused point leaves an
    // error in OpenSSL's queue, which is not the caller's concern.
    ERR_set_mark();
    for (int i = 0; i < kLanes; ++i)
        if (sts.ok(i) && !EC_POINT_set_affine_coordinates(c.group, call.ws().key(i), x[i], y[i], ctx))
            sts.set(i, TZV_STS_BAD_PARAM);
    ERR_pop_to_mark();
}

} // namespace tzv::ec
