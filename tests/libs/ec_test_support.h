// Helpers of the elliptic-curve tests: the interface's encodings, the curve facts and reference
// operations taken from OpenSSL (independent of the library under test), and 8-lane arrays.
#ifndef PS_TESTS_EC_TEST_SUPPORT_H
#define PS_TESTS_EC_TEST_SUPPORT_H

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tzvcrypto.h"
#include "vector_file.h"

namespace ectest {

constexpr int kLanes = 8;
using Bytes = vectors::Bytes;
using Words = std::vector<uint64_t>;

inline unsigned laneStatus(tzv_status sts, int lane) { return tzv_get_lane_sts(sts, lane); }

// ---- BIGNUM and the two encodings ----
struct BnFree {
    void operator()(BIGNUM* b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

inline Bn newBn()
{
    Bn b(BN_new());
    if (!b) throw std::bad_alloc();
    return b;
}
inline Bn bnFromBytes(const Bytes& b) { return Bn(BN_bin2bn(b.data(), (int)b.size(), nullptr)); }
inline Bn bnFromHex(const std::string& hex) { return bnFromBytes(vectors::fromHex(hex)); }
inline Bn bnCopy(const BIGNUM* b) { return Bn(BN_dup(b)); }
inline Bn bnWord(unsigned long w)
{
    Bn b = newBn();
    BN_set_word(b.get(), w);
    return b;
}

// A word number: 64-bit words, least significant first.
inline Words toWords(const BIGNUM* b, int count)
{
    Words w(count, 0);
    Bytes be(8 * count);
    if (BN_bn2binpad(b, be.data(), (int)be.size()) < 0) throw std::length_error("value too long for word number");
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < 8; ++j) w[i] = (w[i] << 8) | be[8 * (count - 1 - i) + j];
    return w;
}
inline Bn fromWords(const Words& w)
{
    Bn b = newBn();
    for (size_t i = w.size(); i-- > 0;) {
        BN_lshift(b.get(), b.get(), 64);
        Bn part = newBn();
        BN_set_word(part.get(), (BN_ULONG)w[i]);
        BN_add(b.get(), b.get(), part.get());
    }
    return b;
}
inline Bytes toBytes(const BIGNUM* b, int len)
{
    Bytes out(len);
    if (BN_bn2binpad(b, out.data(), len) < 0) throw std::length_error("value too long for byte string");
    return out;
}

// ---- curve facts and reference arithmetic, from OpenSSL ----
class TestCurve {
public:
    explicit TestCurve(int nid)
        : m_group(EC_GROUP_new_by_curve_name(nid), EC_GROUP_free), m_ctx(BN_CTX_new(), BN_CTX_free)
    {
        if (!m_group || !m_ctx) throw std::runtime_error("OpenSSL has no such curve");
        p = newBn();
        a = newBn();
        b = newBn();
        EC_GROUP_get_curve(m_group.get(), p.get(), a.get(), b.get(), m_ctx.get());
        n = bnCopy(EC_GROUP_get0_order(m_group.get()));
        orderBits = BN_num_bits(n.get());
        fieldBytes = BN_num_bytes(p.get());
        orderBytes = BN_num_bytes(n.get());
        words = (std::max(BN_num_bits(p.get()), orderBits) + 63) / 64;
    }

    const EC_GROUP* group() const { return m_group.get(); }
    BN_CTX* ctx() const { return m_ctx.get(); }

    // Q = d·G, affine.
    void publicKey(const BIGNUM* d, Bn& x, Bn& y) const
    {
        std::unique_ptr<EC_POINT, decltype(&EC_POINT_free)> q(EC_POINT_new(group()), EC_POINT_free);
        x = newBn();
        y = newBn();
        if (!EC_POINT_mul(group(), q.get(), d, nullptr, nullptr, ctx()) ||
            !EC_POINT_get_affine_coordinates(group(), q.get(), x.get(), y.get(), ctx()))
            throw std::runtime_error("EC_POINT_mul failed");
    }

