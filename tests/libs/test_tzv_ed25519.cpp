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
using Priv = tzv_ed25519_private_key;
using Pub = tzv_ed25519_public_key;
using Sig = tzv_ed25519_sign_component;

// 32 bytes of a hex string, from byte `offset` on.
Key key32(const std::string& hex, size_t offset = 0)
{
    Key k{};
    const Bytes b = vectors::fromHex(hex);
    std::copy_n(b.begin() + offset, 32, k.begin());
    return k;
}

struct SignCase {
    Key seed, pub, r, s;
    Bytes msg;
};

// Lines of "seed‖pub : pub : message : signature‖message :", all hex.
const std::vector<SignCase>& signInput()
{
    static const std::vector<SignCase> cases = [] {
        std::vector<SignCase> out;
        std::ifstream in(vectors::path("asymmetric/Ed25519/sign.input"));
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> f;
            std::stringstream ss(line);
            for (std::string part; std::getline(ss, part, ':');) f.push_back(part);
            if (f.size() >= 4)
                out.push_back({key32(f[0]), key32(f[1]), key32(f[3]), key32(f[3], 32), vectors::fromHex(f[2])});
        }
        return out;
    }();
    return cases;
}

template <class T>
T* as(Key& k) { return reinterpret_cast<T*>(k.data()); }

// The lane arrays of one call over 8 consecutive cases; pointers and lengths can be edited before it.
struct EdLanes {
    std::array<SignCase, kLanes> c;
    std::array<Key, kLanes> outPub{}, outR{}, outS{};
    std::array<const Priv*, kLanes> seed{};
    std::array<const Pub*, kLanes> pub{};
    std::array<const Sig*, kLanes> r{}, s{};
    std::array<const int8u*, kLanes> msg{};
    std::array<int32u, kLanes> len{};
    std::array<Pub*, kLanes> pubOut{};
    std::array<Sig*, kLanes> rOut{}, sOut{};

    explicit EdLanes(size_t start)
    {
        static const uint8_t empty[1] = {0};
        for (int i = 0; i < kLanes; ++i) {
            c[i] = signInput()[(start + i) % signInput().size()];
            seed[i] = as<const Priv>(c[i].seed), pub[i] = as<const Pub>(c[i].pub);
            r[i] = as<const Sig>(c[i].r), s[i] = as<const Sig>(c[i].s);
            msg[i] = c[i].msg.empty() ? empty : c[i].msg.data(), len[i] = (int32u)c[i].msg.size();
            pubOut[i] = as<Pub>(outPub[i]), rOut[i] = as<Sig>(outR[i]), sOut[i] = as<Sig>(outS[i]);
        }
    }
    tzv_status publicKeys() { return tzv_ed25519_public_key_mb8(pubOut.data(), seed.data()); }
    tzv_status sign()
    {
        return tzv_ed25519_sign_mb8(rOut.data(), sOut.data(), msg.data(), len.data(), seed.data(), pub.data());
    }
    tzv_status verify() { return tzv_ed25519_verify_mb8(r.data(), s.data(), msg.data(), len.data(), pub.data()); }
};

void expectLanes(tzv_status sts, const std::array<unsigned, kLanes>& want, const std::string& what)
{
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), want[i]) << what << ", lane " << i;
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
    const Key order = key32("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010"); // L
    for (size_t start : {0, 500}) {
        EdLanes call(start);
        call.c[0].r[0] ^= 0x01; // R changed
        call.c[1].s[5] ^= 0x20; // S changed, still below L
        if (call.c[2].msg.empty()) call.len[2] = 1; // message changed: one byte longer, or a bit flipped
        else call.c[2].msg[0] ^= 0x80;
        call.c[3].pub = call.c[4].pub; // another signer's key
        for (int i = 0, carry = 0; i < 32; ++i, carry >>= 8) // S + L: the same value mod L, not canonical
            call.c[4].s[i] = (uint8_t)(carry += call.c[4].s[i] + order[i]);
        call.c[5].s = order; // S = L
        call.c[6].pub = notAPoint;
        expectLanes(call.verify(), {kSig, kSig, kSig, kSig, kBad, kBad, kSig, kOk}, "verify " + std::to_string(start));
    }
    EdLanes v(40);
    v.c[0].r = notAPoint, v.c[1].s.fill(0xFF), v.len[2] -= 1; // a truncated message
    v.r[3] = nullptr, v.s[4] = nullptr, v.msg[5] = nullptr, v.pub[6] = nullptr;
    expectLanes(v.verify(), {kSig, kBad, kSig, kNull, kNull, kNull, kNull, kOk}, "verify");

    EdLanes k(100);
    k.pubOut[1] = nullptr, k.seed[2] = nullptr;
    expectLanes(k.publicKeys(), {kOk, kNull, kNull, kOk, kOk, kOk, kOk, kOk}, "public key");
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(k.outPub[i], i == 1 || i == 2 ? Key{} : k.c[i].pub) << i;

    EdLanes s(200);
    s.rOut[0] = nullptr, s.sOut[1] = nullptr, s.msg[2] = nullptr, s.seed[3] = nullptr, s.pub[4] = nullptr;
    s.pub[5] = s.pub[6]; // not lane 5's own key
    expectLanes(s.sign(), {kNull, kNull, kNull, kNull, kNull, kBad, kOk, kOk}, "sign");
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(s.outR[i], i < 6 ? Key{} : s.c[i].r) << i;
        EXPECT_EQ(s.outS[i], i < 6 ? Key{} : s.c[i].s) << i;
    }

    // Whole arrays missing, the length array included.
    EXPECT_EQ(tzv_ed25519_verify_mb8(v.r.data(), v.s.data(), v.msg.data(), nullptr, v.pub.data()), 0x22222222u);
    EXPECT_EQ(tzv_ed25519_sign_mb8(v.rOut.data(), v.sOut.data(), v.msg.data(), nullptr, v.seed.data(), v.pub.data()),
              0x22222222u);
    EXPECT_EQ(tzv_ed25519_public_key_mb8(nullptr, v.seed.data()), 0x22222222u);
}
