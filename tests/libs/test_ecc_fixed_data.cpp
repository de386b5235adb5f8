// The elliptic-curve suite's fixed key material against the library: each of the 22 calls, made as
// the harness makes it (every lane on the same values), succeeds in every lane, and the values fit
// together — the public key is d*G (checked with OpenSSL), sign-setup gives the stored r and k^-1,
// signing gives the stored signature, and ECDH agrees with OpenSSL.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../../perf_tests/tzvcrypto/src/p_tzv_ecc_data.h"
#include "ec_test_support.h"

using namespace ectest;

namespace {

struct Fixed {
    const uint64_t* reg_skey;
    const uint64_t* eph_skey;
    const uint64_t* pubx;
    const uint64_t* puby;
    const uint64_t* pubz;
    const uint8_t* msg; // NIST curves only
    const uint64_t* sgn_rp;
    const uint64_t* inv_eph_skey;
    const uint8_t* sign_r;
    const uint8_t* sign_s;
};

// The NIST functions share one signature per operation.
struct NistFunctions {
    decltype(&tzv_nistp256_ecpublic_key_mb8) publicKey;
    decltype(&tzv_nistp256_ecdh_mb8) ecdh;
    decltype(&tzv_nistp256_ecdsa_sign_setup_mb8) signSetup;
    decltype(&tzv_nistp256_ecdsa_sign_complete_mb8) signComplete;
    decltype(&tzv_nistp256_ecdsa_sign_mb8) sign;
    decltype(&tzv_nistp256_ecdsa_verify_mb8) verify;
};

template <class T>
std::array<const T*, kLanes> same(const T* value)
{
    std::array<const T*, kLanes> lanes;
    lanes.fill(value);
    return lanes;
}

// One output buffer per lane, each wide enough for P-521.
struct Outputs {
    explicit Outputs(size_t bytes) : data(kLanes, std::vector<uint64_t>((bytes + 7) / 8 + 1, 0)) {}
    std::array<uint64_t*, kLanes> words()
    {
        std::array<uint64_t*, kLanes> p;
        for (int i = 0; i < kLanes; ++i) p[i] = data[i].data();
        return p;
    }
    std::array<uint8_t*, kLanes> bytes()
    {
        std::array<uint8_t*, kLanes> p;
        for (int i = 0; i < kLanes; ++i) p[i] = reinterpret_cast<uint8_t*>(data[i].data());
        return p;
    }
    Words wordsOf(int lane, int count) const { return Words(data[lane].begin(), data[lane].begin() + count); }
    Bytes bytesOf(int lane, int count) const
    {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(data[lane].data());
        return Bytes(p, p + count);
    }
    std::vector<std::vector<uint64_t>> data;
};

Words wordsOf(const uint64_t* v, int count) { return Words(v, v + count); }
Bytes bytesOf(const uint8_t* v, int count) { return Bytes(v, v + count); }

// The affine point of the stored Jacobian key must be d*G as OpenSSL computes it, with Z != 1.
void expectPublicKeyIsRegKeyTimesG(const TestCurve& curve, const Fixed& f)
{
    Bn one = bnWord(1);
    Bn z = fromWords(wordsOf(f.pubz, curve.words));
    EXPECT_NE(BN_cmp(z.get(), one.get()), 0) << "the public key should not be affine";
    Bn x, y, gx, gy;
    curve.toAffine(wordsOf(f.pubx, curve.words), wordsOf(f.puby, curve.words), wordsOf(f.pubz, curve.words), x, y);
    curve.publicKey(fromWords(wordsOf(f.reg_skey, curve.words)).get(), gx, gy);
    EXPECT_EQ(BN_cmp(x.get(), gx.get()), 0);
    EXPECT_EQ(BN_cmp(y.get(), gy.get()), 0);
}

void expectSameAffine(const TestCurve& curve, const Outputs& X, const Outputs& Y, const Outputs& Z, int lane,
                      const Fixed& f)
{
    Bn x, y, fx, fy;
    curve.toAffine(X.wordsOf(lane, curve.words), Y.wordsOf(lane, curve.words), Z.wordsOf(lane, curve.words), x, y);
    curve.toAffine(wordsOf(f.pubx, curve.words), wordsOf(f.puby, curve.words), wordsOf(f.pubz, curve.words), fx, fy);
    EXPECT_EQ(BN_cmp(x.get(), fx.get()), 0) << "lane " << lane;
    EXPECT_EQ(BN_cmp(y.get(), fy.get()), 0) << "lane " << lane;
}

Bytes expectedShared(const TestCurve& curve, const Fixed& f)
{
    Bn x, y;
    curve.toAffine(wordsOf(f.pubx, curve.words), wordsOf(f.puby, curve.words), wordsOf(f.pubz, curve.words), x, y);
    return curve.sharedX(fromWords(wordsOf(f.eph_skey, curve.words)).get(), x.get(), y.get());
}

void checkNist(int nid, const Fixed& f, const NistFunctions& fn)
{
    TestCurve curve(nid);
    const int w = curve.words, len = curve.orderBytes;
    expectPublicKeyIsRegKeyTimesG(curve, f);

    auto reg = same(f.reg_skey), eph = same(f.eph_skey), px = same(f.pubx), py = same(f.puby), pz = same(f.pubz);
    auto msg = same(f.msg);
    auto rp = same(f.sgn_rp), kinv = same(f.inv_eph_skey);
    auto sr = same(f.sign_r), ss = same(f.sign_s);

    Outputs X(72), Y(72), Z(72);
    ASSERT_EQ(fn.publicKey(X.words().data(), Y.words().data(), Z.words().data(), reg.data(), nullptr), 0u);
    for (int lane = 0; lane < kLanes; ++lane) expectSameAffine(curve, X, Y, Z, lane, f);

    Outputs shared(66);
    ASSERT_EQ(fn.ecdh(shared.bytes().data(), eph.data(), px.data(), py.data(), pz.data(), nullptr), 0u);
    Bytes expected = expectedShared(curve, f);
    for (int lane = 0; lane < kLanes; ++lane) EXPECT_EQ(shared.bytesOf(lane, curve.fieldBytes), expected);

    Outputs inv(72), r(72);
    ASSERT_EQ(fn.signSetup(inv.words().data(), r.words().data(), eph.data(), nullptr), 0u);
    for (int lane = 0; lane < kLanes; ++lane) {
        EXPECT_EQ(inv.wordsOf(lane, w), wordsOf(f.inv_eph_skey, w)) << "lane " << lane;
        EXPECT_EQ(r.wordsOf(lane, w), wordsOf(f.sgn_rp, w)) << "lane " << lane;
    }

    Outputs sigR(66), sigS(66);
    ASSERT_EQ(fn.signComplete(sigR.bytes().data(), sigS.bytes().data(), msg.data(), rp.data(), kinv.data(), reg.data(),
                              nullptr),
              0u);
    for (int lane = 0; lane < kLanes; ++lane) {
        EXPECT_EQ(sigR.bytesOf(lane, len), bytesOf(f.sign_r, len)) << "lane " << lane;
        EXPECT_EQ(sigS.bytesOf(lane, len), bytesOf(f.sign_s, len)) << "lane " << lane;
    }

    Outputs oneR(66), oneS(66);
    ASSERT_EQ(fn.sign(oneR.bytes().data(), oneS.bytes().data(), msg.data(), eph.data(), reg.data(), nullptr), 0u);
    for (int lane = 0; lane < kLanes; ++lane) {
        EXPECT_EQ(oneR.bytesOf(lane, len), bytesOf(f.sign_r, len)) << "lane " << lane;
        EXPECT_EQ(oneS.bytesOf(lane, len), bytesOf(f.sign_s, len)) << "lane " << lane;
    }

    EXPECT_EQ(fn.verify(sr.data(), ss.data(), msg.data(), px.data(), py.data(), pz.data(), nullptr), 0u);
}

} // namespace

