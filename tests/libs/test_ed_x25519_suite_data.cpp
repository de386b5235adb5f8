// The fixed data of the Ed25519 and X25519 tests against the library: each of the five calls, made
// as the harness makes it (inputs shared by all lanes, the empty message, Ed25519 outputs in a slot
// per lane, one X25519 output for all lanes), succeeds in every lane, and the outputs show that the
// values belong together: the stored public key is that of the secret key, signing the empty
// message gives the stored signature, and X25519 gives the keys of RFC 7748, section 6.1.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "../../perf_tests/tzvcrypto/src/p_tzv_ed25519_data.h"
#include "../../perf_tests/tzvcrypto/src/p_tzv_x25519_data.h"
#include "tzvcrypto.h"

namespace {

constexpr int kLanes = 8;

template <class T>
std::array<const T*, kLanes> same(const T* value)
{
    std::array<const T*, kLanes> lanes;
    lanes.fill(value);
    return lanes;
}

// A 32-byte value in hex, so that a mismatch reads as the RFC prints it.
std::string valueOf(const uint8_t* p)
{
    std::string hex;
    char digits[3];
    for (int i = 0; i < 32; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", p[i]);
        hex += digits;
    }
    return hex;
}

// RFC 7748, section 6.1: Alice's public key and the secret she shares with Bob.
const uint8_t kAlicePublic[32] = {0x85, 0x20, 0xf0, 0x09, 0x89, 0x30, 0xa7, 0x54, 0x74, 0x8b, 0x7d,
                                  0xdc, 0xb4, 0x3e, 0xf7, 0x5a, 0x0d, 0xbf, 0x3a, 0x0d, 0x26, 0x38,
                                  0x1a, 0xf4, 0xeb, 0xa4, 0xa9, 0x8e, 0xaa, 0x9b, 0x4e, 0x6a};
const uint8_t kShared[32] = {0x4a, 0x5d, 0x9d, 0x5b, 0xa4, 0xce, 0x2d, 0xe1, 0x72, 0x8e, 0x3b,
                             0xf4, 0x80, 0x35, 0x0f, 0x25, 0xe0, 0x7e, 0x21, 0xc9, 0x47, 0xd1,
                             0x9e, 0x33, 0x76, 0xf0, 0x9b, 0x3c, 0x1e, 0x16, 0x17, 0x42};

} // namespace

TEST(EdX25519SuiteData, Ed25519KeySignVerifySucceedInEveryLane)
{
    auto secret = same(&ed25519_secret_key);
    auto pub = same(&ed25519_public_key);
    auto sigR = same(&ed25519_sign_r);
    auto sigS = same(&ed25519_sign_s);
    const uint8_t msgByte[1] = {0};
    auto msg = same(msgByte);
    const uint32_t msgLen[kLanes] = {0, 0, 0, 0, 0, 0, 0, 0};

    tzv_ed25519_public_key pubArea[kLanes] = {};
    tzv_ed25519_sign_component rArea[kLanes] = {}, sArea[kLanes] = {};
    std::array<tzv_ed25519_public_key*, kLanes> outPub;
    std::array<tzv_ed25519_sign_component*, kLanes> outR, outS;
    for (int i = 0; i < kLanes; ++i) {
        outPub[i] = &pubArea[i];
        outR[i] = &rArea[i];
        outS[i] = &sArea[i];
    }

    EXPECT_EQ(tzv_ed25519_public_key_mb8(outPub.data(), secret.data()), 0u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(valueOf(pubArea[i]), valueOf(ed25519_public_key)) << "lane " << i;

    // Signing is deterministic: each lane must give the stored signature of the empty message.
    EXPECT_EQ(tzv_ed25519_sign_mb8(outR.data(), outS.data(), msg.data(), msgLen, secret.data(), pub.data()), 0u);
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(valueOf(rArea[i]), valueOf(ed25519_sign_r)) << "lane " << i;
        EXPECT_EQ(valueOf(sArea[i]), valueOf(ed25519_sign_s)) << "lane " << i;
    }

    EXPECT_EQ(tzv_ed25519_verify_mb8(sigR.data(), sigS.data(), msg.data(), msgLen, pub.data()), 0u);
}

TEST(EdX25519SuiteData, X25519KeyAndSharedSecretSucceedInEveryLane)
{
    auto priv = same(x25519_private_key);
    auto peer = same(x25519_peer_public_key);
    uint8_t out[32] = {};
    std::array<uint8_t*, kLanes> outLanes;
    outLanes.fill(out);

    EXPECT_EQ(tzv_x25519_public_key_mb8(outLanes.data(), priv.data()), 0u);
    EXPECT_EQ(valueOf(out), valueOf(kAlicePublic));

    std::memset(out, 0, sizeof out);
    EXPECT_EQ(tzv_x25519_mb8(outLanes.data(), priv.data(), peer.data()), 0u);
    EXPECT_EQ(valueOf(out), valueOf(kShared));
}
