// Known-answer tests of the NIST P-256, P-384 and P-521 functions of libtzvcrypto: the CAVP vectors
// of FIPS 186-3 (KeyPair, SigGen with k, SigVer) and the ECDH KAS ZZ-only files, eight different
// cases per call, Jacobian and affine keys, bad lanes next to good ones, and random cases checked
// against OpenSSL's own ECDSA and ECDH.
#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/obj_mac.h>

#include <ostream>
#include <thread>

#include "ec_test_support.h"

using namespace ectest;

namespace {

struct NistApi {
    const char* name;       // as the vector files name the curve
    const char* kasSection; // the curve's section of the KAS ZZ-only files
    int nid;
    decltype(&tzv_nistp256_ecpublic_key_mb8) publicKey;
    decltype(&tzv_nistp256_ecdh_mb8) ecdh;
    decltype(&tzv_nistp256_ecdsa_sign_setup_mb8) signSetup;
    decltype(&tzv_nistp256_ecdsa_sign_complete_mb8) signComplete;
    decltype(&tzv_nistp256_ecdsa_sign_mb8) sign;
    decltype(&tzv_nistp256_ecdsa_verify_mb8) verify;
    int digestBytes; // of the random digests: the SHA-2 size that matches the curve
};

void PrintTo(const NistApi& api, std::ostream* os) { *os << api.name; }

#define TZV_NIST_API(curve) \
    tzv_##curve##_ecpublic_key_mb8, tzv_##curve##_ecdh_mb8, tzv_##curve##_ecdsa_sign_setup_mb8, \
        tzv_##curve##_ecdsa_sign_complete_mb8, tzv_##curve##_ecdsa_sign_mb8, tzv_##curve##_ecdsa_verify_mb8

const NistApi kCurves[] = {
    {"P-256", "EC - SHA256", NID_X9_62_prime256v1, TZV_NIST_API(nistp256), 32},
    {"P-384", "ED - SHA384", NID_secp384r1, TZV_NIST_API(nistp384), 48},
    {"P-521", "EE - SHA512", NID_secp521r1, TZV_NIST_API(nistp521), 64},
};

const char* const kHashes[][2] = {{"SHA-256", "SHA256"}, {"SHA-384", "SHA384"}, {"SHA-512", "SHA512"}};

constexpr unsigned kOk = TZV_STS_OK, kBad = TZV_STS_BAD_PARAM, kNull = TZV_STS_NULL_PARAM,
                   kSig = TZV_STS_SIGNATURE;

std::vector<vectors::Record> recordsUnder(const std::string& file, const std::string& header, const char* field)
{
    std::vector<vectors::Record> out;
    for (auto& r : vectors::readFile(vectors::path(file)))
        if (r.underHeader(header) && r.has(field)) out.push_back(r);
    return out;
}

std::string laneText(tzv_status sts)
{
    char buf[16];
    snprintf(buf, sizeof buf, "%08x", sts);
    return buf;
}

class NistEc : public ::testing::TestWithParam<NistApi> {
protected:
    const NistApi& api = GetParam();
    TestCurve curve{GetParam().nid};
    std::mt19937_64 rng{0x5eed0000u + (unsigned)GetParam().nid};

    Words words(const BIGNUM* v) const { return toWords(v, curve.words); }
    Words wordsHex(const std::string& hex) const { return words(bnFromHex(hex).get()); }
    Bytes orderBytes(const BIGNUM* v) const { return toBytes(v, curve.orderBytes); }
    Bytes orderBytesHex(const std::string& hex) const { return orderBytes(bnFromHex(hex).get()); }

    // Lane data of one public key: affine, or Jacobian with a random Z != 1.
    struct Key {
        Words x, y, z;
    };
    Key key(const BIGNUM* x, const BIGNUM* y, bool jacobian)
    {
        Key k;
        if (!jacobian) {
            k.x = words(x);
            k.y = words(y);
            k.z = words(bnWord(1).get());
            return k;
        }
        Bn z = curve.random(rng, curve.p.get());
        if (BN_is_one(z.get())) BN_add_word(z.get(), 1);
        curve.toJacobian(x, y, z.get(), k.x, k.y, k.z);
        return k;
    }

