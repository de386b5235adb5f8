// Tests of the SM2 functions of libtzvcrypto. No standard vectors exist for the SM2 curve in the
// vector package, so OpenSSL's independent SM2 is the reference: its verify must accept our
// signatures and ours its, with the signer's identifier; public keys and ECDH agree with OpenSSL's
// point multiplication. Eight different cases per call, Jacobian and affine keys, bad lanes next to
// good ones.
#include <gtest/gtest.h>

#include <openssl/obj_mac.h>

#include "ec_test_support.h"

using namespace ectest;

namespace {

constexpr unsigned kOk = TZV_STS_OK, kBad = TZV_STS_BAD_PARAM, kNull = TZV_STS_NULL_PARAM,
                   kSig = TZV_STS_SIGNATURE;

struct MdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

// OpenSSL's SM2 signature with SM3 and the identifier `id`, on a DigestSign/DigestVerify context.
class OpensslSm2 {
public:
    OpensslSm2(EVP_PKEY* key, const Bytes& id) : m_md(EVP_MD_CTX_new()), m_pctx(EVP_PKEY_CTX_new(key, nullptr))
    {
        if (!m_md || !m_pctx || EVP_PKEY_CTX_set1_id(m_pctx.get(), id.data(), id.size()) <= 0)
            throw std::runtime_error("SM2 context");
        EVP_MD_CTX_set_pkey_ctx(m_md.get(), m_pctx.get());
        m_key = key;
    }
    bool verify(const Bytes& msg, const Bytes& r, const Bytes& s)
    {
        Bytes der = derSignature(r, s);
        return EVP_DigestVerifyInit(m_md.get(), nullptr, EVP_sm3(), nullptr, m_key) == 1 &&
               EVP_DigestVerify(m_md.get(), der.data(), der.size(), msg.data(), msg.size()) == 1;
    }
    void sign(const Bytes& msg, Bytes& r, Bytes& s)
    {
        size_t len = 0;
        if (EVP_DigestSignInit(m_md.get(), nullptr, EVP_sm3(), nullptr, m_key) != 1 ||
            EVP_DigestSign(m_md.get(), nullptr, &len, msg.data(), msg.size()) != 1)
            throw std::runtime_error("SM2 sign");
        Bytes der(len);
        if (EVP_DigestSign(m_md.get(), der.data(), &len, msg.data(), msg.size()) != 1)
            throw std::runtime_error("SM2 sign");
        der.resize(len);
        splitSignature(der, 32, r, s);
    }

private:
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> m_md;
    Pctx m_pctx;
    EVP_PKEY* m_key = nullptr;
};

class Sm2 : public ::testing::Test {
protected:
    TestCurve curve{NID_sm2};
    std::mt19937_64 rng{0x5312u};

    // Eight signers with different keys, identifiers (empty, short, the customary 16 bytes, long)
    // and messages (empty, one byte, several blocks).
    struct Lanes {
        std::array<Bn, kLanes> d, qx, qy;
        std::array<Pkey, kLanes> pkey;
        std::array<Bytes, kLanes> id, msg, r, s;
        std::array<Words, kLanes> dw, kw, X, Y, Z;
        std::array<int, kLanes> idLen{}, msgLen{};
    };
    void fill(Lanes& L, bool jacobian)
    {
        const size_t idSizes[kLanes] = {0, 1, 16, 16, 31, 64, 200, 8000};
        const size_t msgSizes[kLanes] = {0, 1, 3, 55, 56, 64, 1000, 0};
        for (int i = 0; i < kLanes; ++i) {
            Bn nMinus1 = bnCopy(curve.n.get());
            BN_sub_word(nMinus1.get(), 1);
            L.d[i] = curve.random(rng, nMinus1.get()); // a signing key is at most n − 2
            curve.publicKey(L.d[i].get(), L.qx[i], L.qy[i]);
            L.pkey[i] = makePkey("SM2", "SM2", curve, L.d[i].get(), L.qx[i].get(), L.qy[i].get());
            L.id[i] = Bytes(idSizes[i]);
            for (auto& c : L.id[i]) c = (uint8_t)rng();
            if (i == 2) L.id[i] = Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '1', '2', '3', '4', '5', '6', '7', '8'};
            L.msg[i] = Bytes(msgSizes[i]);
            for (auto& c : L.msg[i]) c = (uint8_t)rng();
            L.idLen[i] = (int)L.id[i].size();
            L.msgLen[i] = (int)L.msg[i].size();
            L.dw[i] = toWords(L.d[i].get(), curve.words);
            L.kw[i] = toWords(curve.randomScalar(rng).get(), curve.words);
            L.r[i] = L.s[i] = Bytes(32);
            setKey(L, i, L.qx[i].get(), L.qy[i].get(), jacobian);
        }
        // Identifiers and messages may be empty, but their pointers must not be null.
        for (int i = 0; i < kLanes; ++i) {
            L.id[i].reserve(1);
            L.msg[i].reserve(1);
        }
    }
    void setKey(Lanes& L, int i, const BIGNUM* x, const BIGNUM* y, bool jacobian)
    {
        Bn z = jacobian ? curve.random(rng, curve.p.get()) : bnWord(1);
        if (jacobian && BN_is_one(z.get())) BN_add_word(z.get(), 1);
        curve.toJacobian(x, y, z.get(), L.X[i], L.Y[i], L.Z[i]);
    }

