// Ed25519 (RFC 8032) over 8 lanes. Each lane has its own key and message. With AVX-512 IFMA
// enabled in libkyncp, the point products and the arithmetic modulo L run on the eight lanes
// together (ec/ed25519_lanes.h), with each lane's SHA-512 hashed on its own; otherwise each lane
// goes through OpenSSL's EVP interface with raw keys. Verification decodes A as OpenSSL does (y
// taken modulo p, x = 0 whatever its sign bit) and compares R byte for byte.
//
// OpenSSL 3.0 offers no way to sign or verify with a raw key without an EVP_PKEY and an EVP_PKEY_CTX
// made for it, so on that path each lane still allocates those; the digest context is kept per
// thread.
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <cstring>
#include <memory>

#include "ec/ec_engine.h"
#include "tzv_lanes.h"

namespace {

using namespace tzv;

constexpr int kLanes = 8;
constexpr size_t kKeyBytes = 32;

struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

// The group order L = 2^252 + 27742317777372353535851937790883648493, little-endian.
constexpr int8u kOrderL[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                               0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};

// S < L, S little-endian; S is public, so an early exit is harmless.
bool belowOrder(const int8u* s)
{
    for (int i = 31; i >= 0; --i)
        if (s[i] != kOrderL[i]) return s[i] < kOrderL[i];
    return false;
}

// This thread's digest context, reset before each use; null when it cannot be allocated.
EVP_MD_CTX* digestContext()
{
    struct Free {
        void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
    };
    thread_local std::unique_ptr<EVP_MD_CTX, Free> ctx(EVP_MD_CTX_new());
    if (ctx) EVP_MD_CTX_reset(ctx.get());
    return ctx.get();
}

Pkey privateKey(const int8u* seed)
{
    return Pkey(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, kKeyBytes));
}

bool publicOf(EVP_PKEY* key, int8u* pub)
{
    size_t len = kKeyBytes;
    return EVP_PKEY_get_raw_public_key(key, pub, &len) == 1 && len == kKeyBytes;
}

// A null length array leaves no lane with a usable message.
void markNullLengths(Status8& sts, const int32u* msg_len)
{
    if (!msg_len) sts.setAll(TZV_STS_NULL_PARAM);
}

// Failed lanes leave OpenSSL's error queue as the caller had it.
class ErrorMark {
public:
    ErrorMark() { ERR_set_mark(); }
    ~ErrorMark() { ERR_pop_to_mark(); }
};

// SHA-512 of the parts one after another, its state on the stack and wiped afterwards.
void sha512(int8u out[64], std::initializer_list<std::pair<const int8u*, size_t>> parts)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    SHA512_CTX c;
    SHA512_Init(&c);
    for (const auto& part : parts) SHA512_Update(&c, part.first, part.second);
    SHA512_Final(out, &c);
#pragma GCC diagnostic pop
    OPENSSL_cleanse(&c, sizeof c);
}

bool on(unsigned lanes, int i) { return (lanes >> i) & 1; }

// The lanes' secret scalars a (the first half of SHA-512(seed), clamped) and, with `prefix`, the
// second half, which makes the nonces.
void expandSeeds(int8u a[kLanes][32], int8u (*prefix)[32], const tzv_ed25519_private_key* const priv[8], unsigned lanes)
{
    for (int i = 0; i < kLanes; ++i) {
        if (!on(lanes, i)) continue;
        int8u h[64];
        sha512(h, {{*priv[i], kKeyBytes}});
        std::memcpy(a[i], h, 32);
        tzv::ec::clampScalar(a[i]);
        if (prefix) std::memcpy(prefix[i], h + 32, 32);
        OPENSSL_cleanse(h, sizeof h);
    }
}

} // namespace