    // The digest operand of a small value plus n: the library must reduce it.
    Bytes digestPlusOrder(unsigned long small) const
    {
        Bn v = bnWord(small);
        BN_add(v.get(), v.get(), curve.n.get());
        return orderBytes(v.get());
    }
};

// ---- public keys ----

TEST_P(NistEc, PublicKeysMatchKeyPairVectors)
{
    auto recs = recordsUnder("asymmetric/ECDSA/FIPS_186-3/KeyPair.rsp", api.name, "d");
    ASSERT_GE(recs.size(), 10u);
    for (size_t start = 0; start < recs.size(); start += kLanes) {
        std::array<Words, kLanes> d, X, Y, Z;
        for (int i = 0; i < kLanes; ++i) {
            d[i] = wordsHex(recs[(start + i) % recs.size()].text("d"));
            X[i] = Y[i] = Z[i] = Words(curve.words, 0xA5A5A5A5A5A5A5A5u);
        }
        auto dp = inLanes(d);
        auto xp = outLanes(X), yp = outLanes(Y), zp = outLanes(Z);

        EXPECT_EQ(api.publicKey(xp.data(), yp.data(), nullptr, dp.data(), nullptr), 0u);
        for (int i = 0; i < kLanes; ++i) {
            const auto& rec = recs[(start + i) % recs.size()];
            EXPECT_EQ(X[i], wordsHex(rec.text("Qx"))) << "affine, line " << rec.line;
            EXPECT_EQ(Y[i], wordsHex(rec.text("Qy"))) << "affine, line " << rec.line;
        }

        EXPECT_EQ(api.publicKey(xp.data(), yp.data(), zp.data(), dp.data(), nullptr), 0u);
        for (int i = 0; i < kLanes; ++i) {
            const auto& rec = recs[(start + i) % recs.size()];
            Bn x, y;
            curve.toAffine(X[i], Y[i], Z[i], x, y);
            EXPECT_EQ(BN_cmp(x.get(), bnFromHex(rec.text("Qx")).get()), 0) << "Jacobian, line " << rec.line;
            EXPECT_EQ(BN_cmp(y.get(), bnFromHex(rec.text("Qy")).get()), 0) << "Jacobian, line " << rec.line;
        }
    }
}

TEST_P(NistEc, PublicKeyBadLanesLeaveOthersCorrect)
{
    auto recs = recordsUnder("asymmetric/ECDSA/FIPS_186-3/KeyPair.rsp", api.name, "d");
    ASSERT_GE(recs.size(), (size_t)kLanes);
    std::array<Words, kLanes> d, X, Y, Z;
    for (int i = 0; i < kLanes; ++i) {
        d[i] = wordsHex(recs[i].text("d"));
        X[i] = Y[i] = Z[i] = Words(curve.words);
    }
    d[2] = Words(curve.words, 0);                      // zero key
    d[3] = words(curve.n.get());                       // key = n
    d[4] = Words(curve.words, ~(uint64_t)0);           // far above n
    auto dp = inLanes(d);
    auto xp = outLanes(X), yp = outLanes(Y), zp = outLanes(Z);
    dp[1] = nullptr;
    xp[5] = nullptr;
    zp[6] = nullptr; // the Z array is given, so its null lane is a null pointer

    tzv_status sts = api.publicKey(xp.data(), yp.data(), zp.data(), dp.data(), nullptr);
    const unsigned expected[kLanes] = {kOk, kNull, kBad, kBad, kBad, kNull, kNull, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), expected[i]) << "lane " << i;
    for (int i : {0, 7}) {
        Bn x, y;
        curve.toAffine(X[i], Y[i], Z[i], x, y);
        EXPECT_EQ(BN_cmp(x.get(), bnFromHex(recs[i].text("Qx")).get()), 0) << "lane " << i;
        EXPECT_EQ(BN_cmp(y.get(), bnFromHex(recs[i].text("Qy")).get()), 0) << "lane " << i;
    }

    EXPECT_EQ(api.publicKey(xp.data(), yp.data(), zp.data(), nullptr, nullptr), 0x22222222u);
}

// ---- signing ----

