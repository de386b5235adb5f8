// Tests of the 8-lane Ed25519 functions of libtzvcrypto: the sign.input set of the vector package
// (its first entry is RFC 8032 test 1), eight different keys and messages per call, and bad lanes:
// corrupted signatures, S >= L, a public key that is no point, a key of another signer, null pointers.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "ec_test_support.h"

using namespace ectest;

namespace {

constexpr unsigned kOk = TZV_STS_OK, kBad = TZV_STS_BAD_PARAM, kNull = TZV_STS_NULL_PARAM,
                   kSig = TZV_STS_SIGNATURE;

using Key = std::array<uint8_t, 32>;

struct SignCase {
    Key seed, pub, r, s;
    Bytes msg;
};

Key key32(const Bytes& b, size_t offset = 0)
{
    Key k{};
    std::copy(b.begin() + offset, b.begin() + offset + 32, k.begin());
    return k;
}

// Lines of "seed‖pub : pub : message : signature‖message :", all hex.
const std::vector<SignCase>& signInput()
{
    static const std::vector<SignCase> cases = [] {
        std::vector<SignCase> out;
        std::ifstream in(vectors::path("asymmetric/Ed25519/sign.input"));
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::stringstream ss(line);
            for (std::string part; std::getline(ss, part, ':');) f.push_back(part);
            if (f.size() < 4) continue;
            Bytes sig = vectors::fromHex(f[3]);
            out.push_back({key32(vectors::fromHex(f[0])), key32(vectors::fromHex(f[1])), key32(sig), key32(sig, 32),
                           vectors::fromHex(f[2])});
        }
        return out;
    }();
    return cases;
}

// The lane arrays of one call over 8 cases; pointers and lengths can be edited before the call.
struct EdLanes {
    std::array<SignCase, kLanes> c;
    std::array<Key, kLanes> outPub{}, outR{}, outS{};
    std::array<const tzv_ed25519_private_key*, kLanes> seed{};
    std::array<const tzv_ed25519_public_key*, kLanes> pub{};
    std::array<const tzv_ed25519_sign_component*, kLanes> r{}, s{};
    std::array<const int8u*, kLanes> msg{};
    std::array<int32u, kLanes> len{};
    std::array<tzv_ed25519_public_key*, kLanes> pubOut{};
    std::array<tzv_ed25519_sign_component*, kLanes> rOut{}, sOut{};

    explicit EdLanes(size_t start)
    {
        static const uint8_t empty[1] = {0};
        for (int i = 0; i < kLanes; ++i) {
            c[i] = signInput()[(start + i) % signInput().size()];
            seed[i] = reinterpret_cast<const tzv_ed25519_private_key*>(c[i].seed.data());
            pub[i] = reinterpret_cast<const tzv_ed25519_public_key*>(c[i].pub.data());
            r[i] = reinterpret_cast<const tzv_ed25519_sign_component*>(c[i].r.data());
            s[i] = reinterpret_cast<const tzv_ed25519_sign_component*>(c[i].s.data());
            msg[i] = c[i].msg.empty() ? empty : c[i].msg.data();
            len[i] = (int32u)c[i].msg.size();
            pubOut[i] = reinterpret_cast<tzv_ed25519_public_key*>(outPub[i].data());
            rOut[i] = reinterpret_cast<tzv_ed25519_sign_component*>(outR[i].data());
            sOut[i] = reinterpret_cast<tzv_ed25519_sign_component*>(outS[i].data());
        }
    }
    tzv_status publicKeys() { return tzv_ed25519_public_key_mb8(pubOut.data(), seed.data()); }
    tzv_status sign()
    {
        return tzv_ed25519_sign_mb8(rOut.data(), sOut.data(), msg.data(), len.data(), seed.data(), pub.data());
    }
    tzv_status verify() { return tzv_ed25519_verify_mb8(r.data(), s.data(), msg.data(), len.data(), pub.data()); }
};

