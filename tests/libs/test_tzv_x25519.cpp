// Tests of the 8-lane X25519 functions of libtzvcrypto: the RFC 7748 vectors of the vector package,
// the iterated vector after 1 and 1000 rounds, the RFC's Diffie-Hellman keys, clamping and the
// ignored top bit of u, low-order points giving an all-zero secret, and null lanes.
#include <gtest/gtest.h>

#include <cstdio>

#include "ec_test_support.h"

using namespace ectest;

namespace {

constexpr unsigned kOk = TZV_STS_OK, kNull = TZV_STS_NULL_PARAM, kLow = TZV_STS_LOW_ORDER;

using Key = std::array<uint8_t, 32>;

Key key(const std::string& hex)
{
    Bytes b = vectors::fromHex(hex);
    if (b.size() != 32) throw std::runtime_error("not a 32-byte value: " + hex);
    Key k;
    std::copy(b.begin(), b.end(), k.begin());
    return k;
}

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

// RFC 7748 section 6.1.
const Key kAlicePriv = key("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a");
const Key kAlicePub = key("8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a");
const Key kBobPriv = key("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb");
const Key kBobPub = key("de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f");
const Key kNine = key("0900000000000000000000000000000000000000000000000000000000000000");

std::string hexStatus(tzv_status sts)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", sts);
    return buf;
}

// shared[i] = X25519(priv[i], peer[i]) with lane arrays that can be edited before the call.
struct XLanes {
    std::array<Key, kLanes> priv{}, peer{}, out{};
    std::array<int8u*, kLanes> o{};
    std::array<const int8u*, kLanes> k{}, u{};
    XLanes()
    {
        for (auto& x : out) x.fill(0x5A);
        for (int i = 0; i < kLanes; ++i) {
            o[i] = out[i].data();
            k[i] = priv[i].data();
            u[i] = peer[i].data();
        }
    }
    tzv_status shared() { return tzv_x25519_mb8(o.data(), k.data(), u.data()); }
    tzv_status publicKeys() { return tzv_x25519_public_key_mb8(o.data(), k.data()); }
};

} // namespace