    // The x-coordinate of d·(x, y), as a byte string of the field's length.
    Bytes sharedX(const BIGNUM* d, const BIGNUM* x, const BIGNUM* y) const
    {
        std::unique_ptr<EC_POINT, decltype(&EC_POINT_free)> q(EC_POINT_new(group()), EC_POINT_free);
        std::unique_ptr<EC_POINT, decltype(&EC_POINT_free)> s(EC_POINT_new(group()), EC_POINT_free);
        Bn sx = newBn();
        if (!EC_POINT_set_affine_coordinates(group(), q.get(), x, y, ctx()) ||
            !EC_POINT_mul(group(), s.get(), nullptr, q.get(), d, ctx()) ||
            !EC_POINT_get_affine_coordinates(group(), s.get(), sx.get(), nullptr, ctx()))
            throw std::runtime_error("reference ECDH failed");
        return toBytes(sx.get(), fieldBytes);
    }

    // Jacobian X = x·Z², Y = y·Z³ of an affine point, as word numbers.
    void toJacobian(const BIGNUM* x, const BIGNUM* y, const BIGNUM* z, Words& X, Words& Y, Words& Z) const
    {
        Bn z2 = newBn(), z3 = newBn(), t = newBn();
        BN_mod_sqr(z2.get(), z, p.get(), ctx());
        BN_mod_mul(z3.get(), z2.get(), z, p.get(), ctx());
        BN_mod_mul(t.get(), x, z2.get(), p.get(), ctx());
        X = toWords(t.get(), words);
        BN_mod_mul(t.get(), y, z3.get(), p.get(), ctx());
        Y = toWords(t.get(), words);
        Z = toWords(z, words);
    }

    // Affine x = X/Z², y = Y/Z³ of word numbers.
    void toAffine(const Words& X, const Words& Y, const Words& Z, Bn& x, Bn& y) const
    {
        Bn zi = newBn(), t = newBn();
        x = fromWords(X);
        y = fromWords(Y);
        Bn z = fromWords(Z);
        if (!BN_mod_inverse(zi.get(), z.get(), p.get(), ctx())) throw std::runtime_error("Z not invertible");
        BN_mod_sqr(t.get(), zi.get(), p.get(), ctx());
        BN_mod_mul(x.get(), x.get(), t.get(), p.get(), ctx());
        BN_mod_mul(t.get(), t.get(), zi.get(), p.get(), ctx());
        BN_mod_mul(y.get(), y.get(), t.get(), p.get(), ctx());
    }

    // Uniform in [1, limit-1] from a seeded generator, so that failures reproduce.
    Bn random(std::mt19937_64& rng, const BIGNUM* limit) const
    {
        Bytes raw(BN_num_bytes(limit) + 8);
        for (auto& c : raw) c = (uint8_t)rng();
        Bn v = bnFromBytes(raw);
        Bn m = bnCopy(limit);
        BN_sub_word(m.get(), 1);
        BN_mod(v.get(), v.get(), m.get(), ctx());
        BN_add_word(v.get(), 1);
        return v;
    }
    Bn randomScalar(std::mt19937_64& rng) const { return random(rng, n.get()); }

    // The digest as the interface takes it: truncated to the order's bit length, as a byte string
    // of the order's byte length.
    Bytes digestOperand(const Bytes& digest) const
    {
        Bn e = bnFromBytes(digest);
        int excess = 8 * (int)digest.size() - orderBits;
        if (excess > 0) BN_rshift(e.get(), e.get(), excess);
        return toBytes(e.get(), orderBytes);
    }