#define NIST_FUNCTIONS(curve)                                                                               \
    NistFunctions                                                                                           \
    {                                                                                                       \
        tzv_##curve##_ecpublic_key_mb8, tzv_##curve##_ecdh_mb8, tzv_##curve##_ecdsa_sign_setup_mb8,         \
            tzv_##curve##_ecdsa_sign_complete_mb8, tzv_##curve##_ecdsa_sign_mb8, tzv_##curve##_ecdsa_verify_mb8 \
    }
#define FIXED_NIST(c)                                                                                          \
    Fixed                                                                                                      \
    {                                                                                                          \
        c##_reg_skey, c##_eph_skey, c##_pubx, c##_puby, c##_pubz, c##_msg, c##_sgn_rp, c##_inv_eph_skey,      \
            c##_sign_r, c##_sign_s                                                                             \
    }

TEST(EccFixedData, P256AllSixCallsSucceedInEveryLane)
{
    checkNist(NID_X9_62_prime256v1, FIXED_NIST(p256), NIST_FUNCTIONS(nistp256));
}

TEST(EccFixedData, P384AllSixCallsSucceedInEveryLane)
{
    checkNist(NID_secp384r1, FIXED_NIST(p384), NIST_FUNCTIONS(nistp384));
}

TEST(EccFixedData, P521AllSixCallsSucceedInEveryLane)
{
    checkNist(NID_secp521r1, FIXED_NIST(p521), NIST_FUNCTIONS(nistp521));
}