    // Pointer arrays of an identifier or message: data() of an empty vector may be null.
    static std::array<const uint8_t*, kLanes> bytesLanes(const std::array<Bytes, kLanes>& v)
    {
        std::array<const uint8_t*, kLanes> p{};
        for (int i = 0; i < kLanes; ++i) p[i] = v[i].empty() ? kEmpty : v[i].data();
        return p;
    }
    static const uint8_t kEmpty[1];

    tzv_status sign(Lanes& L, bool jacobian, std::array<uint8_t*, kLanes>* rOverride = nullptr)
    {
        auto rp = outLanes(L.r), sp = outLanes(L.s);
        auto idp = bytesLanes(L.id), mp = bytesLanes(L.msg);
        auto kp = inLanes(L.kw), dp = inLanes(L.dw), xp = inLanes(L.X), yp = inLanes(L.Y), zp = inLanes(L.Z);
        if (rOverride) rp = *rOverride;
        return tzv_sm2_ecdsa_sign_mb8(rp.data(), sp.data(), idp.data(), L.idLen.data(), mp.data(), L.msgLen.data(),
                                      kp.data(), dp.data(), xp.data(), yp.data(), jacobian ? zp.data() : nullptr,
                                      nullptr);
    }
    tzv_status verify(Lanes& L, bool jacobian)
    {
        auto rp = inLanes(L.r), sp = inLanes(L.s);
        auto idp = bytesLanes(L.id), mp = bytesLanes(L.msg);
        auto xp = inLanes(L.X), yp = inLanes(L.Y), zp = inLanes(L.Z);
        return tzv_sm2_ecdsa_verify_mb8(rp.data(), sp.data(), idp.data(), L.idLen.data(), mp.data(), L.msgLen.data(),
                                        xp.data(), yp.data(), jacobian ? zp.data() : nullptr, nullptr);
    }
};

const uint8_t Sm2::kEmpty[1] = {0};

TEST_F(Sm2, PublicKeysAgreeWithOpenSsl)
{
    std::array<Words, kLanes> d, X, Y, Z;
    std::array<Bn, kLanes> dn;
    for (int i = 0; i < kLanes; ++i) {
        dn[i] = curve.randomScalar(rng);
        d[i] = toWords(dn[i].get(), curve.words);
        X[i] = Y[i] = Z[i] = Words(curve.words);
    }
    {
        Bn top = bnCopy(curve.n.get());
        BN_sub_word(top.get(), 1); // n − 1 is a valid key for a public key
        d[7] = toWords(top.get(), curve.words);
        dn[7] = std::move(top);
    }
    auto dp = inLanes(d);
    auto xp = outLanes(X), yp = outLanes(Y), zp = outLanes(Z);
    for (bool jacobian : {false, true}) {
        EXPECT_EQ(tzv_sm2_ecpublic_key_mb8(xp.data(), yp.data(), jacobian ? zp.data() : nullptr, dp.data(), nullptr), 0u);
        for (int i = 0; i < kLanes; ++i) {
            Bn wx, wy, x, y;
            curve.publicKey(dn[i].get(), wx, wy);
            if (jacobian) {
                curve.toAffine(X[i], Y[i], Z[i], x, y);
            } else {
                x = fromWords(X[i]);
                y = fromWords(Y[i]);
            }
            EXPECT_EQ(BN_cmp(x.get(), wx.get()), 0) << "lane " << i << (jacobian ? " Jacobian" : " affine");
            EXPECT_EQ(BN_cmp(y.get(), wy.get()), 0) << "lane " << i << (jacobian ? " Jacobian" : " affine");
        }
    }

    // Bad lanes next to good ones.
    d[2] = Words(curve.words, 0);
    d[3] = toWords(curve.n.get(), curve.words);
    dp = inLanes(d);
    dp[1] = nullptr;
    yp[4] = nullptr;
    zp[5] = nullptr;
    tzv_status sts = tzv_sm2_ecpublic_key_mb8(xp.data(), yp.data(), zp.data(), dp.data(), nullptr);
    const unsigned want[kLanes] = {kOk, kNull, kBad, kBad, kNull, kNull, kOk, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), want[i]) << "lane " << i;
    for (int i : {0, 6, 7}) {
        Bn wx, wy, x, y;
        curve.publicKey(dn[i].get(), wx, wy);
        curve.toAffine(X[i], Y[i], Z[i], x, y);
        EXPECT_EQ(BN_cmp(x.get(), wx.get()), 0) << "lane " << i;
        EXPECT_EQ(BN_cmp(y.get(), wy.get()), 0) << "lane " << i;
    }
}