TEST_P(NistEc, SignaturesMatchSigGenVectorsInOneStepAndInTwo)
{
    for (const auto& hash : kHashes) {
        auto recs = recordsUnder("asymmetric/ECDSA/FIPS_186-3/SigGen.txt", std::string(api.name) + "," + hash[0], "k");
        ASSERT_EQ(recs.size(), 15u) << hash[0];
        for (size_t start = 0; start < recs.size(); start += kLanes) {
            std::array<Bytes, kLanes> msg, r, s, r2, s2;
            std::array<Words, kLanes> k, d, kinv, rp;
            std::array<const vectors::Record*, kLanes> rec;
            for (int i = 0; i < kLanes; ++i) {
                rec[i] = &recs[(start + i) % recs.size()];
                msg[i] = curve.digestOperand(hashOf(hash[1], rec[i]->hex("Msg")));
                k[i] = wordsHex(rec[i]->text("k"));
                d[i] = wordsHex(rec[i]->text("d"));
                r[i] = s[i] = r2[i] = s2[i] = Bytes(curve.orderBytes);
                kinv[i] = rp[i] = Words(curve.words);
            }
            auto mp = inLanes(msg);
            auto kp = inLanes(k), dp = inLanes(d);
            auto rpOut = outLanes(r), spOut = outLanes(s), r2p = outLanes(r2), s2p = outLanes(s2);
            auto kinvp = outLanes(kinv), rpp = outLanes(rp);

            EXPECT_EQ(api.sign(rpOut.data(), spOut.data(), mp.data(), kp.data(), dp.data(), nullptr), 0u);
            EXPECT_EQ(api.signSetup(kinvp.data(), rpp.data(), kp.data(), nullptr), 0u);
            auto kinvIn = inLanes(kinv), rpIn = inLanes(rp);
            EXPECT_EQ(api.signComplete(r2p.data(), s2p.data(), mp.data(), rpIn.data(), kinvIn.data(), dp.data(), nullptr),
                      0u);
            for (int i = 0; i < kLanes; ++i) {
                SCOPED_TRACE(std::string(hash[0]) + ", line " + std::to_string(rec[i]->line));
                Bytes R = orderBytesHex(rec[i]->text("R")), S = orderBytesHex(rec[i]->text("S"));
                EXPECT_EQ(r[i], R);
                EXPECT_EQ(s[i], S);
                EXPECT_EQ(r2[i], R);
                EXPECT_EQ(s2[i], S);
                EXPECT_EQ(rp[i], wordsHex(rec[i]->text("R")));
                Bn prod = newBn();
                BN_mod_mul(prod.get(), fromWords(kinv[i]).get(), fromWords(k[i]).get(), curve.n.get(), curve.ctx());
                EXPECT_TRUE(BN_is_one(prod.get())) << "k^-1 * k != 1 mod n";
            }
        }
    }
}

TEST_P(NistEc, SigningBadLanesLeaveOthersCorrect)
{
    auto recs = recordsUnder("asymmetric/ECDSA/FIPS_186-3/SigGen.txt", std::string(api.name) + ",SHA-256", "k");
    ASSERT_GE(recs.size(), (size_t)kLanes);
    std::array<Bytes, kLanes> msg, r, s;
    std::array<Words, kLanes> k, d, kinv, rp;
    for (int i = 0; i < kLanes; ++i) {
        msg[i] = curve.digestOperand(hashOf("SHA256", recs[i].hex("Msg")));
        k[i] = wordsHex(recs[i].text("k"));
        d[i] = wordsHex(recs[i].text("d"));
        r[i] = s[i] = Bytes(curve.orderBytes);
        rp[i] = wordsHex(recs[i].text("R"));
        Bn ki = newBn();
        BN_mod_inverse(ki.get(), fromWords(k[i]).get(), curve.n.get(), curve.ctx());
        kinv[i] = words(ki.get());
    }
    k[2] = Words(curve.words, 0);
    d[3] = words(curve.n.get());
    // Lane 5: d = −e·r⁻¹ mod n makes e + r·d = 0, so s comes out zero.
    {
        Bn e = bnFromBytes(msg[5]), ri = newBn(), dz = newBn();
        BN_nnmod(e.get(), e.get(), curve.n.get(), curve.ctx());
        BN_mod_inverse(ri.get(), bnFromHex(recs[5].text("R")).get(), curve.n.get(), curve.ctx());
        BN_mod_mul(dz.get(), e.get(), ri.get(), curve.n.get(), curve.ctx());
        BN_sub(dz.get(), curve.n.get(), dz.get());
        d[5] = words(dz.get());
    }
    // Lane 6: a digest operand of n + 5, which the library reduces to 5.
    msg[6] = digestPlusOrder(5);

    auto mp = inLanes(msg);
    auto kp = inLanes(k), dp = inLanes(d);
    auto rOut = outLanes(r), sOut = outLanes(s);
    mp[1] = nullptr;
    sOut[4] = nullptr;
    tzv_status sts = api.sign(rOut.data(), sOut.data(), mp.data(), kp.data(), dp.data(), nullptr);
    const unsigned expectedSign[kLanes] = {kOk, kNull, kBad, kBad, kNull, kSig, kOk, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), expectedSign[i]) << "sign, lane " << i;
    for (int i : {0, 7}) {
        EXPECT_EQ(r[i], orderBytesHex(recs[i].text("R"))) << "lane " << i;
        EXPECT_EQ(s[i], orderBytesHex(recs[i].text("S"))) << "lane " << i;
    }
    auto checkReducedDigestLane = [&](const char* what) {
        Bn x, y;
        curve.publicKey(fromWords(d[6]).get(), x, y);
        Pkey pub = makePkey("EC", api.name, curve, nullptr, x.get(), y.get());
        Bytes five(32, 0);
        five[31] = 5;
        EXPECT_EQ(r[6], orderBytesHex(recs[6].text("R"))) << what;
        EXPECT_TRUE(opensslVerifyDigest(pub.get(), five, r[6], s[6])) << what << ": digest n + 5 not signed as 5";
    };
    checkReducedDigestLane("sign");

    // The same lanes through the two-step path, with its own inputs broken instead.
    for (auto& v : r) std::fill(v.begin(), v.end(), 0);
    for (auto& v : s) std::fill(v.begin(), v.end(), 0);
    std::array<Words, kLanes> k2 = k;
    k2[2] = wordsHex(recs[2].text("k"));
    rp[2] = Words(curve.words, 0);   // r = 0 is not a valid precomputed r
    kinv[3] = words(curve.n.get());  // k⁻¹ = n
    d[3] = wordsHex(recs[3].text("d"));
    auto rpIn = inLanes(rp), kinvIn = inLanes(kinv);
    dp = inLanes(d);
    mp = inLanes(msg);
    rOut = outLanes(r);
    sOut = outLanes(s);
    rpIn[1] = nullptr;
    dp[4] = nullptr;
    sts = api.signComplete(rOut.data(), sOut.data(), mp.data(), rpIn.data(), kinvIn.data(), dp.data(), nullptr);
    const unsigned expectedComplete[kLanes] = {kOk, kNull, kBad, kBad, kNull, kSig, kOk, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), expectedComplete[i]) << "complete, lane " << i;
    for (int i : {0, 7}) {
        EXPECT_EQ(r[i], orderBytesHex(recs[i].text("R"))) << "lane " << i;
        EXPECT_EQ(s[i], orderBytesHex(recs[i].text("S"))) << "lane " << i;
    }
    checkReducedDigestLane("complete");

    // And the setup step alone.
    std::array<Words, kLanes> kinvOut, rpOut;
    for (int i = 0; i < kLanes; ++i) kinvOut[i] = rpOut[i] = Words(curve.words);
    k2[2] = Words(curve.words, 0);
    k2[3] = words(curve.n.get());
    auto k2p = inLanes(k2);
    auto kinvp = outLanes(kinvOut), rpp = outLanes(rpOut);
    k2p[1] = nullptr;
    kinvp[4] = nullptr;
    sts = api.signSetup(kinvp.data(), rpp.data(), k2p.data(), nullptr);
    const unsigned expectedSetup[kLanes] = {kOk, kNull, kBad, kBad, kNull, kOk, kOk, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), expectedSetup[i]) << "setup, lane " << i;
    for (int i : {0, 5, 6, 7}) {
        EXPECT_EQ(rpOut[i], wordsHex(recs[i].text("R"))) << "lane " << i;
        EXPECT_EQ(kinvOut[i], kinv[i]) << "lane " << i;
    }
}