// The group order L, little-endian.
const Key kOrder = key32(vectors::fromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010"));

Key plusOrder(const Key& s)
{
    Key sum;
    for (int i = 0, carry = 0; i < 32; ++i, carry >>= 8) sum[i] = (uint8_t)(carry += s[i] + kOrder[i]);
    return sum;
}

} // namespace

// All 1024 entries, eight per call: each lane's public key, signature and verification.
TEST(TzvEd25519, SignInputVectors)
{
    ASSERT_EQ(signInput().size(), 1024u);
    for (size_t start = 0; start < signInput().size(); start += kLanes) {
        EdLanes call(start);
        ASSERT_EQ(call.publicKeys(), 0u) << start;
        ASSERT_EQ(call.sign(), 0u) << start;
        ASSERT_EQ(call.verify(), 0u) << start;
        for (int i = 0; i < kLanes; ++i) {
            const SignCase& c = call.c[i];
            EXPECT_EQ(std::tie(call.outPub[i], call.outR[i], call.outS[i]), std::tie(c.pub, c.r, c.s)) << start + i;
        }
    }
}

// One kind of damage per lane, for each function; the intact lanes are still right.
TEST(TzvEd25519, BadLanesNextToGoodOnes)
{
    const Key notAPoint{2}; // y = 2: (y² - 1)/(d·y² + 1) is no square mod p, so no x exists
    for (size_t start : {0, 500}) {
        EdLanes call(start);
        call.c[0].r[0] ^= 0x01; // R changed
        call.c[1].s[5] ^= 0x20; // S changed, still below L
        if (call.c[2].msg.empty()) call.len[2] = 1; // message changed: one byte longer, or a bit flipped
        else call.c[2].msg[0] ^= 0x80;
        call.c[3].pub = call.c[4].pub;           // another signer's key
        call.c[4].s = plusOrder(call.c[4].s);    // S + L: the same value mod L, but not canonical
        call.c[5].s = kOrder;                    // S = L
        call.c[6].pub = notAPoint;
        tzv_status sts = call.verify();
        const unsigned want[kLanes] = {kSig, kSig, kSig, kSig, kBad, kBad, kSig, kOk};
        for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), want[i]) << start << " lane " << i;
    }
    EdLanes v(40);
    v.c[0].r = notAPoint, v.c[1].s.fill(0xFF), v.len[2] -= 1; // a truncated message
    v.r[3] = nullptr, v.s[4] = nullptr, v.msg[5] = nullptr, v.pub[6] = nullptr;
    tzv_status sts = v.verify();
    const unsigned wantVerify[kLanes] = {kSig, kBad, kSig, kNull, kNull, kNull, kNull, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), wantVerify[i]) << "verify lane " << i;

    EdLanes k(100);
    k.pubOut[1] = nullptr, k.seed[2] = nullptr;
    sts = k.publicKeys();
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), (i == 1 || i == 2) ? kNull : kOk) << i;
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(k.outPub[i], i == 1 || i == 2 ? Key{} : k.c[i].pub) << i;

    EdLanes s(200);
    s.rOut[0] = nullptr, s.sOut[1] = nullptr, s.msg[2] = nullptr, s.seed[3] = nullptr, s.pub[4] = nullptr;
    s.pub[5] = s.pub[6]; // not lane 5's own key
    sts = s.sign();
    const unsigned wantSign[kLanes] = {kNull, kNull, kNull, kNull, kNull, kBad, kOk, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), wantSign[i]) << "sign lane " << i;
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(s.outR[i], i < 6 ? Key{} : s.c[i].r) << i;
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(s.outS[i], i < 6 ? Key{} : s.c[i].s) << i;

    // Whole arrays missing, the length array included.
    EXPECT_EQ(tzv_ed25519_verify_mb8(v.r.data(), v.s.data(), v.msg.data(), nullptr, v.pub.data()), 0x22222222u);
    EXPECT_EQ(tzv_ed25519_sign_mb8(v.rOut.data(), v.sOut.data(), v.msg.data(), nullptr, v.seed.data(), v.pub.data()),
              0x22222222u);
    EXPECT_EQ(tzv_ed25519_public_key_mb8(nullptr, v.seed.data()), 0x22222222u);
}