TEST_F(Sm2, EcdhAgreesWithOpenSslAndBetweenPeers)
{
    Lanes a, b;
    fill(a, true);
    fill(b, false);
    std::array<Bytes, kLanes> ab, ba;
    for (int i = 0; i < kLanes; ++i) ab[i] = ba[i] = Bytes(32);
    auto abp = outLanes(ab), bap = outLanes(ba);
    auto ad = inLanes(a.dw), bd = inLanes(b.dw);
    auto ax = inLanes(a.X), ay = inLanes(a.Y), az = inLanes(a.Z), bx = inLanes(b.X), by = inLanes(b.Y);
    EXPECT_EQ(tzv_sm2_ecdh_mb8(abp.data(), ad.data(), bx.data(), by.data(), nullptr, nullptr), 0u);
    EXPECT_EQ(tzv_sm2_ecdh_mb8(bap.data(), bd.data(), ax.data(), ay.data(), az.data(), nullptr), 0u);
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(ab[i], curve.sharedX(a.d[i].get(), b.qx[i].get(), b.qy[i].get())) << "lane " << i;
        EXPECT_EQ(ba[i], ab[i]) << "lane " << i;
    }

    // Bad lanes: null output, zero key, key n, a point off the curve, Z = 0, a coordinate ≥ p.
    a.dw[2] = Words(curve.words, 0);
    a.dw[3] = toWords(curve.n.get(), curve.words);
    b.Y[4][0] ^= 1;
    b.Z[5] = Words(curve.words, 0);
    b.X[6] = toWords(curve.p.get(), curve.words);
    ad = inLanes(a.dw);
    bx = inLanes(b.X);
    by = inLanes(b.Y);
    auto bz = inLanes(b.Z);
    abp[1] = nullptr;
    for (auto& v : ab) std::fill(v.begin(), v.end(), 0);
    tzv_status sts = tzv_sm2_ecdh_mb8(abp.data(), ad.data(), bx.data(), by.data(), bz.data(), nullptr);
    const unsigned want[kLanes] = {kOk, kNull, kBad, kBad, kBad, kBad, kBad, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), want[i]) << "lane " << i;
    for (int i : {0, 7}) EXPECT_EQ(ab[i], curve.sharedX(a.d[i].get(), b.qx[i].get(), b.qy[i].get())) << "lane " << i;
}

TEST_F(Sm2, OurSignaturesPassOpenSslVerify)
{
    for (bool jacobian : {false, true}) {
        Lanes L;
        fill(L, jacobian);
        EXPECT_EQ(sign(L, jacobian), 0u) << (jacobian ? "Jacobian" : "affine");
        for (int i = 0; i < kLanes; ++i) {
            OpensslSm2 ossl(L.pkey[i].get(), L.id[i]);
            EXPECT_TRUE(ossl.verify(L.msg[i], L.r[i], L.s[i]))
                << "lane " << i << ", id " << L.id[i].size() << " bytes, message " << L.msg[i].size() << " bytes"
                << (jacobian ? ", Jacobian key" : ", affine key");
        }
        EXPECT_EQ(verify(L, jacobian), 0u);
        // The same message under another identifier is another signature.
        for (int i = 0; i < kLanes; ++i) {
            Bytes otherId = L.id[i];
            otherId.push_back(0x00);
            OpensslSm2 ossl(L.pkey[i].get(), otherId);
            EXPECT_FALSE(ossl.verify(L.msg[i], L.r[i], L.s[i])) << "lane " << i;
        }
    }
}

TEST_F(Sm2, OpenSslSignaturesPassOurVerify)
{
    for (bool jacobian : {true, false}) {
        Lanes L;
        fill(L, jacobian);
        for (int i = 0; i < kLanes; ++i) OpensslSm2(L.pkey[i].get(), L.id[i]).sign(L.msg[i], L.r[i], L.s[i]);
        EXPECT_EQ(verify(L, jacobian), 0u) << (jacobian ? "Jacobian" : "affine");

        Lanes changed;
        fill(changed, jacobian);
        for (int i = 0; i < kLanes; ++i) {
            changed.r[i] = L.r[i];
            changed.s[i] = L.s[i];
            changed.X[i] = L.X[i];
            changed.Y[i] = L.Y[i];
            changed.Z[i] = L.Z[i];
            changed.id[i] = L.id[i];
            changed.msg[i] = L.msg[i];
            if (i % 2) changed.msg[i].push_back(0x61); // a longer message
            else changed.id[i].push_back(0x61);        // a longer identifier
            changed.idLen[i] = (int)changed.id[i].size();
            changed.msgLen[i] = (int)changed.msg[i].size();
        }
        EXPECT_EQ(verify(changed, jacobian), 0x88888888u);
    }
}