TEST(EccFixedData, Sm2AllFourCallsSucceedInEveryLane)
{
    TestCurve curve(NID_sm2);
    const int len = curve.orderBytes;
    Fixed f{sm2_reg_skey, sm2_eph_skey, sm2_pubx, sm2_puby, sm2_pubz, nullptr, nullptr, nullptr, sm2_sign_r, sm2_sign_s};
    expectPublicKeyIsRegKeyTimesG(curve, f);

    auto reg = same(sm2_reg_skey), eph = same(sm2_eph_skey);
    auto px = same(sm2_pubx), py = same(sm2_puby), pz = same(sm2_pubz);
    auto sr = same(sm2_sign_r), ss = same(sm2_sign_s);
    // The harness signs the empty message with the empty identifier, both from a zeroed buffer.
    uint8_t empty[66] = {0};
    auto none = same<uint8_t>(empty);
    const int lengths[kLanes] = {0, 0, 0, 0, 0, 0, 0, 0};

    Outputs X(72), Y(72), Z(72);
    ASSERT_EQ(tzv_sm2_ecpublic_key_mb8(X.words().data(), Y.words().data(), Z.words().data(), reg.data(), nullptr), 0u);
    for (int lane = 0; lane < kLanes; ++lane) expectSameAffine(curve, X, Y, Z, lane, f);

    Outputs shared(66);
    ASSERT_EQ(tzv_sm2_ecdh_mb8(shared.bytes().data(), eph.data(), px.data(), py.data(), pz.data(), nullptr), 0u);
    Bytes expected = expectedShared(curve, f);
    for (int lane = 0; lane < kLanes; ++lane) EXPECT_EQ(shared.bytesOf(lane, curve.fieldBytes), expected);

    Outputs sigR(66), sigS(66);
    ASSERT_EQ(tzv_sm2_ecdsa_sign_mb8(sigR.bytes().data(), sigS.bytes().data(), none.data(), lengths, none.data(),
                                     lengths, eph.data(), reg.data(), px.data(), py.data(), pz.data(), nullptr),
              0u);
    for (int lane = 0; lane < kLanes; ++lane) {
        EXPECT_EQ(sigR.bytesOf(lane, len), bytesOf(sm2_sign_r, len)) << "lane " << lane;
        EXPECT_EQ(sigS.bytesOf(lane, len), bytesOf(sm2_sign_s, len)) << "lane " << lane;
    }

    EXPECT_EQ(tzv_sm2_ecdsa_verify_mb8(sr.data(), ss.data(), none.data(), lengths, none.data(), lengths, px.data(),
                                       py.data(), pz.data(), nullptr),
              0u);

    // OpenSSL's own SM2 accepts the stored signature too (empty identifier, empty message).
    Bn x, y;
    curve.toAffine(wordsOf(sm2_pubx, curve.words), wordsOf(sm2_puby, curve.words), wordsOf(sm2_pubz, curve.words), x,
                   y);
    Pkey key = makePkey("SM2", "SM2", curve, nullptr, x.get(), y.get());
    Bytes der = derSignature(bytesOf(sm2_sign_r, len), bytesOf(sm2_sign_s, len));
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    EVP_PKEY_CTX* pctx = EVP_PKEY_CTX_new(key.get(), nullptr);
    ASSERT_TRUE(md && pctx);
    ASSERT_EQ(EVP_PKEY_CTX_set1_id(pctx, empty, 0), 1);
    EVP_MD_CTX_set_pkey_ctx(md, pctx);
    EXPECT_EQ(EVP_DigestVerifyInit(md, nullptr, EVP_sm3(), nullptr, key.get()), 1);
    EXPECT_EQ(EVP_DigestVerify(md, der.data(), der.size(), empty, 0), 1);
    EVP_MD_CTX_free(md);
    EVP_PKEY_CTX_free(pctx);
}