    Bn p, a, b, n;
    int orderBits = 0, fieldBytes = 0, orderBytes = 0, words = 0;

private:
    std::unique_ptr<EC_GROUP, decltype(&EC_GROUP_free)> m_group{nullptr, EC_GROUP_free};
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> m_ctx{nullptr, BN_CTX_free};
};

inline Bytes hashOf(const char* md, const Bytes& msg)
{
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned len = 0;
    if (!EVP_Digest(msg.data(), msg.size(), out.data(), &len, EVP_get_digestbyname(md), nullptr))
        throw std::runtime_error(std::string("no digest ") + md);
    out.resize(len);
    return out;
}

// ---- OpenSSL keys and signatures ----
struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
struct PctxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using Pctx = std::unique_ptr<EVP_PKEY_CTX, PctxFree>;

// An OpenSSL key of type "EC" or "SM2" on the named group, with the private key when d is given.
inline Pkey makePkey(const char* type, const char* groupName, const TestCurve& c, const BIGNUM* d, const BIGNUM* x,
                     const BIGNUM* y)
{
    Bytes pub(1 + 2 * c.fieldBytes);
    pub[0] = 0x04;
    Bytes bx = toBytes(x, c.fieldBytes), by = toBytes(y, c.fieldBytes);
    std::copy(bx.begin(), bx.end(), pub.begin() + 1);
    std::copy(by.begin(), by.end(), pub.begin() + 1 + c.fieldBytes);
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, groupName, 0);
    OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, pub.data(), pub.size());
    if (d) OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_PRIV_KEY, d);
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    Pctx ctx(EVP_PKEY_CTX_new_from_name(nullptr, type, nullptr));
    EVP_PKEY* key = nullptr;
    bool ok = params && ctx && EVP_PKEY_fromdata_init(ctx.get()) > 0 &&
              EVP_PKEY_fromdata(ctx.get(), &key, d ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params) > 0;
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    if (!ok) throw std::runtime_error("EVP_PKEY_fromdata failed");
    return Pkey(key);
}

inline Bytes derSignature(const Bytes& r, const Bytes& s)
{
    ECDSA_SIG* sig = ECDSA_SIG_new();
    ECDSA_SIG_set0(sig, BN_bin2bn(r.data(), (int)r.size(), nullptr), BN_bin2bn(s.data(), (int)s.size(), nullptr));
    unsigned char* der = nullptr;
    int len = i2d_ECDSA_SIG(sig, &der);
    Bytes out(der, der + (len > 0 ? len : 0));
    OPENSSL_free(der);
    ECDSA_SIG_free(sig);
    return out;
}

inline void splitSignature(const Bytes& der, int len, Bytes& r, Bytes& s)
{
    const unsigned char* p = der.data();
    ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, (long)der.size());
    if (!sig) throw std::runtime_error("bad DER signature");
    r = toBytes(ECDSA_SIG_get0_r(sig), len);
    s = toBytes(ECDSA_SIG_get0_s(sig), len);
    ECDSA_SIG_free(sig);
}

// ECDSA over a digest given as is (OpenSSL truncates a digest longer than the order itself).
inline bool opensslVerifyDigest(EVP_PKEY* key, const Bytes& digest, const Bytes& r, const Bytes& s)
{
    Bytes der = derSignature(r, s);
    Pctx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    return ctx && EVP_PKEY_verify_init(ctx.get()) > 0 &&
           EVP_PKEY_verify(ctx.get(), der.data(), der.size(), digest.data(), digest.size()) == 1;
}

inline void opensslSignDigest(EVP_PKEY* key, const Bytes& digest, int len, Bytes& r, Bytes& s)
{
    Pctx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    size_t derLen = 0;
    if (!ctx || EVP_PKEY_sign_init(ctx.get()) <= 0 ||
        EVP_PKEY_sign(ctx.get(), nullptr, &derLen, digest.data(), digest.size()) <= 0)
        throw std::runtime_error("EVP_PKEY_sign failed");
    Bytes der(derLen);
    if (EVP_PKEY_sign(ctx.get(), der.data(), &derLen, digest.data(), digest.size()) <= 0)
        throw std::runtime_error("EVP_PKEY_sign failed");
    der.resize(derLen);
    splitSignature(der, len, r, s);
}

// ---- lane arrays ----
// Pointers to the lanes' buffers, as the library's const lane arrays take them.
template <typename T>
std::array<const T*, kLanes> inLanes(const std::array<std::vector<T>, kLanes>& v)
{
    std::array<const T*, kLanes> p{};
    for (int i = 0; i < kLanes; ++i) p[i] = v[i].data();
    return p;
}
template <typename T>
std::array<T*, kLanes> outLanes(std::array<std::vector<T>, kLanes>& v)
{
    std::array<T*, kLanes> p{};
    for (int i = 0; i < kLanes; ++i) p[i] = v[i].data();
    return p;
}

} // namespace ectest

#endif
