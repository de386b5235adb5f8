// Differential fuzzing of the two X25519 functions: eight lanes of private keys and peers from the
// input (a peer may instead be an edge value: 0, 1, p − 1, p, p + 1, 2^255 − 1, a point of order 8,
// each maybe with the top bit set), and maybe a null lane, on the code path of all enabled features
// and on the portable one (OpenSSL per lane). Both must give the same statuses and bytes, every
// untouched output left alone, and a lane's status must be OK or, for the shared secret, low order
// with an all-zero secret.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kyncp.h"
#include "tzvcrypto.h"

namespace {

constexpr Kyn64u kPortableFeatures = 0x7C2900FEFFFull; // every AVX-512 feature masked off
constexpr int kLanes = 8;
using Key = std::array<uint8_t, 32>;

Key littleEndian(const char* hex)
{
    Key k{};
    for (int i = 0; i < 32 && hex[2 * i]; ++i) k[i] = (uint8_t)std::strtoul(std::string(hex + 2 * i, 2).c_str(), nullptr, 16);
    return k;
}

const Key kEdges[] = {
    littleEndian("00"),
    littleEndian("01"),
    littleEndian("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"), // p − 1
    littleEndian("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"), // p
    littleEndian("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"), // p + 1
    littleEndian("ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"), // 2^255 − 1
    littleEndian("e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800"), // order 8
};

struct Run {
    std::array<Key, kLanes> out;
    tzv_status sts;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Kyn64u allFeatures = kyncpGetEnabledCpuFeatures();
    auto byte = [&]() -> uint8_t { return size ? (--size, *data++) : 0; };
    const bool publicKey = byte() & 1;
    const uint8_t nullByte = byte();
    std::array<Key, kLanes> priv, peer;
    for (int i = 0; i < kLanes; ++i) {
        for (uint8_t& b : priv[i]) b = byte();
        const uint8_t edge = byte();
        if (edge < 0xC0) {
            for (uint8_t& b : peer[i]) b = byte();
        } else {
            peer[i] = kEdges[edge % (sizeof kEdges / sizeof kEdges[0])];
            if (edge & 0x08) peer[i][31] |= 0x80;
        }
    }
    Run runs[2];
    int r = 0;
    for (Kyn64u features : {allFeatures, kPortableFeatures}) {
        kyncpSetCpuFeatures(features);
        Run& run = runs[r++];
        int8u* o[kLanes];
        const int8u* k[kLanes];
        const int8u* u[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            run.out[i].fill(0x55);
            o[i] = run.out[i].data(), k[i] = priv[i].data(), u[i] = peer[i].data();
        }
        if ((nullByte & 0xC0) == 0x80) o[nullByte % kLanes] = nullptr;
        if ((nullByte & 0xC0) == 0xC0) k[nullByte % kLanes] = nullptr;
        run.sts = publicKey ? tzv_x25519_public_key_mb8(o, k) : tzv_x25519_mb8(o, k, u);
    }
    kyncpSetCpuFeatures(allFeatures);
    for (int i = 0; i < kLanes; ++i) {
        const unsigned sts = tzv_get_lane_sts(runs[0].sts, i);
        const bool nullLane = (nullByte & 0x80) && nullByte % kLanes == i;
        const bool allowed = nullLane ? sts == TZV_STS_NULL_PARAM
                                      : sts == TZV_STS_OK || (!publicKey && sts == TZV_STS_LOW_ORDER && runs[0].out[i] == Key{});
        Key untouched;
        untouched.fill(0x55);
        if (!allowed || sts != tzv_get_lane_sts(runs[1].sts, i) || runs[0].out[i] != runs[1].out[i] ||
            (nullLane && runs[0].out[i] != untouched)) {
            std::fprintf(stderr, "%s, lane %d: statuses %#x and %#x\n", publicKey ? "public key" : "shared secret", i,
                         runs[0].sts, runs[1].sts);
            std::abort();
        }
    }
    return 0;
}
