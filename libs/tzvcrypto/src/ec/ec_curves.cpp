#include "ec_curves.h"

#include <openssl/err.h>

#include <new>

namespace tzv::ec {

namespace {

// 64 entries a window: 4 lookups and 3 selections a limb pick an entry; fewer, larger windows
// mean fewer point additions.
constexpr int kCombWindow = 7;

bool bnToLimbs(uint64_t* limbs, int count, const BIGNUM* v)
{
    int8u bytes[8 * kMaxLimbs];
    if (BN_bn2lebinpad(v, bytes, sizeof bytes) < 0) return false;
    uint64_t words[kMaxLimbs] = {};
    for (int i = 0; i < 8 * kMaxLimbs; ++i) words[i / 8] |= (uint64_t)bytes[i] << (8 * (i % 8));
    for (int i = 0; i < count; ++i) {
        int bit = 52 * i, w = bit / 64, s = bit % 64;
        uint64_t x = words[w] >> s;
        if (s > 12 && w + 1 < kMaxLimbs) x |= words[w + 1] << (64 - s);
        limbs[i] = x & ((1ull << 52) - 1);
    }
    return true;
}

// 2^521 − 1: all its bits set.
bool isMersenne521(const BIGNUM* m)
{
    if (BN_num_bits(m) != 521) return false;
    for (int i = 0; i < 521; ++i)
        if (!BN_is_bit_set(m, i)) return false;
    return true;
}

// v·R mod m as limbs.
bool toMontgomery(uint64_t* limbs, int count, const BIGNUM* v, const BIGNUM* m, BN_CTX* ctx)
{
    BIGNUM* t = BN_new();
    int shift = isMersenne521(m) ? 0 : 52 * count;
    bool ok = t && BN_lshift(t, v, shift) && BN_nnmod(t, t, m, ctx) && bnToLimbs(limbs, count, t);
    BN_free(t);
    return ok;
}

bool initMod(ModConsts& c, int count, const BIGNUM* m, BN_CTX* ctx)
{
    BIGNUM* t = BN_new();
    BIGNUM* one = BN_new();
    const int shift = isMersenne521(m) ? 0 : 52 * count;
    bool ok = t && one && BN_one(one) && bnToLimbs(c.m, count, m) && BN_copy(t, m) && BN_sub_word(t, 1) &&
              bnToLimbs(c.minus1, count, t) && toMontgomery(c.one, count, one, m, ctx) &&
              BN_lshift(t, one, shift) && toMontgomery(c.r2, count, t, m, ctx) && BN_lshift(t, one, 2 * shift) &&
              toMontgomery(c.r3, count, t, m, ctx);
    c.bits = BN_num_bits(m);
    c.mersenne = isMersenne521(m);
    // Newton's iteration doubles the correct low bits of m⁻¹ mod 2^64 at each step (m is odd).
    uint64_t inv = c.m[0];
    for (int i = 0; i < 6; ++i) inv *= 2 - c.m[0] * inv;
    c.k0 = (0 - inv) & ((1ull << 52) - 1);
    // The division steps' bound for f = m and g below m, taken for one bit more.
    const int d = c.bits + 1;
    const int steps = (49 * d + 57) / 17;
    c.divstepBatches = (steps + kDivstepBatch - 1) / kDivstepBatch;
    BN_free(t);
    BN_free(one);
    return ok;
}

// The points of a window made affine with one shared inversion (EC_POINTs_make_affine is
// deprecated in OpenSSL 3.0 but still the only batch form; a failure only costs time).
void makeAffine(const EC_GROUP* g, EC_POINT** points, int count, BN_CTX* ctx)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!EC_POINTs_make_affine(g, (size_t)count, points, ctx)) ERR_clear_error();
#pragma GCC diagnostic pop
}