TEST_F(Sm2, SigningBadLanesLeaveOthersCorrect)
{
    Lanes L;
    fill(L, true);
    Bn nMinus1 = bnCopy(curve.n.get());
    BN_sub_word(nMinus1.get(), 1);
    L.dw[2] = toWords(nMinus1.get(), curve.words); // 1 + d would not be invertible
    L.kw[3] = Words(curve.words, 0);
    L.idLen[4] = -1;
    L.msgLen[5] = -1;
    L.Y[6][0] ^= 1; // off the curve
    auto idp = bytesLanes(L.id);
    idp[1] = nullptr;
    {
        auto rp = outLanes(L.r), sp = outLanes(L.s);
        auto mp = bytesLanes(L.msg);
        auto kp = inLanes(L.kw), dp = inLanes(L.dw), xp = inLanes(L.X), yp = inLanes(L.Y), zp = inLanes(L.Z);
        tzv_status sts = tzv_sm2_ecdsa_sign_mb8(rp.data(), sp.data(), idp.data(), L.idLen.data(), mp.data(),
                                                L.msgLen.data(), kp.data(), dp.data(), xp.data(), yp.data(), zp.data(),
                                                nullptr);
        const unsigned want[kLanes] = {kOk, kNull, kBad, kBad, kBad, kBad, kBad, kOk};
        for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), want[i]) << "lane " << i;
        for (int i : {0, 7})
            EXPECT_TRUE(OpensslSm2(L.pkey[i].get(), L.id[i]).verify(L.msg[i], L.r[i], L.s[i])) << "lane " << i;

        // A null length array is a null argument of every lane.
        EXPECT_EQ(tzv_sm2_ecdsa_sign_mb8(rp.data(), sp.data(), idp.data(), nullptr, mp.data(), L.msgLen.data(),
                                         kp.data(), dp.data(), xp.data(), yp.data(), zp.data(), nullptr),
                  0x22222222u);
    }

    // More: a null output, an identifier too long for its 16-bit bit length, Z = 0, a zero key.
    Lanes M;
    fill(M, true);
    M.id[2] = Bytes(8192, 0x41);
    M.idLen[2] = 8192;
    M.Z[3] = Words(curve.words, 0);
    M.dw[4] = Words(curve.words, 0);
    std::array<uint8_t*, kLanes> rOut = outLanes(M.r);
    rOut[1] = nullptr;
    tzv_status sts = sign(M, true, &rOut);
    const unsigned want[kLanes] = {kOk, kNull, kBad, kBad, kBad, kOk, kOk, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), want[i]) << "lane " << i;
    for (int i : {0, 5, 6, 7})
        EXPECT_TRUE(OpensslSm2(M.pkey[i].get(), M.id[i]).verify(M.msg[i], M.r[i], M.s[i])) << "lane " << i;
}

TEST_F(Sm2, VerifyBadLanesLeaveOthersCorrect)
{
    Lanes L;
    fill(L, true);
    for (int i = 0; i < kLanes; ++i) OpensslSm2(L.pkey[i].get(), L.id[i]).sign(L.msg[i], L.r[i], L.s[i]);
    std::fill(L.r[1].begin(), L.r[1].end(), 0);  // r = 0
    L.s[2] = toBytes(curve.n.get(), 32);          // s = n
    {                                             // s = n − r: r + s = 0 mod n
        Bn s = bnCopy(curve.n.get());
        BN_sub(s.get(), s.get(), bnFromBytes(L.r[3]).get());
        L.s[3] = toBytes(s.get(), 32);
    }
    L.r[4][7] ^= 0x10;                            // corrupted r
    L.X[6][1] ^= 1;                               // off the curve
    L.msgLen[7] = -1;
    auto rp = inLanes(L.r), sp = inLanes(L.s);
    auto idp = bytesLanes(L.id), mp = bytesLanes(L.msg);
    auto xp = inLanes(L.X), yp = inLanes(L.Y), zp = inLanes(L.Z);
    mp[5] = nullptr;
    tzv_status sts = tzv_sm2_ecdsa_verify_mb8(rp.data(), sp.data(), idp.data(), L.idLen.data(), mp.data(),
                                              L.msgLen.data(), xp.data(), yp.data(), zp.data(), nullptr);
    const unsigned want[kLanes] = {kOk, kSig, kSig, kSig, kSig, kNull, kBad, kBad};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), want[i]) << "lane " << i;
}

} // namespace