// ---- verification ----

TEST_P(NistEc, VerifyMatchesSigVerVectors)
{
    int chunk = 0;
    for (const auto& hash : kHashes) {
        auto recs = recordsUnder("asymmetric/ECDSA/FIPS_186-3/SigVer.rsp", std::string(api.name) + "," + hash[0], "Result");
        ASSERT_EQ(recs.size(), 15u) << hash[0];
        for (size_t start = 0; start < recs.size(); start += kLanes, ++chunk) {
            const bool jacobian = chunk % 2 == 1;
            std::array<Bytes, kLanes> msg, r, s;
            std::array<Words, kLanes> X, Y, Z;
            std::array<const vectors::Record*, kLanes> rec;
            for (int i = 0; i < kLanes; ++i) {
                rec[i] = &recs[(start + i) % recs.size()];
                msg[i] = curve.digestOperand(hashOf(hash[1], rec[i]->hex("Msg")));
                r[i] = orderBytesHex(rec[i]->text("R"));
                s[i] = orderBytesHex(rec[i]->text("S"));
                Key q = key(bnFromHex(rec[i]->text("Qx")).get(), bnFromHex(rec[i]->text("Qy")).get(), jacobian);
                X[i] = q.x;
                Y[i] = q.y;
                Z[i] = q.z;
            }
            auto rp = inLanes(r), sp = inLanes(s), mp = inLanes(msg);
            auto xp = inLanes(X), yp = inLanes(Y), zp = inLanes(Z);
            tzv_status sts = api.verify(rp.data(), sp.data(), mp.data(), xp.data(), yp.data(),
                                        jacobian ? zp.data() : nullptr, nullptr);
            for (int i = 0; i < kLanes; ++i) {
                const std::string& result = rec[i]->text("Result");
                EXPECT_EQ(laneStatus(sts, i), result[0] == 'P' ? kOk : kSig)
                    << hash[0] << ", line " << rec[i]->line << ": " << result << (jacobian ? " (Jacobian)" : " (affine)");
            }
        }
    }
}

