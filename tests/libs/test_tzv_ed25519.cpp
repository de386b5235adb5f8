// Tests of the 8-lane Ed25519 functions of libtzvcrypto: the sign.input set of the vector package
// (its first entries are the RFC 8032 test vectors), eight different keys and messages per call,
// corrupted signatures, S >= L, a public key that is no point, and null lanes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

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
    if (b.size() < offset + 32) throw std::runtime_error("short key");
    std::copy(b.begin() + offset, b.begin() + offset + 32, k.begin());
    return k;
}

// Lines of "seed‖pub : pub : message : signature‖message :", all hex.
const std::vector<SignCase>& signInput()
{
    static std::vector<SignCase> cases = [] {
        std::vector<SignCase> out;
        std::ifstream in(vectors::path("asymmetric/Ed25519/sign.input"));
        if (!in) throw std::runtime_error("cannot read sign.input");
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::stringstream ss(line);
            for (std::string part; std::getline(ss, part, ':');) f.push_back(part);
            if (f.size() < 4) continue;
            Bytes sk = vectors::fromHex(f[0]), sig = vectors::fromHex(f[3]);
            SignCase c;
            c.seed = key32(sk);
            c.pub = key32(vectors::fromHex(f[1]));
            c.msg = vectors::fromHex(f[2]);
            c.r = key32(sig);
            c.s = key32(sig, 32);
            out.push_back(c);
        }
        return out;
    }();
    return cases;
}

std::string hexStatus(tzv_status sts)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", sts);
    return buf;
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

    explicit EdLanes(const std::array<SignCase, kLanes>& cases) : c(cases)
    {
        static const uint8_t empty[1] = {0};
        for (int i = 0; i < kLanes; ++i) {
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
    tzv_status sign() { return tzv_ed25519_sign_mb8(rOut.data(), sOut.data(), msg.data(), len.data(), seed.data(), pub.data()); }
    tzv_status verify() { return tzv_ed25519_verify_mb8(r.data(), s.data(), msg.data(), len.data(), pub.data()); }
};

std::array<SignCase, kLanes> casesFrom(size_t start)
{
    const auto& all = signInput();
    std::array<SignCase, kLanes> out;
    for (int i = 0; i < kLanes; ++i) out[i] = all[(start + i) % all.size()];
    return out;
}

// L = 2^252 + 27742317777372353535851937790883648493, and S + L, little-endian.
Key littleEndian(const BIGNUM* v)
{
    Bytes be = toBytes(v, 32);
    Key k;
    std::reverse_copy(be.begin(), be.end(), k.begin());
    return k;
}
Bn groupOrder() { return bnFromHex("1000000000000000000000000000000014def9dea2f79cd65812631a5cf5d3ed"); }
Bn fromLittleEndian(const Key& k)
{
    Bytes be(k.rbegin(), k.rend());
    return bnFromBytes(be);
}

// An encoded y (sign bit clear) with no x on the curve -x² + y² = 1 + d·x²·y²: x² = (y² - 1)/(d·y² + 1)
// must be a non-square modulo p = 2^255 - 19.
Key notAPoint()
{
    Bn p = bnFromHex("7fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffed");
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    Bn d = newBn(), t = newBn(), u = newBn(), v = newBn();
    BN_set_word(t.get(), 121666);
    BN_mod_inverse(d.get(), t.get(), p.get(), ctx.get());
    BN_mul_word(d.get(), 121665);
    BN_sub(d.get(), p.get(), d.get()); // d = -121665/121666
    BN_nnmod(d.get(), d.get(), p.get(), ctx.get());
    for (unsigned long y = 2;; ++y) {
        Bn yy = bnWord(y);
        BN_mod_sqr(t.get(), yy.get(), p.get(), ctx.get());
        BN_copy(u.get(), t.get());
        BN_sub_word(u.get(), 1);
        BN_mod_mul(v.get(), d.get(), t.get(), p.get(), ctx.get());
        BN_add_word(v.get(), 1);
        BN_mod_inverse(v.get(), v.get(), p.get(), ctx.get());
        BN_mod_mul(u.get(), u.get(), v.get(), p.get(), ctx.get());
        if (BN_kronecker(u.get(), p.get(), ctx.get()) == -1) return littleEndian(yy.get());
    }
}

} // namespace

// All 1024 entries, eight per call: each lane's public key, signature and verification.
TEST(TzvEd25519, SignInputVectors)
{
    const auto& all = signInput();
    ASSERT_EQ(all.size(), 1024u);
    for (size_t start = 0; start < all.size(); start += kLanes) {
        EdLanes call(casesFrom(start));
        ASSERT_EQ(call.publicKeys(), 0u) << start;
        ASSERT_EQ(call.sign(), 0u) << start;
        ASSERT_EQ(call.verify(), 0u) << start;
        for (int i = 0; i < kLanes; ++i) {
            EXPECT_EQ(call.outPub[i], call.c[i].pub) << "entry " << start + i;
            EXPECT_EQ(call.outR[i], call.c[i].r) << "entry " << start + i;
            EXPECT_EQ(call.outS[i], call.c[i].s) << "entry " << start + i;
        }
    }
}

