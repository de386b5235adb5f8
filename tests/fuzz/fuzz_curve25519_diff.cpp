// Differential fuzzing of the Curve25519 functions: X25519's shared secret and public key, Ed25519's
// public key, signature and verification. Eight lanes of keys from the input (an X25519 peer may
// instead be an edge value: 0, 1, p − 1, p, p + 1, 2^255 − 1, a point of order 8, each maybe with the
// top bit set; an Ed25519 signer's public key may be another lane's; a verifier's signature may have
// R or S changed and its key be an edge value), messages of up to 255 bytes, and maybe a null lane,
// on the code path of all enabled features and on the portable one (OpenSSL per lane). Both must
// give the same statuses and bytes, and every output of a lane that fails left alone; X25519's
// statuses are OK or low order with an all-zero secret, signing's OK or, for a signer's wrong public
// key, a bad parameter.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ec_test_support.h"
#include "kyncp.h"

namespace {

constexpr Kyn64u kPortableFeatures = 0x7C2900FEFFFull; // every AVX-512 feature masked off
using ectest::kLanes;
using Key = ectest::Key32;

// 0, 1, p − 1, p, p + 1, 2^255 − 1 and a point of order 8 (little-endian).
std::array<Key, 7> edges()
{
    std::array<Key, 7> e{};
    e[1][0] = 1;
    const uint8_t low[] = {0xec, 0xed, 0xee, 0xff};
    for (int i = 0; i < 4; ++i) e[2 + i].fill(0xff), e[2 + i][0] = low[i], e[2 + i][31] = 0x7f;
    const char* order8 = "e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800";
    for (int i = 0; i < 32; ++i) e[6][i] = (uint8_t)std::strtoul(std::string(order8 + 2 * i, 2).c_str(), nullptr, 16);
    return e;
}

using Priv = const tzv_ed25519_private_key* const*;
using Pub = const tzv_ed25519_public_key* const*;
using SigOut = tzv_ed25519_sign_component**;
using SigIn = const tzv_ed25519_sign_component* const*;

enum Function { kShared, kX25519Public, kEdPublic, kEdSign, kEdVerify, kFunctions };

// Both outputs of a call (the signature's s in `second`) and its statuses.
struct Run {
    std::array<Key, kLanes> out, second;
    tzv_status sts;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Kyn64u allFeatures = kyncpGetEnabledCpuFeatures();
    static const std::array<Key, 7> kEdges = edges();
    auto byte = [&]() -> uint8_t { return size ? (--size, *data++) : 0; };
    const Function function = (Function)(byte() % kFunctions);
    const uint8_t nullByte = byte();
    std::array<Key, kLanes> priv, peer;
    std::array<std::vector<uint8_t>, kLanes> msg;
    std::array<int32u, kLanes> len;
    std::array<uint8_t, kLanes> wrongKey{}, edgePeer{};
    for (int i = 0; i < kLanes; ++i) {
        for (uint8_t& b : priv[i]) b = byte();
        const uint8_t edge = byte();
        if (edge < 0xC0) {
            for (uint8_t& b : peer[i]) b = byte();
        } else {
            peer[i] = kEdges[edge % kEdges.size()];
            if (edge & 0x08) peer[i][31] |= 0x80;
        }
        wrongKey[i] = edge >= 0xF0, edgePeer[i] = edge >= 0xC0;
        msg[i].resize(byte() + 1); // never empty, so that data() is never null
        len[i] = (int32u)msg[i].size() - (edge & 1);
        for (uint8_t& b : msg[i]) b = byte();
    }
    // The signers' public keys: their own, or the next lane's.
    std::array<Key, kLanes> own, pub;
    for (int i = 0; i < kLanes; ++i) own[i] = ectest::rawPublicKey(EVP_PKEY_ED25519, priv[i].data());
    for (int i = 0; i < kLanes; ++i) pub[i] = own[wrongKey[i] ? (i + 1) % kLanes : i];
    // Verification: the lanes' signatures, then maybe R or S changed (S maybe beyond L) by the peer's
    // bytes, and an edge peer as the public key.
    std::array<Key, kLanes> sigR, sigS;
    if (function == kEdVerify) {
        int8u *ro[kLanes], *so[kLanes];
        const int8u *k[kLanes], *m[kLanes], *a[kLanes];
        for (int i = 0; i < kLanes; ++i)
            ro[i] = sigR[i].data(), so[i] = sigS[i].data(), k[i] = priv[i].data(), m[i] = msg[i].data(), a[i] = own[i].data();
        tzv_ed25519_sign_mb8((SigOut)ro, (SigOut)so, m, len.data(), (Priv)k, (Pub)a);
        for (int i = 0; i < kLanes; ++i) {
            const uint8_t change = peer[i][0];
            if (change & 1) sigR[i][peer[i][1] % 32] ^= peer[i][2] | 1;
            if (change & 2) sigS[i][peer[i][3] % 32] ^= peer[i][4] | 1;
            if (edgePeer[i]) pub[i] = peer[i];
        }
    }
    Run runs[2];
    int r = 0;
    for (Kyn64u features : {allFeatures, kPortableFeatures}) {
        kyncpSetCpuFeatures(features);
        Run& run = runs[r++];
        int8u *o[kLanes], *o2[kLanes];
        const int8u *k[kLanes], *u[kLanes], *m[kLanes], *a[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            run.out[i].fill(0x55), run.second[i].fill(0x55);
            o[i] = run.out[i].data(), o2[i] = run.second[i].data(), k[i] = priv[i].data(), u[i] = peer[i].data();
            m[i] = msg[i].data(), a[i] = pub[i].data();
        }
        if ((nullByte & 0xC0) == 0x80) o[nullByte % kLanes] = nullptr;
        if ((nullByte & 0xC0) == 0xC0) k[nullByte % kLanes] = nullptr;
        switch (function) {
        case kShared: run.sts = tzv_x25519_mb8(o, k, u); break;
        case kX25519Public: run.sts = tzv_x25519_public_key_mb8(o, k); break;
        case kEdPublic: run.sts = tzv_ed25519_public_key_mb8((tzv_ed25519_public_key**)o, (Priv)k); break;
        case kEdVerify:
            for (int i = 0; i < kLanes; ++i) u[i] = sigR[i].data(), o2[i] = sigS[i].data();
            if ((nullByte & 0xC0) == 0x80) u[nullByte % kLanes] = nullptr;
            if ((nullByte & 0xC0) == 0xC0) a[nullByte % kLanes] = nullptr;
            run.sts = tzv_ed25519_verify_mb8((SigIn)u, (SigIn)o2, m, len.data(), (Pub)a);
            break;
        default:
            run.sts = tzv_ed25519_sign_mb8((SigOut)o, (SigOut)o2, m, len.data(), (Priv)k, (Pub)a);
            break;
        }
    }
    kyncpSetCpuFeatures(allFeatures);
    Key untouched;
    untouched.fill(0x55);
    for (int i = 0; i < kLanes; ++i) {
        const unsigned sts = tzv_get_lane_sts(runs[0].sts, i);
        const bool nullLane = (nullByte & 0x80) && nullByte % kLanes == i;
        bool allowed = sts == TZV_STS_OK;
        if (nullLane) allowed = sts == TZV_STS_NULL_PARAM;
        else if (function == kShared) allowed |= sts == TZV_STS_LOW_ORDER && runs[0].out[i] == Key{};
        else if (function == kEdSign) allowed = sts == (pub[i] != own[i] ? TZV_STS_BAD_PARAM : TZV_STS_OK);
        else if (function == kEdVerify) allowed |= sts == TZV_STS_SIGNATURE || sts == TZV_STS_BAD_PARAM;
        const bool failed = sts != TZV_STS_OK && sts != TZV_STS_LOW_ORDER;
        if (!allowed || sts != tzv_get_lane_sts(runs[1].sts, i) || runs[0].out[i] != runs[1].out[i] ||
            runs[0].second[i] != runs[1].second[i] || (failed && (runs[0].out[i] != untouched || runs[0].second[i] != untouched))) {
            std::fprintf(stderr, "function %d, lane %d: statuses %#x and %#x\n", (int)function, i, runs[0].sts, runs[1].sts);
            std::abort();
        }
    }
    return 0;
}