TZV_EXPORT tzv_status tzv_ed25519_public_key_mb8(tzv_ed25519_public_key* pub[8],
                                                 const tzv_ed25519_private_key* const priv[8])
{
    Status8 sts;
    markNullLanes(sts, pub, priv);
    if (ec::onIfmaPath(sts, ec::curve25519Consts, ec::kStackCurve25519,
                       [&](const ec::Curve25519Consts& c, unsigned lanes) {
            int8u a[kLanes][32] = {}, out[kLanes][32];
            expandSeeds(a, nullptr, priv, lanes);
            ec::curve25519EngineAvx512().basePoints(c, out, a, lanes, false);
            OPENSSL_cleanse(a, sizeof a);
            for (int i = 0; i < kLanes; ++i)
                if (on(lanes, i)) std::memcpy(*pub[i], out[i], kKeyBytes);
            return tzv_status{0};
        }))
        return sts.word();
    ErrorMark mark;
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        Pkey key = privateKey(*priv[i]);
        if (!key || !publicOf(key.get(), *pub[i])) sts.set(i, TZV_STS_BAD_PARAM);
    }
    return sts.word();
}

TZV_EXPORT tzv_status tzv_ed25519_sign_mb8(tzv_ed25519_sign_component* sign_r[8],
                                           tzv_ed25519_sign_component* sign_s[8], const int8u* const msg[8],
                                           const int32u msg_len[8], const tzv_ed25519_private_key* const priv[8],
                                           const tzv_ed25519_public_key* const pub[8])
{
    Status8 sts;
    markNullLanes(sts, sign_r, sign_s, msg, priv, pub);
    markNullLengths(sts, msg_len);
    // r = SHA-512(prefix ‖ M) mod L, R = r·B, k = SHA-512(R ‖ A ‖ M), s = (r + k·a) mod L.
    if (ec::onIfmaPath(sts, ec::curve25519Consts, ec::kStackCurve25519,
                       [&](const ec::Curve25519Consts& c, unsigned lanes) {
            const ec::Curve25519Engine& engine = ec::curve25519EngineAvx512();
            int8u a[kLanes][32] = {}, prefix[kLanes][32] = {}, derived[kLanes][32], r[kLanes][32], rb[kLanes][32],
                s[kLanes][32];
            int8u wide[kLanes][64] = {}, k[kLanes][64] = {};
            expandSeeds(a, prefix, priv, lanes);
            engine.basePoints(c, derived, a, lanes, false);
            // The public key enters the signature; one that does not belong to the private key would
            // give a signature nobody can verify.
            Status8 mismatch;
            for (int i = 0; i < kLanes; ++i)
                if (on(lanes, i) && CRYPTO_memcmp(derived[i], *pub[i], kKeyBytes) != 0) {
                    mismatch.set(i, TZV_STS_BAD_PARAM);
                    lanes &= ~(1u << i);
                }
            for (int i = 0; i < kLanes; ++i)
                if (on(lanes, i)) sha512(wide[i], {{prefix[i], 32}, {msg[i], msg_len[i]}});
            engine.reduceScalars(c, r, wide, lanes);
            engine.basePoints(c, rb, r, lanes, false);
            for (int i = 0; i < kLanes; ++i)
                if (on(lanes, i)) sha512(k[i], {{rb[i], 32}, {*pub[i], kKeyBytes}, {msg[i], msg_len[i]}});
            engine.signScalars(c, s, wide, k, a, lanes);
            for (auto* secret : {&a, &prefix, &r}) OPENSSL_cleanse(secret, sizeof *secret);
            OPENSSL_cleanse(wide, sizeof wide);
            for (int i = 0; i < kLanes; ++i)
                if (on(lanes, i)) std::memcpy(*sign_r[i], rb[i], 32), std::memcpy(*sign_s[i], s[i], 32);
            return mismatch.word();
        }))
        return sts.word();
    EVP_MD_CTX* md = digestContext();
    if (!md) {
        sts.setAll(TZV_STS_BAD_PARAM);
        return sts.word();
    }
    ErrorMark mark;
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        Pkey key = privateKey(*priv[i]);
        int8u derived[kKeyBytes];
        // The public key enters the signature (R‖A‖M is hashed); one that does not belong to the
        // private key would give a signature nobody can verify.
        if (!key || !publicOf(key.get(), derived) || CRYPTO_memcmp(derived, *pub[i], kKeyBytes) != 0) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        int8u sig[64];
        size_t sigLen = sizeof sig;
        EVP_MD_CTX_reset(md);
        if (EVP_DigestSignInit(md, nullptr, nullptr, nullptr, key.get()) != 1 ||
            EVP_DigestSign(md, sig, &sigLen, msg[i], msg_len[i]) != 1 || sigLen != sizeof sig) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        std::memcpy(*sign_r[i], sig, 32);
        std::memcpy(*sign_s[i], sig + 32, 32);
    }
    EVP_MD_CTX_reset(md);
    return sts.word();
}