// The harness's pattern: every lane reads the same key and the empty message (RFC 8032 test 1) and
// writes its own slot.
TEST(TzvEd25519, SharedInputsEmptyMessage)
{
    SignCase rfc1 = signInput()[0];
    ASSERT_TRUE(rfc1.msg.empty());
    std::array<SignCase, kLanes> same;
    same.fill(rfc1);
    EdLanes call(same);
    const uint8_t zero[1] = {0};
    for (int i = 0; i < kLanes; ++i) {
        call.seed[i] = call.seed[0];
        call.pub[i] = call.pub[0];
        call.msg[i] = zero;
    }
    ASSERT_EQ(call.publicKeys(), 0u);
    ASSERT_EQ(call.sign(), 0u);
    ASSERT_EQ(call.verify(), 0u);
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(call.outPub[i], rfc1.pub) << i;
        EXPECT_EQ(call.outR[i], rfc1.r) << i;
        EXPECT_EQ(call.outS[i], rfc1.s) << i;
    }
}

// One kind of damage per lane; the intact lane still verifies.
TEST(TzvEd25519, CorruptedSignaturesAndMalformedInput)
{
    for (size_t start : {0, 8, 500, 1016}) {
        EdLanes call(casesFrom(start));
        Bn L = groupOrder();
        call.c[0].r[0] ^= 0x01;                // R changed
        call.c[1].s[5] ^= 0x20;                // S changed, still below L
        if (call.c[2].msg.empty()) call.len[2] = 1; // message changed: one byte longer, or a bit flipped
        else call.c[2].msg[0] ^= 0x80;
        call.c[3].pub = call.c[(3 + 1) % kLanes].pub; // another signer's key
        Bn s4 = fromLittleEndian(call.c[4].s);
        BN_add(s4.get(), s4.get(), L.get());
        call.c[4].s = littleEndian(s4.get()); // S + L: the same value mod L, but not canonical
        call.c[5].s = littleEndian(L.get());  // S = L
        call.c[6].pub = notAPoint();
        tzv_status sts = call.verify();
        const unsigned want[kLanes] = {kSig, kSig, kSig, kSig, kBad, kBad, kSig, kOk};
        for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), want[i]) << start << " lane " << i << " " << hexStatus(sts);
    }

    // R that is no point, S of all ones, a truncated message.
    EdLanes call(casesFrom(40));
    call.c[0].r = notAPoint();
    call.c[1].s.fill(0xFF);
    ASSERT_GT(call.len[2], 0u);
    call.len[2] -= 1;
    tzv_status sts = call.verify();
    EXPECT_EQ(tzv_get_lane_sts(sts, 0), kSig);
    EXPECT_EQ(tzv_get_lane_sts(sts, 1), kBad);
    EXPECT_EQ(tzv_get_lane_sts(sts, 2), kSig);
    for (int i = 3; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), kOk) << i;
}

// Null lanes and a public key that does not belong to the private key; the other lanes are right.
TEST(TzvEd25519, NullLanesAndMismatchedKey)
{
    EdLanes call(casesFrom(100));
    call.pubOut[1] = nullptr;
    call.seed[2] = nullptr;
    tzv_status sts = call.publicKeys();
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(tzv_get_lane_sts(sts, i), (i == 1 || i == 2) ? kNull : kOk) << i;
        if (i != 1 && i != 2) {
            EXPECT_EQ(call.outPub[i], call.c[i].pub) << i;
        }
    }
    EXPECT_EQ(call.outPub[2], Key{});

    EdLanes s(casesFrom(200));
    s.rOut[0] = nullptr;
    s.sOut[1] = nullptr;
    s.msg[2] = nullptr;
    s.seed[3] = nullptr;
    s.pub[4] = nullptr;
    s.pub[5] = s.pub[6]; // not lane 5's own key
    sts = s.sign();
    const unsigned want[kLanes] = {kNull, kNull, kNull, kNull, kNull, kBad, kOk, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), want[i]) << "sign lane " << i << " " << hexStatus(sts);
    for (int i = 6; i < kLanes; ++i) {
        EXPECT_EQ(s.outR[i], s.c[i].r) << i;
        EXPECT_EQ(s.outS[i], s.c[i].s) << i;
    }
    EXPECT_EQ(s.outR[5], Key{});

    EdLanes v(casesFrom(300));
    v.r[0] = nullptr;
    v.s[1] = nullptr;
    v.msg[2] = nullptr;
    v.pub[3] = nullptr;
    sts = v.verify();
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), i < 4 ? kNull : kOk) << "verify lane " << i;

    // Whole arrays missing, the length array included.
    EXPECT_EQ(tzv_ed25519_verify_mb8(v.r.data(), v.s.data(), v.msg.data(), nullptr, v.pub.data()), 0x22222222u);
    EXPECT_EQ(tzv_ed25519_sign_mb8(v.rOut.data(), v.sOut.data(), v.msg.data(), nullptr, v.seed.data(), v.pub.data()),
              0x22222222u);
    EXPECT_EQ(tzv_ed25519_public_key_mb8(nullptr, v.seed.data()), 0x22222222u);
}
