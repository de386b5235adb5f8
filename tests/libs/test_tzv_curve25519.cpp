// Tests of the 8-lane Ed25519 and X25519 functions of libtzvcrypto. Ed25519: the sign.input set of
// the vector package (its first entry is RFC 8032 test 1), eight keys and messages per call, and bad
// lanes (corrupted signatures, S >= L, a public key that is no point, another signer's key, null
// pointers). X25519: the RFC 7748 vectors and Diffie-Hellman keys, clamping and the ignored top bit
// of u, low-order points giving an all-zero secret, null lanes, and random keys against OpenSSL.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "../../perf_tests/tzvcrypto/src/p_tzv_x25519_data.h"
#include "ec_test_support.h"

using namespace ectest;

namespace {

constexpr unsigned kLow = TZV_STS_LOW_ORDER;

using Key = std::array<uint8_t, 32>;

// 32 bytes of a hex string from byte `offset` on, zero-padded when it is shorter.
Key key(const std::string& hex, size_t offset = 0)
{
    Key k{};
    const Bytes b = vectors::fromHex(hex);
    std::copy(b.begin() + offset, b.begin() + std::min(b.size(), offset + 32), k.begin());
    return k;
}

void expectLanes(tzv_status sts, const std::array<unsigned, kLanes>& want, const std::string& what)
{
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), want[i]) << what << ", lane " << i;
}

// Ed25519
using Priv = tzv_ed25519_private_key;
using Pub = tzv_ed25519_public_key;
using Sig = tzv_ed25519_sign_component;

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
                out.push_back({key(f[0]), key(f[1]), key(f[3]), key(f[3], 32), vectors::fromHex(f[2])});
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

// X25519
struct Vector {
    Key scalar, u, out;
};

std::vector<Vector> rfcVectors()
{
    std::vector<Vector> out;
    for (const auto& r : vectors::readFile(vectors::path("asymmetric/X25519/rfc7748.txt")))
        out.push_back({key(r.text("INPUT_SCALAR")), key(r.text("INPUT_U")), key(r.text("OUTPUT_U"))});
    return out;
}

const Key kUntouched = key(std::string(64, '5'));

// shared[i] = X25519(priv[i], peer[i]) with lane arrays that can be edited before the call.
struct XLanes {
    std::array<Key, kLanes> priv{}, peer{}, out{};
    std::array<int8u*, kLanes> o{};
    std::array<const int8u*, kLanes> k{}, u{};
    XLanes()
    {
        for (int i = 0; i < kLanes; ++i)
            out[i] = kUntouched, o[i] = out[i].data(), k[i] = priv[i].data(), u[i] = peer[i].data();
    }
    tzv_status shared() { return tzv_x25519_mb8(o.data(), k.data(), u.data()); }
    tzv_status publicKeys() { return tzv_x25519_public_key_mb8(o.data(), k.data()); }
};

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
    const Key order = key("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010"); // L
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