// x(R) may lie in [n, p) and then r = x(R) − n: rare for real signatures, so built here. With R
// chosen first, Q = u2⁻¹·(R − u1·G) makes u1·G + u2·Q = R. Odd lanes carry r + 1 and must fail.
TEST_P(NistEc, VerifyAcceptsRFromAnXAtOrAboveN)
{
    using PointPtr = std::unique_ptr<EC_POINT, decltype(&EC_POINT_free)>;
    BN_CTX* ctx = curve.ctx();
    PointPtr R(EC_POINT_new(curve.group()), EC_POINT_free), Q(EC_POINT_new(curve.group()), EC_POINT_free);
    Bn x = bnCopy(curve.n.get());
    ASSERT_TRUE(BN_add_word(x.get(), 1)); // r = 0 is no signature
    while (!EC_POINT_set_compressed_coordinates(curve.group(), R.get(), x.get(), 0, ctx)) {
        ERR_clear_error();
        ASSERT_TRUE(BN_add_word(x.get(), 1));
    }
    ASSERT_LT(BN_cmp(x.get(), curve.p.get()), 0);
    Bn r = newBn(), rBad = newBn();
    ASSERT_TRUE(BN_sub(r.get(), x.get(), curve.n.get()) && BN_copy(rBad.get(), r.get()) && BN_add_word(rBad.get(), 1));
    std::array<Bytes, kLanes> msg, rs, ss;
    std::array<Words, kLanes> X, Y, Z;
    for (int i = 0; i < kLanes; ++i) {
        Bn e = curve.randomScalar(rng), s = curve.randomScalar(rng), w = newBn(), u1 = newBn(), u2i = newBn(),
           g = newBn(), qx = newBn(), qy = newBn();
        const BIGNUM* n = curve.n.get();
        ASSERT_TRUE(BN_mod_inverse(w.get(), s.get(), n, ctx) && BN_mod_mul(u1.get(), e.get(), w.get(), n, ctx) &&
                    BN_mod_mul(u2i.get(), r.get(), w.get(), n, ctx) && BN_mod_inverse(u2i.get(), u2i.get(), n, ctx) &&
                    BN_mod_mul(g.get(), u1.get(), u2i.get(), n, ctx) && BN_mod_sub(g.get(), n, g.get(), n, ctx));
        ASSERT_TRUE(EC_POINT_mul(curve.group(), Q.get(), g.get(), R.get(), u2i.get(), ctx) &&
                    EC_POINT_get_affine_coordinates(curve.group(), Q.get(), qx.get(), qy.get(), ctx));
        Key q = key(qx.get(), qy.get(), i % 4 >= 2);
        X[i] = q.x;
        Y[i] = q.y;
        Z[i] = q.z;
        msg[i] = toBytes(e.get(), curve.orderBytes);
        rs[i] = toBytes(i % 2 ? rBad.get() : r.get(), curve.orderBytes);
        ss[i] = toBytes(s.get(), curve.orderBytes);
    }
    auto rp = inLanes(rs), sp = inLanes(ss), mp = inLanes(msg);
    auto xp = inLanes(X), yp = inLanes(Y), zp = inLanes(Z);
    tzv_status sts = api.verify(rp.data(), sp.data(), mp.data(), xp.data(), yp.data(), zp.data(), nullptr);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), i % 2 ? kSig : kOk) << "lane " << i;
}

