// Raw RSA over 8 lanes (public exponent 65537, private with d, private with the CRT) for moduli of
// 1024, 2048, 3072 and 4096 bits; lanes may carry different keys. Each lane's values are checked
// here; the lanes that pass are computed together on IFMA (mexp/), or each on OpenSSL's Montgomery
// arithmetic on the portable path.
#include <openssl/bn.h>

#include <cstdint>

#include "modexp_common.h"
#include "simd/limbs52.h"

// The descriptor of one (operation, size); the library hands out pointers into the static table
// below and accepts no other pointer, so that a stray pointer is never dereferenced.
struct tzv_rsa_method {
    int kind;
    int bits;
};

namespace {

using namespace tzv;
using namespace tzv::bn;
using namespace tzv::modexp;

enum Kind { kPublic = 1, kPrivate = 2, kPrivateCrt = 3 };

constexpr tzv_rsa_method kMethods[3][4] = {
    {{kPublic, 1024}, {kPublic, 2048}, {kPublic, 3072}, {kPublic, 4096}},
    {{kPrivate, 1024}, {kPrivate, 2048}, {kPrivate, 3072}, {kPrivate, 4096}},
    {{kPrivateCrt, 1024}, {kPrivateCrt, 2048}, {kPrivateCrt, 3072}, {kPrivateCrt, 4096}},
};

bool supportedBits(int bits) { return bits == 1024 || bits == 2048 || bits == 3072 || bits == 4096; }

bool isOurs(const tzv_rsa_method* method)
{
    auto first = reinterpret_cast<std::uintptr_t>(&kMethods[0][0]);
    auto m = reinterpret_cast<std::uintptr_t>(method);
    return m >= first && m < first + sizeof kMethods && (m - first) % sizeof(tzv_rsa_method) == 0;
}

// Checks what applies to every lane alike. False (with every lane's status set) when the call
// cannot run: the method is not one of ours, of another kind or size, or the work buffer is missing.
bool startCall(Status8& sts, int bits, const tzv_rsa_method* method, Kind kind, const int8u* work)
{
    if (!isOurs(method) || !supportedBits(bits) || method->kind != kind || method->bits != bits) {
        sts.setAll(TZV_STS_BAD_PARAM);
        return false;
    }
    if (!work) {
        sts.setAll(TZV_STS_NULL_PARAM);
        return false;
    }
    return true;
}

// A modulus of exactly `bits` bits, odd (Montgomery arithmetic needs it).
bool validModulus(const BIGNUM* n, int bits) { return BN_is_odd(n) && BN_num_bits(n) == bits; }

// Loads the lane's text and checks it is below n.
bool loadText(BIGNUM* m, const int8u* from, int len, const BIGNUM* n)
{
    return BN_bin2bn(from, len, m) && BN_cmp(m, n) < 0;
}

// r = m^e mod n with e the public exponent 65537: 16 squarings and a multiplication, not worth a
// window table.
bool pow65537(BIGNUM* r, const BIGNUM* m, BN_MONT_CTX* mont, BN_CTX* ctx)
{
    if (!BN_to_montgomery(r, m, mont, ctx)) return false;
    BnFrame f(ctx);
    BIGNUM* mm = f.get();
    if (!mm || !BN_copy(mm, r)) return false;
    for (int i = 0; i < 16; ++i)
        if (!BN_mod_mul_montgomery(r, r, r, mont, ctx)) return false;
    return BN_mod_mul_montgomery(r, r, mm, mont, ctx) && BN_from_montgomery(r, r, mont, ctx);
}

// m = c^d mod n over p and q (Garner): m1 = c^dp mod p, m2 = c^dq mod q, h = (m1 - m2)·invq mod p,
// m = m2 + h·q. The key values arrive flagged constant-time; the exponentiations and the
// multiplications by invq use Montgomery arithmetic.
bool crtLane(BIGNUM* m, const BIGNUM* c, const BIGNUM* p, const BIGNUM* q, const BIGNUM* dp, const BIGNUM* dq,
             const BIGNUM* invq, BN_MONT_CTX* mp, BN_MONT_CTX* mq, BnFrame& f, BN_CTX* ctx)
{
    BIGNUM* m1 = f.constTimeSecret();
    BIGNUM* m2 = f.constTimeSecret();
    BIGNUM* t = f.constTimeSecret();
    if (!m1 || !m2 || !t) return false;
    return BN_nnmod(t, c, p, ctx) && BN_mod_exp_mont_consttime(m1, t, dp, p, ctx, mp) &&
           BN_nnmod(t, c, q, ctx) && BN_mod_exp_mont_consttime(m2, t, dq, q, ctx, mq) &&
           BN_nnmod(t, m2, p, ctx) && BN_mod_sub(m1, m1, t, p, ctx) &&
           BN_to_montgomery(t, invq, mp, ctx) && BN_mod_mul_montgomery(m1, m1, t, mp, ctx) &&
           BN_mul(t, m1, q, ctx) && BN_add(m, m2, t);
}

// invq·q ≡ 1 (mod p), for invq below p: a wrong coefficient would give a wrong plaintext without
// any other sign.
bool validCoefficient(const BIGNUM* invq, const BIGNUM* q, const BIGNUM* p, BN_MONT_CTX* mp, BnFrame& f,
                      BN_CTX* ctx)
{
    BIGNUM* a = f.constTimeSecret();
    BIGNUM* b = f.constTimeSecret();
    return a && b && BN_nnmod(b, q, p, ctx) && BN_to_montgomery(a, invq, mp, ctx) &&
           BN_mod_mul_montgomery(a, a, b, mp, ctx) && BN_is_one(a);
}

constexpr int kMaxTextWords = kMaxBits / 64;

// The IFMA engine's inputs and outputs: each lane's text as words, its result formed as words in
// its slot and turned into bytes there. With `secret`, the texts and the engine's numbers are wiped
// afterwards (the public operation's are all public).
struct EngineLanes {
    int len;
    int8u* work;
    bool secret;
    uint64_t text[kLanes][kMaxTextWords];
    const int64u* in[kLanes];
    int64u* out[kLanes];