// Public keys and R at the edges of their encodings, decided as OpenSSL decides them: the identity
// (y = 1) as A, its x = 0 with the sign bit set, and y = p + 1 for y = 1, are keys; R is compared
// byte for byte, so an R of the right point in another encoding fails. The message is "abc".
TEST(TzvEd25519, EdgeEncodingsOfKeysAndR)
{
    const Key identity = key("01"), identitySign = key("0100000000000000000000000000000000000000000000000000000000000080"),
              pPlus1 = key("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
              pPlus1Sign = key("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"),
              base = key("5866666666666666666666666666666666666666666666666666666666666666"), one = key("01"), zero{};
    // A, R, S: with A the identity, R must be s·B.
    const Key rows[kLanes][3] = {{identity, base, one},      {identitySign, base, one},     {pPlus1, base, one},
                                 {pPlus1Sign, base, one},    {identity, identity, zero},    {identity, pPlus1, zero},
                                 {identity, identitySign, zero}, {identity, base, zero}};
    EdLanes v(0);
    static const uint8_t abc[] = {'a', 'b', 'c'};
    for (int i = 0; i < kLanes; ++i)
        v.c[i].pub = rows[i][0], v.c[i].r = rows[i][1], v.c[i].s = rows[i][2], v.msg[i] = abc, v.len[i] = 3;
    expectLanes(v.verify(), {kOk, kOk, kOk, kOk, kOk, kSig, kSig, kSig}, "edge encodings");
}

// The three file vectors, each also with the top bit of u flipped (RFC 7748 masks it), and two with
// the scalar bits that clamping overwrites flipped: it clears bits 0-2 and 255 and sets bit 254.
TEST(TzvX25519, Rfc7748VectorsTopBitAndClamping)
{
    std::vector<Vector> v = rfcVectors();
    ASSERT_EQ(v.size(), 3u);
    XLanes call;
    for (int i = 0; i < kLanes; ++i) {
        const Vector& src = v[i < 6 ? i % 3 : i - 6];
        call.priv[i] = src.scalar, call.peer[i] = src.u;
        if (i >= 3 && i < 6) call.peer[i][31] ^= 0x80;
        if (i >= 6) call.priv[i][0] ^= 0x07, call.priv[i][31] ^= 0x80, call.priv[i][31] &= 0xBF;
    }
    ASSERT_EQ(call.shared(), 0u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(call.out[i], v[i < 6 ? i % 3 : i - 6].out) << "lane " << i;
}

// Points of order 1, 2, 4 and 8 (u = 0, 1, p-1, the two of order 8, the non-canonical p and p+1, and
// 1 with the top bit) give status 4 and an all-zero secret; a good lane next to them is right.
TEST(TzvX25519, LowOrderPoints)
{
    const Key low[] = {
        key("00"), key("01"),
        key("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
        key("e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800"),
        key("5f9c95bca3508c24b1d0b1559c83ef5b04445cc4581c8e86d8224eddd09f1157"),
        key("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
        key("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
        key("0100000000000000000000000000000000000000000000000000000000000080"),
    };
    std::vector<Vector> v = rfcVectors();
    for (int good : {0, 7}) {
        XLanes call;
        for (int i = 0; i < kLanes; ++i) call.priv[i] = v[i % 3].scalar, call.peer[i] = low[i];
        call.peer[good] = v[good % 3].u;
        tzv_status sts = call.shared();
        for (int i = 0; i < kLanes; ++i) {
            EXPECT_EQ(tzv_get_lane_sts(sts, i), i == good ? kOk : kLow) << "lane " << i;
            EXPECT_EQ(call.out[i], i == good ? v[good % 3].out : Key{}) << "lane " << i;
        }
    }
}

// Alice's and Bob's key pairs (RFC 7748 section 6.1) and the file's third vector, whose u is 9, in
// turn over the lanes, one lane passing the harness's private key: their public keys and shared
// secrets. Null pointers fail their own lanes and leave the outputs alone, null arrays every lane.
TEST(TzvX25519, KeyPairsAndNullLanes)
{
    const Key alice = key("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a"),
              alicePub = key("8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a"),
              bob = key("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb"),
              bobPub = key("de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f"),
              shared = key("4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742");
    const Vector third = rfcVectors().at(2);
    // Per party: private key, peer's public key, shared secret, own public key.
    const Key party[3][4] = {{alice, bobPub, shared, alicePub}, {bob, alicePub, shared, bobPub},
                             {third.scalar, third.u, third.out, third.out}};
    XLanes call;
    for (int i = 0; i < kLanes; ++i) call.priv[i] = party[i % 3][0], call.peer[i] = party[i % 3][1];
    call.k[6] = x25519_private_key, call.u[6] = x25519_peer_public_key;
    call.o[0] = nullptr, call.k[1] = nullptr, call.u[2] = nullptr;
    tzv_status sts = call.shared();
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(tzv_get_lane_sts(sts, i), i < 3 ? kNull : kOk) << i;
        EXPECT_EQ(call.out[i], i < 3 ? kUntouched : party[i % 3][2]) << i;
    }
    sts = call.publicKeys();
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(tzv_get_lane_sts(sts, i), i < 2 ? kNull : kOk) << i;
        EXPECT_EQ(call.out[i], i < 2 ? kUntouched : party[i % 3][3]) << i;
    }
    EXPECT_EQ(tzv_x25519_mb8(nullptr, call.k.data(), call.u.data()), 0x22222222u);
    EXPECT_EQ(tzv_x25519_mb8(call.o.data(), call.k.data(), nullptr), 0x22222222u);
    EXPECT_EQ(tzv_x25519_public_key_mb8(call.o.data(), nullptr), 0x22222222u);
}

// Random private keys and peers (top bit of u either way) against OpenSSL's derivation, and the
// public keys against OpenSSL's, four calls of eight lanes.
TEST(TzvX25519, RandomKeysAgreeWithOpenSsl)
{
    std::mt19937_64 rng(25519);
    for (int call = 0; call < 4; ++call) {
        XLanes x;
        for (int i = 0; i < kLanes; ++i)
            for (int b = 0; b < 32; ++b) x.priv[i][b] = (uint8_t)rng(), x.peer[i][b] = (uint8_t)rng();
        ASSERT_EQ(x.shared(), 0u);
        const auto secrets = x.out;
        ASSERT_EQ(x.publicKeys(), 0u);
        for (int i = 0; i < kLanes; ++i) {
            EXPECT_EQ(secrets[i], x25519Secret(x.priv[i].data(), x.peer[i].data())) << call << ", lane " << i;
            EXPECT_EQ(x.out[i], rawPublicKey(EVP_PKEY_X25519, x.priv[i].data())) << call << ", lane " << i;
        }
    }
}

// No private key (raw, clamped or expanded), Ed25519 prefix or X25519 shared secret stays on the
// stack after a call; the X25519 keys are the Ed25519 seeds, their peers the Ed25519 public keys.
TEST(TzvCurve25519, NoSecretLeftOnTheStack)
{
    XLanes x;
    EdLanes ed(0);
    for (int i = 0; i < kLanes; ++i) x.priv[i] = ed.c[i].seed, x.peer[i] = ed.c[i].pub;
    ASSERT_EQ(x.shared(), 0u);
    Secrets secrets;
    for (int i = 0; i < kLanes; ++i) {
        uint8_t h[64], clamped[32];
        EVP_Digest(ed.c[i].seed.data(), 32, h, nullptr, EVP_sha512(), nullptr);
        std::copy(x.priv[i].begin(), x.priv[i].end(), clamped);
        for (uint8_t* k : {+clamped, +h}) k[0] &= 248, k[31] = (uint8_t)((k[31] & 127) | 64);
        for (const uint8_t* v : {x.priv[i].data(), +clamped, x.out[i].data(), +h, h + 32}) secrets.add(v, 32);
    }
    const std::function<tzv_status()> calls[] = {[&] { return x.publicKeys(); }, [&] { return x.shared(); },
                                                 [&] { return ed.publicKeys(); }, [&] { return ed.sign(); }};
    for (int c = 0; c < 4; ++c) {
        tzv_status sts = 1;
        EXPECT_EQ(leftOnStack([&] { sts = calls[c](); }, secrets) + sts, 0u) << "call " << c;
    }
}
