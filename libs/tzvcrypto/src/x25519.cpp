// X25519 (RFC 7748) over 8 lanes. With AVX-512 IFMA enabled in libkyncp the eight lanes run
// together (ec/x25519_ladder.h); otherwise each lane goes through OpenSSL's EVP interface with raw
// keys. OpenSSL clamps the scalar when it decodes the private key; the peer's top bit is cleared
// here so that the result does not depend on how the decoder treats it.
//
// OpenSSL 3.0 has no raw-key entry point for X25519, so on that path each lane allocates its
// EVP_PKEY objects and a derivation context.
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include <cstring>
#include <memory>

#include "ec/ec_engine.h"
#include "scrub.h"
#include "tzv_lanes.h"

namespace {

using namespace tzv;

constexpr int kLanes = 8;
constexpr size_t kKeyBytes = 32;

struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
struct PctxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using Pctx = std::unique_ptr<EVP_PKEY_CTX, PctxFree>;

Pkey privateKey(const int8u* scalar)
{
    return Pkey(EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, scalar, kKeyBytes));
}

// Failed lanes leave OpenSSL's error queue as the caller had it.
class ErrorMark {
public:
    ErrorMark() { ERR_set_mark(); }
    ~ErrorMark() { ERR_pop_to_mark(); }
};

enum class Derive { Ok, LowOrder, Failed };

Derive sharedSecret(int8u* out, const int8u* scalar, const int8u* peer)
{
    int8u u[kKeyBytes];
    std::memcpy(u, peer, kKeyBytes);
    u[31] &= 0x7f;
    Pkey key = privateKey(scalar);
    Pkey peerKey(EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, u, kKeyBytes));
    if (!key || !peerKey) return Derive::Failed;
    Pctx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    size_t len = kKeyBytes;
    // Without peer validation: any 32-byte string is a u-coordinate on the curve or its twist.
    if (!ctx || EVP_PKEY_derive_init(ctx.get()) != 1 || EVP_PKEY_derive_set_peer_ex(ctx.get(), peerKey.get(), 0) != 1)
        return Derive::Failed;
    // With the keys in place, the derivation fails only when the product is the point at
    // infinity, i.e. the shared secret is all zero.
    if (EVP_PKEY_derive(ctx.get(), out, &len) != 1) {
        std::memset(out, 0, kKeyBytes);
        return Derive::LowOrder;
    }
    return len == kKeyBytes ? Derive::Ok : Derive::Failed;
}

} // namespace

TZV_EXPORT tzv_status tzv_x25519_public_key_mb8(int8u* const pub[8], const int8u* const priv[8])
{
    Status8 sts;
    markNullLanes(sts, pub, priv);
    if (ec::onIfmaPath(sts, ec::curve25519Consts, ec::kStackCurve25519,
                       [&](const ec::Curve25519Consts& c, unsigned lanes) {
            int8u k[kLanes][kKeyBytes] = {}, u[kLanes][kKeyBytes];
            for (int i = 0; i < kLanes; ++i)
                if (lanes & (1u << i)) std::memcpy(k[i], priv[i], kKeyBytes), ec::clampScalar(k[i]);
            ec::curve25519EngineAvx512().basePoints(c, u, k, lanes, true);
            OPENSSL_cleanse(k, sizeof k);
            for (int i = 0; i < kLanes; ++i)
                if (lanes & (1u << i)) std::memcpy(pub[i], u[i], kKeyBytes);
            return tzv_status{0};
        }))
        return sts.word();
    ErrorMark mark;
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        Pkey key = privateKey(priv[i]);
        size_t len = kKeyBytes;
        if (!key || EVP_PKEY_get_raw_public_key(key.get(), pub[i], &len) != 1 || len != kKeyBytes)
            sts.set(i, TZV_STS_BAD_PARAM);
    }
    return sts.word();
}

TZV_EXPORT tzv_status tzv_x25519_mb8(int8u* const shared[8], const int8u* const priv[8], const int8u* const peer[8])
{
    Status8 sts;
    markNullLanes(sts, shared, priv, peer);
    if (ec::onIfmaPath(sts, ec::curve25519Consts, ec::kStackCurve25519,
                       [&](const ec::Curve25519Consts& c, unsigned lanes) {
            return ec::curve25519EngineAvx512().x25519(c, shared, priv, peer, lanes);
        }))
        return sts.word();
    ErrorMark mark;
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        switch (sharedSecret(shared[i], priv[i], peer[i])) {
        case Derive::Ok: break;
        case Derive::LowOrder: sts.set(i, TZV_STS_LOW_ORDER); break;
        case Derive::Failed: sts.set(i, TZV_STS_BAD_PARAM); break;
        }
    }
    // OpenSSL's derivation leaves words of the shared secrets in its frames.
    scrubStack(kOpenSslStack);
    return sts.word();
}