TEST_P(NistEc, VerifyBadLanesLeaveOthersCorrect)
{
    auto recs = recordsUnder("asymmetric/ECDSA/FIPS_186-3/SigGen.txt", std::string(api.name) + ",SHA-256", "k");
    ASSERT_GE(recs.size(), (size_t)kLanes);
    std::array<Bytes, kLanes> msg, r, s;
    std::array<Words, kLanes> X, Y, Z;
    for (int i = 0; i < kLanes; ++i) {
        msg[i] = curve.digestOperand(hashOf("SHA256", recs[i].hex("Msg")));
        r[i] = orderBytesHex(recs[i].text("R"));
        s[i] = orderBytesHex(recs[i].text("S"));
        Key q = key(bnFromHex(recs[i].text("Qx")).get(), bnFromHex(recs[i].text("Qy")).get(), true);
        X[i] = q.x;
        Y[i] = q.y;
        Z[i] = q.z;
    }
    std::fill(r[1].begin(), r[1].end(), 0);          // r = 0
    s[2] = orderBytes(curve.n.get());                // s = n
    s[3].back() ^= 0x01;                             // corrupted s
    {                                                // Y + 1: off the curve
        Bn y = fromWords(Y[6]);
        BN_add_word(y.get(), 1);
        BN_nnmod(y.get(), y.get(), curve.p.get(), curve.ctx());
        Y[6] = words(y.get());
    }
    Z[7] = Words(curve.words, 0);                     // Z = 0
    auto rp = inLanes(r), sp = inLanes(s), mp = inLanes(msg);
    auto xp = inLanes(X), yp = inLanes(Y), zp = inLanes(Z);
    mp[4] = nullptr;
    zp[5] = nullptr;
    tzv_status sts = api.verify(rp.data(), sp.data(), mp.data(), xp.data(), yp.data(), zp.data(), nullptr);
    const unsigned expected[kLanes] = {kOk, kSig, kSig, kSig, kNull, kNull, kBad, kBad};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), expected[i]) << "lane " << i << ", " << laneText(sts);

    // Affine keys: a coordinate not below p, a digest operand above n, a null key lane.
    for (int i = 0; i < kLanes; ++i) {
        msg[i] = curve.digestOperand(hashOf("SHA256", recs[i].hex("Msg")));
        r[i] = orderBytesHex(recs[i].text("R"));
        s[i] = orderBytesHex(recs[i].text("S"));
        X[i] = wordsHex(recs[i].text("Qx"));
        Y[i] = wordsHex(recs[i].text("Qy"));
    }
    {
        Bn x = bnFromHex(recs[1].text("Qx"));
        BN_add(x.get(), x.get(), curve.p.get()); // the same residue, but not a canonical coordinate
        X[1] = words(BN_num_bits(x.get()) <= 64 * curve.words ? x.get() : curve.p.get());
    }
    {
        Bn dk = curve.randomScalar(rng), x, y;
        curve.publicKey(dk.get(), x, y);
        Pkey pkey = makePkey("EC", api.name, curve, dk.get(), x.get(), y.get());
        Bytes five(32, 0);
        five[31] = 5;
        opensslSignDigest(pkey.get(), five, curve.orderBytes, r[2], s[2]);
        msg[2] = digestPlusOrder(5);
        X[2] = words(x.get());
        Y[2] = words(y.get());
    }
    rp = inLanes(r);
    sp = inLanes(s);
    mp = inLanes(msg);
    xp = inLanes(X);
    yp = inLanes(Y);
    xp[3] = nullptr;
    sts = api.verify(rp.data(), sp.data(), mp.data(), xp.data(), yp.data(), nullptr, nullptr);
    const unsigned expectedAffine[kLanes] = {kOk, kBad, kOk, kNull, kOk, kOk, kOk, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), expectedAffine[i]) << "affine, lane " << i;
}

// ---- ECDH ----

TEST_P(NistEc, EcdhMatchesKasVectors)
{
    struct Job {
        Bn d, qx, qy;
        unsigned status;
        Bytes z;     // the shared secret of the vector
        bool equal;  // whether the result must equal z (else it must differ)
        int line;
    };
    std::vector<Job> jobs;
    for (const char* file : {"asymmetric/ECDH/KASValidityTest_ECCStaticUnified_NOKC_ZZOnly_init.fax",
                             "asymmetric/ECDH/KASValidityTest_ECCStaticUnified_NOKC_ZZOnly_resp.fax"}) {
        for (auto& rec : recordsUnder(file, api.kasSection, "Result")) {
            const std::string& result = rec.text("Result");
            Bytes z = toBytes(bnFromHex(rec.text("Z")).get(), curve.fieldBytes);
            auto add = [&](const char* d, const char* qx, const char* qy, unsigned status, bool equal) {
                jobs.push_back({bnFromHex(rec.text(d)), bnFromHex(rec.text(qx)), bnFromHex(rec.text(qy)), status, z,
                                equal, rec.line});
            };
            if (result[0] == 'P') {
                add("dsIUT", "QsCAVSx", "QsCAVSy", kOk, true);
                add("dsCAVS", "QsIUTx", "QsIUTy", kOk, true);
            } else if (result.find("(1 -") != std::string::npos || result.find("(2 -") != std::string::npos) {
                add("dsIUT", "QsCAVSx", "QsCAVSy", kBad, false); // CAVS's key fails validation
            } else if (result.find("(5 -") != std::string::npos || result.find("(6 -") != std::string::npos) {
                add("dsCAVS", "QsIUTx", "QsIUTy", kBad, false); // IUT's key fails validation
            } else {
                // A changed d or a changed Z; a changed d may leave [1, n-1].
                Bn d = bnFromHex(rec.text("dsIUT"));
                bool inRange = !BN_is_zero(d.get()) && BN_cmp(d.get(), curve.n.get()) < 0;
                add("dsIUT", "QsCAVSx", "QsCAVSy", inRange ? kOk : kBad, false);
            }
        }
    }
    ASSERT_GE(jobs.size(), 50u);
    for (size_t start = 0, chunk = 0; start < jobs.size(); start += kLanes, ++chunk) {
        const bool jacobian = chunk % 2 == 1;
        std::array<Words, kLanes> d, X, Y, Z;
        std::array<Bytes, kLanes> shared;
        std::array<const Job*, kLanes> job;
        for (int i = 0; i < kLanes; ++i) {
            job[i] = &jobs[(start + i) % jobs.size()];
            d[i] = words(job[i]->d.get());
            // An invalid coordinate (not below p) has no Jacobian form; such keys go in affine.
            bool canonical = BN_cmp(job[i]->qx.get(), curve.p.get()) < 0 && BN_cmp(job[i]->qy.get(), curve.p.get()) < 0;
            Key q = key(job[i]->qx.get(), job[i]->qy.get(), jacobian && canonical);
            X[i] = q.x;
            Y[i] = q.y;
            Z[i] = q.z;
            shared[i] = Bytes(curve.fieldBytes);
        }
        auto dp = inLanes(d), xp = inLanes(X), yp = inLanes(Y), zp = inLanes(Z);
        auto sp = outLanes(shared);
        tzv_status sts = api.ecdh(sp.data(), dp.data(), xp.data(), yp.data(), jacobian ? zp.data() : nullptr, nullptr);
        for (int i = 0; i < kLanes; ++i) {
            SCOPED_TRACE("line " + std::to_string(job[i]->line) + (jacobian ? " (Jacobian)" : " (affine)"));
            EXPECT_EQ(laneStatus(sts, i), job[i]->status);
            if (job[i]->status != kOk) continue;
            if (job[i]->equal) {
                EXPECT_EQ(shared[i], job[i]->z);
            } else {
                EXPECT_NE(shared[i], job[i]->z);
            }
        }
    }
}