TZV_EXPORT tzv_status tzv_ed25519_verify_mb8(const tzv_ed25519_sign_component* const sign_r[8],
                                             const tzv_ed25519_sign_component* const sign_s[8],
                                             const int8u* const msg[8], const int32u msg_len[8],
                                             const tzv_ed25519_public_key* const pub[8])
{
    Status8 sts;
    markNullLanes(sts, sign_r, sign_s, msg, pub);
    markNullLengths(sts, msg_len);
    // R = s·B − k·A with k = SHA-512(R ‖ A ‖ M), R compared byte for byte.
    if (ec::onIfmaPath(sts, ec::curve25519Consts, ec::kStackPublic, [&](const ec::Curve25519Consts& c, unsigned lanes) {
            Status8 result;
            int8u k[kLanes][64] = {}, s[kLanes][32] = {}, check[kLanes][32];
            const int8u* a[kLanes] = {};
            for (int i = 0; i < kLanes; ++i) {
                if (!on(lanes, i)) continue;
                // A non-canonical S is malformed input rather than a wrong signature.
                if (!belowOrder(*sign_s[i])) {
                    result.set(i, TZV_STS_BAD_PARAM);
                    lanes &= ~(1u << i);
                    continue;
                }
                std::memcpy(s[i], *sign_s[i], 32);
                a[i] = *pub[i];
                sha512(k[i], {{*sign_r[i], 32}, {*pub[i], kKeyBytes}, {msg[i], msg_len[i]}});
            }
            const unsigned noPoint = ec::curve25519EngineAvx512().verifyPoints(c, check, a, s, k, lanes);
            for (int i = 0; i < kLanes; ++i)
                if (on(lanes, i) && (on(noPoint, i) || std::memcmp(check[i], *sign_r[i], 32) != 0))
                    result.set(i, TZV_STS_SIGNATURE);
            return result.word();
        }))
        return sts.word();
    EVP_MD_CTX* md = digestContext();
    if (!md) {
        sts.setAll(TZV_STS_BAD_PARAM);
        return sts.word();
    }
    ErrorMark mark;
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        // A non-canonical S is malformed input rather than a wrong signature.
        if (!belowOrder(*sign_s[i])) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        Pkey key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, *pub[i], kKeyBytes));
        int8u sig[64];
        std::memcpy(sig, *sign_r[i], 32);
        std::memcpy(sig + 32, *sign_s[i], 32);
        EVP_MD_CTX_reset(md);
        // Every failure past the S check is a key that is no point, an R that is no point or an
        // equation that does not hold: all of them mean the signature does not verify.
        if (!key || EVP_DigestVerifyInit(md, nullptr, nullptr, nullptr, key.get()) != 1 ||
            EVP_DigestVerify(md, sig, sizeof sig, msg[i], msg_len[i]) != 1)
            sts.set(i, TZV_STS_SIGNATURE);
    }
    EVP_MD_CTX_reset(md);
    return sts.word();
}