// (j+1)·2^(w·i)·G for every window i and entry j, by repeated addition in OpenSSL.
bool buildComb(CurveConsts& c, const Curve& curve, BN_CTX* ctx)
{
    const EC_GROUP* g = curve.group;
    c.combWindow = kCombWindow;
    c.combWindows = (c.n.bits + 1 + kCombWindow - 1) / kCombWindow;
    c.combEntries = 1 << (kCombWindow - 1);
    c.comb.assign((size_t)c.combWindows * c.combEntries * 2 * c.limbs, 0);
    EC_POINT* base = EC_POINT_dup(EC_GROUP_get0_generator(g), g);
    EC_POINT* points[1 << (kCombWindow - 1)] = {};
    BIGNUM* x = BN_new();
    BIGNUM* y = BN_new();
    bool ok = base && x && y;
    for (EC_POINT*& p : points) ok = ok && (p = EC_POINT_new(g)) != nullptr;
    for (int i = 0; ok && i < c.combWindows; ++i) {
        ok = EC_POINT_copy(points[0], base);
        for (int j = 1; ok && j < c.combEntries; ++j) ok = EC_POINT_add(g, points[j], points[j - 1], base, ctx);
        if (ok) makeAffine(g, points, c.combEntries, ctx);
        for (int j = 0; ok && j < c.combEntries; ++j) {
            uint64_t limbs[2][kMaxLimbs];
            ok = EC_POINT_get_affine_coordinates(g, points[j], x, y, ctx) &&
                 toMontgomery(limbs[0], c.limbs, x, curve.field.value, ctx) &&
                 toMontgomery(limbs[1], c.limbs, y, curve.field.value, ctx);
            for (int k = 0; ok && k < 2; ++k)
                for (int l = 0; l < c.limbs; ++l)
                    c.comb[(((size_t)i * 2 + k) * c.limbs + l) * c.combEntries + j] = limbs[k][l];
        }
        for (int k = 0; ok && k < kCombWindow; ++k) ok = EC_POINT_dbl(g, base, base, ctx);
    }
    EC_POINT_free(base);
    for (EC_POINT* p : points) EC_POINT_free(p);
    BN_free(x);
    BN_free(y);
    return ok;
}

// Bits per window of G in verification: 10 (512 entries, 40 to 90 KB), and 15 for P-384 (16,384
// entries, 2 MB, which OpenSSL builds in about 70 ms at first use), whose verification so takes 26
// additions of G instead of 39 (2 to 4% faster, measured over fresh copies of the library).
int multiplesWindowOf(CurveId id)
{
    return id == CurveId::P384 ? kMultiplesWindowP384 : kMultiplesWindow;
}

// j·G for j = 1 … 2^(w − 1), by repeated addition in OpenSSL, made affine together.
bool buildMultiples(CurveConsts& c, const Curve& curve, BN_CTX* ctx)
{
    const EC_GROUP* g = curve.group;
    const int count = 1 << (c.multiplesWindow - 1);
    c.multiples.assign((size_t)count * 2 * c.limbs, 0);
    std::vector<EC_POINT*> points(count, nullptr);
    BIGNUM* x = BN_new();
    BIGNUM* y = BN_new();
    bool ok = x && y;
    for (EC_POINT*& p : points) ok = ok && (p = EC_POINT_new(g)) != nullptr;
    ok = ok && EC_POINT_copy(points[0], EC_GROUP_get0_generator(g));
    for (int j = 1; ok && j < count; ++j)
        ok = EC_POINT_add(g, points[j], points[j - 1], EC_GROUP_get0_generator(g), ctx);
    if (ok) makeAffine(g, points.data(), count, ctx);
    for (int j = 0; ok && j < count; ++j) {
        uint64_t* entry = &c.multiples[(size_t)j * 2 * c.limbs];
        ok = EC_POINT_get_affine_coordinates(g, points[j], x, y, ctx) &&
             toMontgomery(entry, c.limbs, x, curve.field.value, ctx) &&
             toMontgomery(entry + c.limbs, c.limbs, y, curve.field.value, ctx);
    }
    for (EC_POINT* p : points) EC_POINT_free(p);
    BN_free(x);
    BN_free(y);
    return ok;
}

// c when everything went well; otherwise null, c deleted and OpenSSL's errors cleared.
template <class T>
const T* keptIf(bool ok, T* c)
{
    if (ok) return c;
    delete c;
    ERR_clear_error();
    return nullptr;
}