TEST_P(NistEc, EcdhBadLanesLeaveOthersCorrect)
{
    std::array<Words, kLanes> d, X, Y, Z;
    std::array<Bytes, kLanes> shared, expected;
    for (int i = 0; i < kLanes; ++i) {
        Bn di = curve.randomScalar(rng), dq = curve.randomScalar(rng), x, y;
        curve.publicKey(dq.get(), x, y);
        d[i] = words(di.get());
        Key q = key(x.get(), y.get(), true);
        X[i] = q.x;
        Y[i] = q.y;
        Z[i] = q.z;
        expected[i] = curve.sharedX(di.get(), x.get(), y.get());
        shared[i] = Bytes(curve.fieldBytes);
    }
    d[2] = Words(curve.words, 0);
    d[3] = words(curve.n.get());
    X[5][0] ^= 1; // off the curve
    Z[6] = Words(curve.words, 0);
    auto dp = inLanes(d), xp = inLanes(X), yp = inLanes(Y), zp = inLanes(Z);
    auto sp = outLanes(shared);
    sp[1] = nullptr;
    yp[4] = nullptr;
    tzv_status sts = api.ecdh(sp.data(), dp.data(), xp.data(), yp.data(), zp.data(), nullptr);
    const unsigned want[kLanes] = {kOk, kNull, kBad, kBad, kNull, kBad, kBad, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), want[i]) << "lane " << i;
    EXPECT_EQ(shared[0], expected[0]);
    EXPECT_EQ(shared[7], expected[7]);
}

// ---- random cases against OpenSSL ----