// The three file vectors, each also with the top bit of u flipped (RFC 7748 masks it) and with the
// scalar bits that clamping overwrites flipped; and the RFC's key pair agreeing on one secret.
TEST(TzvX25519, Rfc7748VectorsTopBitAndClamping)
{
    std::vector<Vector> v = rfcVectors();
    ASSERT_EQ(v.size(), 3u);
    XLanes call;
    std::array<Key, kLanes> want;
    for (int i = 0; i < 3; ++i) {
        call.priv[i] = v[i].scalar;
        call.peer[i] = v[i].u;
        want[i] = v[i].out;
        call.priv[3 + i] = v[i].scalar;
        call.peer[3 + i] = v[i].u;
        call.peer[3 + i][31] ^= 0x80;
        want[3 + i] = v[i].out;
    }
    // Clamping clears bits 0-2 and 255 and sets bit 254 whatever the caller gives.
    call.priv[6] = v[0].scalar;
    call.priv[6][0] ^= 0x07;
    call.priv[6][31] ^= 0x80;
    call.priv[6][31] &= 0xBF;
    call.peer[6] = v[0].u;
    want[6] = v[0].out;
    call.priv[7] = kAlicePriv;
    call.peer[7] = kBobPub;
    ASSERT_EQ(call.shared(), 0u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(call.out[i], want[i]) << "lane " << i;

    XLanes back;
    back.priv.fill(kBobPriv);
    back.peer.fill(kAlicePub);
    ASSERT_EQ(back.shared(), 0u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(back.out[i], call.out[7]) << "lane " << i;
    EXPECT_NE(call.out[7], Key{});
}

// Public keys: the RFC's two and, for the vectors' scalars, X25519(k, 9) as the file gives it for
// k = 9 and as the shared-secret function computes it for the others.
TEST(TzvX25519, PublicKeys)
{
    std::vector<Vector> v = rfcVectors();
    XLanes call;
    call.priv[0] = kAlicePriv;
    call.priv[1] = kBobPriv;
    call.priv[2] = v[2].scalar; // 9: its public key is the file's third output
    for (int i = 3; i < kLanes; ++i) {
        call.priv[i] = v[i % 2].scalar;
        call.priv[i][7] ^= (uint8_t)i;
    }
    ASSERT_EQ(call.publicKeys(), 0u);
    EXPECT_EQ(call.out[0], kAlicePub);
    EXPECT_EQ(call.out[1], kBobPub);
    EXPECT_EQ(call.out[2], v[2].out);

    XLanes viaNine;
    viaNine.priv = call.priv;
    viaNine.peer.fill(kNine);
    ASSERT_EQ(viaNine.shared(), 0u);
    for (int i = 3; i < kLanes; ++i) EXPECT_EQ(call.out[i], viaNine.out[i]) << "lane " << i;
    for (int i = 4; i < kLanes; ++i) EXPECT_NE(call.out[i], call.out[i - 1]) << "lane " << i;
}

// RFC 7748 section 5.2: k = u = 9, then (k, u) = (X25519(k, u), k), in every lane.
TEST(TzvX25519, IteratedVector)
{
    const Key after1 = key("422c8e7a6227d7bca1350b3e2bb7279f7897b87bb6854b783c60e80311ae3079");
    const Key after1000 = key("684cf59ba83309552800ef566f2f4d3c1c3887c49360e3875f2eb94d99532c51");
    XLanes call;
    call.priv.fill(kNine);
    call.peer.fill(kNine);
    for (int round = 1; round <= 1000; ++round) {
        ASSERT_EQ(call.shared(), 0u) << round;
        call.peer = call.priv;
        call.priv = call.out;
        if (round == 1) {
            for (int i = 0; i < kLanes; ++i) ASSERT_EQ(call.priv[i], after1) << i;
        }
    }
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(call.priv[i], after1000) << i;
}

// Points of order 1, 2, 4 and 8 (u = 0, 1, p-1, the two of order 8, and the non-canonical p and
// p+1) give an all-zero secret: status 4 and zeros; a good lane next to them is right.
TEST(TzvX25519, LowOrderPoints)
{
    const Key low[] = {
        key("0000000000000000000000000000000000000000000000000000000000000000"),
        key("0100000000000000000000000000000000000000000000000000000000000000"),
        key("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
        key("e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800"),
        key("5f9c95bca3508c24b1d0b1559c83ef5b04445cc4581c8e86d8224eddd09f1157"),
        key("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
        key("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
        key("0100000000000000000000000000000000000000000000000000000000000080"), // 1 with the top bit
    };
    std::vector<Vector> v = rfcVectors();
    for (int good = 0; good < kLanes; good += 7) {
        XLanes call;
        for (int i = 0; i < kLanes; ++i) {
            call.priv[i] = v[i % 3].scalar;
            call.peer[i] = low[i];
        }
        call.peer[good] = v[good % 3].u;
        tzv_status sts = call.shared();
        for (int i = 0; i < kLanes; ++i) {
            if (i == good) {
                EXPECT_EQ(tzv_get_lane_sts(sts, i), kOk) << hexStatus(sts);
                EXPECT_EQ(call.out[i], v[good % 3].out);
            } else {
                EXPECT_EQ(tzv_get_lane_sts(sts, i), kLow) << "lane " << i << " " << hexStatus(sts);
                EXPECT_EQ(call.out[i], Key{}) << "lane " << i;
            }
        }
    }
}

TEST(TzvX25519, NullLanes)
{
    std::vector<Vector> v = rfcVectors();
    XLanes call;
    for (int i = 0; i < kLanes; ++i) {
        call.priv[i] = v[i % 3].scalar;
        call.peer[i] = v[i % 3].u;
    }
    call.o[0] = nullptr;
    call.k[1] = nullptr;
    call.u[2] = nullptr;
    tzv_status sts = call.shared();
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), i < 3 ? kNull : kOk) << i;
    for (int i = 3; i < kLanes; ++i) EXPECT_EQ(call.out[i], v[i % 3].out) << i;
    Key untouched;
    untouched.fill(0x5A);
    EXPECT_EQ(call.out[1], untouched);
    EXPECT_EQ(call.out[2], untouched);

    sts = call.publicKeys();
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), i < 2 ? kNull : kOk) << i;
    EXPECT_EQ(call.out[2], v[2].out); // the scalar 9 times the base point 9
    EXPECT_EQ(tzv_x25519_mb8(nullptr, call.k.data(), call.u.data()), 0x22222222u);
    EXPECT_EQ(tzv_x25519_mb8(call.o.data(), call.k.data(), nullptr), 0x22222222u);
    EXPECT_EQ(tzv_x25519_public_key_mb8(call.o.data(), nullptr), 0x22222222u);
}