// Never freed, like the curves themselves.
const CurveConsts* build(CurveId id)
{
    const Curve* curve = curveOf(id);
    if (!curve) return nullptr;
    auto* c = new (std::nothrow) CurveConsts{};
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM* b = BN_new();
    BIGNUM* gx = BN_new();
    BIGNUM* gy = BN_new();
    bool ok = c && ctx && b && gx && gy;
    if (ok) {
        c->limbs = (BN_num_bits(curve->field.value) + 51) / 52;
        c->words = curve->words;
        c->fieldBytes = curve->fieldBytes;
        c->orderBytes = curve->orderBytes;
        c->multiplesWindow = multiplesWindowOf(id);
        ok = initMod(c->p, c->limbs, curve->field.value, ctx) && initMod(c->n, c->limbs, curve->order.value, ctx) &&
             EC_GROUP_get_curve(curve->group, nullptr, nullptr, b, ctx) &&
             EC_POINT_get_affine_coordinates(curve->group, EC_GROUP_get0_generator(curve->group), gx, gy, ctx) &&
             toMontgomery(c->b, c->limbs, b, curve->field.value, ctx) &&
             toMontgomery(c->gx, c->limbs, gx, curve->field.value, ctx) &&
             toMontgomery(c->gy, c->limbs, gy, curve->field.value, ctx) && buildComb(*c, *curve, ctx) &&
             buildMultiples(*c, *curve, ctx);
    }
    BN_free(b);
    BN_free(gx);
    BN_free(gy);
    BN_CTX_free(ctx);
    return keptIf(ok, c);
}

const Curve25519Consts* buildCurve25519()
{
    auto* c = new (std::nothrow) Curve25519Consts{};
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM* p = BN_new();
    BIGNUM* a24 = BN_new();
    BIGNUM* d2 = BN_new();
    BIGNUM* t = BN_new();
    BIGNUM* l = BN_new();
    BIGNUM* bx = nullptr;
    BIGNUM* by = nullptr;
    constexpr int kLimbs = 5;
    // B = (x, 4/5) with x even (RFC 8032, section 5.1); L = 2^252 + 27742317777372353535851937790883648493.
    bool ok = c && ctx && p && a24 && d2 && t && l && BN_set_bit(p, 255) && BN_sub_word(p, 19) &&
              BN_set_word(a24, 121665) && initMod(c->p, kLimbs, p, ctx) && toMontgomery(c->a24, kLimbs, a24, p, ctx) &&
              // 2d = 2·(−121665/121666)
              BN_set_word(t, 121666) && BN_mod_inverse(t, t, p, ctx) && BN_mod_mul(d2, t, a24, p, ctx) &&
              BN_mod_sub(d2, p, d2, p, ctx) && toMontgomery(c->d, kLimbs, d2, p, ctx) &&
              BN_mod_lshift1(d2, d2, p, ctx) && toMontgomery(c->d2, kLimbs, d2, p, ctx) &&
              // √−1 = 2^((p − 1)/4)
              BN_copy(t, p) && BN_sub_word(t, 1) && BN_rshift(t, t, 2) && BN_set_word(a24, 2) &&
              BN_mod_exp(a24, a24, t, p, ctx) && toMontgomery(c->sqrtm1, kLimbs, a24, p, ctx) &&
              BN_dec2bn(&bx, "15112221349535400772501151409588531511454012693041857206046113283949847762202") &&
              BN_dec2bn(&by, "46316835694926478169428394003475163141307993866256225615783033603165251855960") &&
              toMontgomery(c->bx, kLimbs, bx, p, ctx) && toMontgomery(c->by, kLimbs, by, p, ctx) &&
              BN_dec2bn(&t, "27742317777372353535851937790883648493") && BN_set_bit(l, 252) && BN_add(l, l, t) &&
              initMod(c->l, kLimbs, l, ctx);
    for (BIGNUM* v : {p, a24, d2, t, l, bx, by}) BN_free(v);
    BN_CTX_free(ctx);
    return keptIf(ok, c);
}

} // namespace

const Curve25519Consts* curve25519Consts()
{
    static const Curve25519Consts* c = buildCurve25519();
    return c;
}

const CurveConsts* curveConsts(CurveId id)
{
    switch (id) {
    case CurveId::P256: {
        static const CurveConsts* c = build(id);
        return c;
    }
    case CurveId::P384: {
        static const CurveConsts* c = build(id);
        return c;
    }
    case CurveId::P521: {
        static const CurveConsts* c = build(id);
        return c;
    }
    case CurveId::SM2: {
        static const CurveConsts* c = build(id);
        return c;
    }
    }
    return nullptr;
}

} // namespace tzv::ec