    EngineLanes(const int8u* const from[kLanes], int len_, int8u* work_, const Status8& sts, bool secret_)
        : len(len_), work(work_), secret(secret_)
    {
        for (int i = 0; i < kLanes; ++i) {
            if (sts.ok(i)) simd::bytesToWords(text[i], len / 8, from[i], len);
            in[i] = text[i];
            out[i] = reinterpret_cast<int64u*>(slot(work, len, i));
        }
    }
    ~EngineLanes()
    {
        if (secret) OPENSSL_cleanse(text, sizeof text);
    }
    int8u* scratch() const { return engineScratch(work, len); }

    // Results to bytes.
    void finish(const Status8& sts)
    {
        for (int i = 0; i < kLanes; ++i) {
            if (!sts.ok(i)) continue;
            int8u bytes[8 * kMaxTextWords];
            simd::wordsToBytes(bytes, len, out[i]);
            std::memcpy(out[i], bytes, (std::size_t)len);
            if (secret) OPENSSL_cleanse(bytes, sizeof bytes);
        }
        if (secret) OPENSSL_cleanse(scratch(), mexp::scratchBytes(len / 8));
    }
};

} // namespace

TZV_EXPORT const tzv_rsa_method* tzv_RSA1K_pub65537_Method(void) { return &kMethods[0][0]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA2K_pub65537_Method(void) { return &kMethods[0][1]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA3K_pub65537_Method(void) { return &kMethods[0][2]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA4K_pub65537_Method(void) { return &kMethods[0][3]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA1K_private_Method(void) { return &kMethods[1][0]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA2K_private_Method(void) { return &kMethods[1][1]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA3K_private_Method(void) { return &kMethods[1][2]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA4K_private_Method(void) { return &kMethods[1][3]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA1K_private_crt_Method(void) { return &kMethods[2][0]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA2K_private_crt_Method(void) { return &kMethods[2][1]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA3K_private_crt_Method(void) { return &kMethods[2][2]; }
TZV_EXPORT const tzv_rsa_method* tzv_RSA4K_private_crt_Method(void) { return &kMethods[2][3]; }

TZV_EXPORT int tzv_RSA_Method_BufSize(const tzv_rsa_method* method)
{
    if (!isOurs(method)) return 0;
    return (int)bufferBytes(method->bits / 8, method->bits / 64);
}

TZV_EXPORT tzv_status tzv_rsa_public_mb8(const int8u* const from[8], int8u* const to[8], const int64u* const n[8],
                                         int bits, const tzv_rsa_method* method, int8u* work)
{
    Status8 sts;
    if (!startCall(sts, bits, method, kPublic, work)) return sts.word();
    markNullLanes(sts, from, to, n);
    Workspace* ws = Workspace::get();
    if (!ws) {
        failRemainingLanes(sts);
        return sts.word();
    }
    BN_CTX* ctx = ws->ctx();
    const int len = bits / 8;
    const mexp::ModExpEngine* engine = mexp::modExpEngine();
    BnFrame f(ctx);
    BIGNUM* nn = f.get();
    BIGNUM* m = f.get();
    BIGNUM* r = f.get();
    if (!nn || !m || !r) {
        failRemainingLanes(sts);
        return sts.word();
    }
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        if (!wordsToBn(nn, n[i], bits / 64) || !validModulus(nn, bits) || !loadText(m, from[i], len, nn)) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        if (engine) continue;
        BN_MONT_CTX* mont = ws->mont(i);
        if (!BN_MONT_CTX_set(mont, nn, ctx) || !pow65537(r, m, mont, ctx) ||
            BN_bn2binpad(r, slot(work, len, i), len) < 0)
            sts.set(i, TZV_STS_BAD_PARAM);
    }
    if (engine && okLanes(sts)) {
        EngineLanes lanes(from, len, work, sts, false);
        engine->power(lanes.out, lanes.in, nullptr, 0, n, bits / 64, bits, okLanes(sts), lanes.scratch());
        lanes.finish(sts);
    }
    deliver(sts, to, work, len);
    return sts.word();
}

TZV_EXPORT tzv_status tzv_rsa_private_mb8(const int8u* const from[8], int8u* const to[8], const int64u* const d[8],
                                          const int64u* const n[8], int bits, const tzv_rsa_method* method,
                                          int8u* work)
{
    Status8 sts;
    if (!startCall(sts, bits, method, kPrivate, work)) return sts.word();
    markNullLanes(sts, from, to, d, n);
    Workspace* ws = Workspace::get();
    if (!ws) {
        failRemainingLanes(sts);
        return sts.word();
    }
    BN_CTX* ctx = ws->ctx();
    const int len = bits / 8;
    const mexp::ModExpEngine* engine = mexp::modExpEngine();
    BnFrame f(ctx);
    BIGNUM* nn = f.get();
    BIGNUM* c = f.get();
    BIGNUM* dd = f.constTimeSecret();
    BIGNUM* m = f.constTimeSecret();
    if (!nn || !c || !dd || !m) {
        failRemainingLanes(sts);
        return sts.word();
    }
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        // On the IFMA path the engine checks the secret d against n and reads its words itself.
        if (!wordsToBn(nn, n[i], bits / 64) || !validModulus(nn, bits) || !loadText(c, from[i], len, nn) ||
            (!engine && (!wordsInRange(d[i], n[i], bits / 64) || !wordsToBn(dd, d[i], bits / 64)))) {
            sts.set(i, TZV_STS_BAD_PARAM);
            continue;
        }
        if (engine) continue;
        BN_MONT_CTX* mont = ws->mont(i);
        if (!BN_MONT_CTX_set(mont, nn, ctx) || !BN_mod_exp_mont_consttime(m, c, dd, nn, ctx, mont) ||
            BN_bn2binpad(m, slot(work, len, i), len) < 0)
            sts.set(i, TZV_STS_BAD_PARAM);
    }
    // Out-of-range secrets fail their lanes here, on the engine's masks.
    if (engine) failLanes(sts, engine->outOfRange(d, n, bits / 64, okLanes(sts)));
    if (engine && okLanes(sts)) {
        EngineLanes lanes(from, len, work, sts, true);
        engine->power(lanes.out, lanes.in, d, bits, n, bits / 64, bits, okLanes(sts), lanes.scratch());
        lanes.finish(sts);
    }
    if (engine) scrubStack(mexp::kEngineStack);
    deliver(sts, to, work, len);
    return sts.word();
}

TZV_EXPORT tzv_status tzv_rsa_private_crt_mb8(const int8u* const from[8], int8u* const to[8],
                                              const int64u* const p[8], const int64u* const q[8],
                                              const int64u* const dp[8], const int64u* const dq[8],
                                              const int64u* const invq[8], int bits, const tzv_rsa_method* method,
                                              int8u* work)
{
    Status8 sts;
    if (!startCall(sts, bits, method, kPrivateCrt, work)) return sts.word();
    markNullLanes(sts, from, to, p, q, dp, dq, invq);
    Workspace* ws = Workspace::get();
    if (!ws) {
        failRemainingLanes(sts);
        return sts.word();
    }
    BN_CTX* ctx = ws->ctx();
    const int len = bits / 8;
    const mexp::ModExpEngine* engine = mexp::modExpEngine();
    const int half = bits / 128;
    BnFrame f(ctx);
    BIGNUM* nn = f.get();
    BIGNUM* c = f.get();
    BIGNUM* pp = f.constTimeSecret();
    BIGNUM* qq = f.constTimeSecret();
    BIGNUM* dpp = f.constTimeSecret();
    BIGNUM* dqq = f.constTimeSecret();
    BIGNUM* iq = f.constTimeSecret();
    BIGNUM* m = f.constTimeSecret();
    if (!nn || !c || !pp || !qq || !dpp || !dqq || !iq || !m) {
        failRemainingLanes(sts);
        return sts.word();
    }
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        BN_MONT_CTX* mp = ws->mont(2 * i);
        BN_MONT_CTX* mq = ws->mont(2 * i + 1);
        // Each lane's frame returns its temporaries to the pool (wiped) before the next lane.
        BnFrame lane(ctx);
        bool ok = wordsToBn(pp, p[i], half) && wordsToBn(qq, q[i], half) && BN_is_odd(pp) && BN_is_odd(qq) &&
                  !BN_is_one(pp) && !BN_is_one(qq) && BN_mul(nn, pp, qq, ctx) && BN_num_bits(nn) == bits &&
                  loadText(c, from[i], len, nn);
        if (ok && engine) continue; // the engine checks dp, dq and invq on its lanes
        // dp, dq and invq are compared with the primes on the words: all four are secrets.
        ok = ok && wordsInRange(dp[i], p[i], half) && wordsInRange(dq[i], q[i], half) &&
             wordsInRange(invq[i], p[i], half) && wordsToBn(dpp, dp[i], half) && wordsToBn(dqq, dq[i], half) &&
             wordsToBn(iq, invq[i], half) && BN_MONT_CTX_set(mp, pp, ctx) &&
             BN_MONT_CTX_set(mq, qq, ctx) && validCoefficient(iq, qq, pp, mp, lane, ctx);
        if (!ok || !crtLane(m, c, pp, qq, dpp, dqq, iq, mp, mq, lane, ctx) ||
            BN_bn2binpad(m, slot(work, len, i), len) < 0)
            sts.set(i, TZV_STS_BAD_PARAM);
    }
    if (engine) {
        failLanes(sts, engine->outOfRange(dp, p, half, okLanes(sts)));
        failLanes(sts, engine->outOfRange(dq, q, half, okLanes(sts)));
        failLanes(sts, engine->outOfRange(invq, p, half, okLanes(sts)));
    }
    if (engine && okLanes(sts)) {
        EngineLanes lanes(from, len, work, sts, true);
        failLanes(sts, engine->crt(lanes.out, lanes.in, p, q, dp, dq, invq, half, okLanes(sts), lanes.scratch()));
        lanes.finish(sts);
    }
    if (engine) scrubStack(mexp::kEngineStack);
    deliver(sts, to, work, len);
    return sts.word();
}
