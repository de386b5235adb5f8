// Tests of the 8-lane X25519 functions of libtzvcrypto: the RFC 7748 vectors of the vector package,
// the RFC's Diffie-Hellman keys, clamping and the ignored top bit of u, low-order points giving an
// all-zero secret, and null lanes.
#include <gtest/gtest.h>

#include "../../perf_tests/tzvcrypto/src/p_tzv_x25519_data.h"
#include "ec_test_support.h"

using namespace ectest;

namespace {

constexpr unsigned kOk = TZV_STS_OK, kNull = TZV_STS_NULL_PARAM, kLow = TZV_STS_LOW_ORDER;

using Key = std::array<uint8_t, 32>;

// Little-endian hex, zero-padded to 32 bytes.
Key key(const std::string& hex)
{
    Key k{};
    const Bytes b = vectors::fromHex(hex);
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
    XLanes call;
    std::array<Key, kLanes> wantShared, wantPub;
    for (int i = 0; i < kLanes; ++i) {
        const int who = i % 3;
        call.priv[i] = who == 0 ? alice : who == 1 ? bob : third.scalar;
        call.peer[i] = who == 0 ? bobPub : who == 1 ? alicePub : third.u;
        wantShared[i] = who == 2 ? third.out : shared;
        wantPub[i] = who == 0 ? alicePub : who == 1 ? bobPub : third.out;
    }
    call.k[6] = x25519_private_key, call.u[6] = x25519_peer_public_key;
    call.o[0] = nullptr, call.k[1] = nullptr, call.u[2] = nullptr;
    tzv_status sts = call.shared();
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(tzv_get_lane_sts(sts, i), i < 3 ? kNull : kOk) << i;
        EXPECT_EQ(call.out[i], i < 3 ? kUntouched : wantShared[i]) << i;
    }
    sts = call.publicKeys();
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(tzv_get_lane_sts(sts, i), i < 2 ? kNull : kOk) << i;
        EXPECT_EQ(call.out[i], i < 2 ? kUntouched : wantPub[i]) << i;
    }
    EXPECT_EQ(tzv_x25519_mb8(nullptr, call.k.data(), call.u.data()), 0x22222222u);
    EXPECT_EQ(tzv_x25519_mb8(call.o.data(), call.k.data(), nullptr), 0x22222222u);
    EXPECT_EQ(tzv_x25519_public_key_mb8(call.o.data(), nullptr), 0x22222222u);
}