TEST_P(NistEc, RandomCasesAgreeWithOpenSsl)
{
    for (int round = 0; round < 2; ++round) {
        std::array<Bn, kLanes> d;
        std::array<Bn, kLanes> qx, qy;
        std::array<Pkey, kLanes> pkey;
        std::array<Bytes, kLanes> digest, msg, r, s, osslR, osslS, shared;
        std::array<Words, kLanes> dw, kw, X, Y, Z, PX, PY, PZ;
        for (int i = 0; i < kLanes; ++i) {
            d[i] = curve.randomScalar(rng);
            curve.publicKey(d[i].get(), qx[i], qy[i]);
            pkey[i] = makePkey("EC", api.name, curve, d[i].get(), qx[i].get(), qy[i].get());
            digest[i] = Bytes(api.digestBytes);
            for (auto& c : digest[i]) c = (uint8_t)rng();
            msg[i] = curve.digestOperand(digest[i]);
            dw[i] = words(d[i].get());
            kw[i] = words(curve.randomScalar(rng).get());
            r[i] = s[i] = Bytes(curve.orderBytes);
            shared[i] = Bytes(curve.fieldBytes);
            PX[i] = PY[i] = PZ[i] = Words(curve.words);
            Key q = key(qx[i].get(), qy[i].get(), true);
            X[i] = q.x;
            Y[i] = q.y;
            Z[i] = q.z;
            opensslSignDigest(pkey[i].get(), digest[i], curve.orderBytes, osslR[i], osslS[i]);
        }
        auto dp = inLanes(dw), kp = inLanes(kw), xp = inLanes(X), yp = inLanes(Y), zp = inLanes(Z);
        auto mp = inLanes(msg);

        // Public keys against OpenSSL's d·G.
        auto pxp = outLanes(PX), pyp = outLanes(PY), pzp = outLanes(PZ);
        EXPECT_EQ(api.publicKey(pxp.data(), pyp.data(), pzp.data(), dp.data(), nullptr), 0u);
        for (int i = 0; i < kLanes; ++i) {
            Bn x, y;
            curve.toAffine(PX[i], PY[i], PZ[i], x, y);
            EXPECT_EQ(BN_cmp(x.get(), qx[i].get()), 0) << "lane " << i;
            EXPECT_EQ(BN_cmp(y.get(), qy[i].get()), 0) << "lane " << i;
        }

        // Our signatures pass OpenSSL's verify.
        auto rOut = outLanes(r), sOut = outLanes(s);
        EXPECT_EQ(api.sign(rOut.data(), sOut.data(), mp.data(), kp.data(), dp.data(), nullptr), 0u);
        for (int i = 0; i < kLanes; ++i)
            EXPECT_TRUE(opensslVerifyDigest(pkey[i].get(), digest[i], r[i], s[i])) << "lane " << i;

        // OpenSSL's signatures pass ours (Jacobian keys); a changed digest fails.
        auto orp = inLanes(osslR), osp = inLanes(osslS);
        EXPECT_EQ(api.verify(orp.data(), osp.data(), mp.data(), xp.data(), yp.data(), zp.data(), nullptr), 0u);
        std::array<Bytes, kLanes> changed = msg;
        for (auto& m : changed) m.back() ^= 0x80;
        auto cp = inLanes(changed);
        EXPECT_EQ(api.verify(orp.data(), osp.data(), cp.data(), xp.data(), yp.data(), zp.data(), nullptr), 0x88888888u);

        // ECDH of lane i's key with lane i+1's public key, against OpenSSL's derive.
        std::array<Words, kLanes> NX, NY, NZ;
        for (int i = 0; i < kLanes; ++i) {
            int j = (i + 1) % kLanes;
            NX[i] = X[j];
            NY[i] = Y[j];
            NZ[i] = Z[j];
        }
        auto nxp = inLanes(NX), nyp = inLanes(NY), nzp = inLanes(NZ);
        auto shp = outLanes(shared);
        EXPECT_EQ(api.ecdh(shp.data(), dp.data(), nxp.data(), nyp.data(), nzp.data(), nullptr), 0u);
        for (int i = 0; i < kLanes; ++i) {
            Pkey peer = makePkey("EC", api.name, curve, nullptr, qx[(i + 1) % kLanes].get(), qy[(i + 1) % kLanes].get());
            Pctx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey[i].get(), nullptr));
            Bytes want(curve.fieldBytes);
            size_t len = want.size();
            ASSERT_TRUE(ctx && EVP_PKEY_derive_init(ctx.get()) > 0 && EVP_PKEY_derive_set_peer(ctx.get(), peer.get()) > 0 &&
                        EVP_PKEY_derive(ctx.get(), want.data(), &len) > 0);
            EXPECT_EQ(shared[i], want) << "lane " << i;
        }
    }
}

// Groups are built once on first use and workspaces are per thread: calls from several threads at
// once, each thread with its own keys, must all come out right.
TEST_P(NistEc, ConcurrentCallsFromSeveralThreads)
{
    constexpr int kThreads = 4;
    std::array<std::array<Bn, kLanes>, kThreads> d, wx, wy;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLanes; ++i) {
            d[t][i] = curve.randomScalar(rng);
            curve.publicKey(d[t][i].get(), wx[t][i], wy[t][i]);
        }
    std::array<std::array<Words, kLanes>, kThreads> X, Y, Z;
    std::array<tzv_status, kThreads> sts{};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::array<Words, kLanes> dw;
            for (int i = 0; i < kLanes; ++i) {
                dw[i] = toWords(d[t][i].get(), curve.words);
                X[t][i] = Y[t][i] = Z[t][i] = Words(curve.words);
            }
            auto dp = inLanes(dw);
            auto xp = outLanes(X[t]), yp = outLanes(Y[t]), zp = outLanes(Z[t]);
            for (int round = 0; round < 3; ++round) sts[t] |= api.publicKey(xp.data(), yp.data(), zp.data(), dp.data(), nullptr);
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(sts[t], 0u) << "thread " << t;
        for (int i = 0; i < kLanes; ++i) {
            Bn x, y;
            curve.toAffine(X[t][i], Y[t][i], Z[t][i], x, y);
            EXPECT_EQ(BN_cmp(x.get(), wx[t][i].get()), 0) << "thread " << t << ", lane " << i;
            EXPECT_EQ(BN_cmp(y.get(), wy[t][i].get()), 0) << "thread " << t << ", lane " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Curves, NistEc, ::testing::ValuesIn(kCurves),
                         [](const ::testing::TestParamInfo<NistApi>& info) {
                             std::string n = info.param.name;
                             n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
                             return n;
                         });

} // namespace
