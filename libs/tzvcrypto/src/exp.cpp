// Modular exponentiation over 8 lanes: out = base^pwr mod mod for odd moduli of up to 4096 bits.
// The exponent may be a secret (a private key, a DH secret): the lanes run together on IFMA with
// fixed windows (mexp/), or each on OpenSSL's constant-time fixed-window exponentiation on the
// portable path. The moduli are taken as public: their lengths set where R² starts.
#include <openssl/bn.h>

#include <algorithm>

#include "modexp_common.h"

namespace {

using namespace tzv;
using namespace tzv::bn;
using namespace tzv::modexp;

int wordsFor(int bits) { return (bits + 63) / 64; }

// r = b^e mod m in one lane, the three values already loaded; m is odd.
bool expLane(BIGNUM* r, BIGNUM* b, const BIGNUM* e, const BIGNUM* m, BN_MONT_CTX* mont, BN_CTX* ctx)
{
    if (BN_is_one(m)) { // every power is 0 modulo 1; Montgomery arithmetic has no room for it
        BN_zero(r);
        return true;
    }
    return BN_nnmod(b, b, m, ctx) && BN_MONT_CTX_set(mont, m, ctx) &&
           BN_mod_exp_mont_consttime(r, b, e, m, ctx, mont);
}

} // namespace

TZV_EXPORT int tzv_exp_BufferSize(int mod_bits)
{
    if (mod_bits < 1 || mod_bits > kMaxBits) return 0;
    return (int)bufferBytes(8 * wordsFor(mod_bits), wordsFor(mod_bits));
}

TZV_EXPORT tzv_status tzv_exp_mb8(int64u* const out[8], const int64u* const base[8], const int64u* const pwr[8],
                                  int pwr_bits, const int64u* const mod[8], int mod_bits, int8u* work, int work_len)
{
    Status8 sts;
    if (mod_bits < 1 || mod_bits > kMaxBits || pwr_bits < 0 || pwr_bits > mod_bits) {
        sts.setAll(TZV_STS_BAD_PARAM);
        return sts.word();
    }
    if (!work) {
        sts.setAll(TZV_STS_NULL_PARAM);
        return sts.word();
    }
    if (work_len < tzv_exp_BufferSize(mod_bits)) {
        sts.setAll(TZV_STS_BAD_PARAM);
        return sts.word();
    }
    markNullLanes(sts, out, base, mod);
    // A zero-bit exponent is the number 0 and needs no words; otherwise the exponent must be there.
    if (pwr_bits > 0) markNullLanes(sts, pwr);

    Workspace* ws = Workspace::get();
    if (!ws) {
        failRemainingLanes(sts);
        return sts.word();
    }
    BN_CTX* ctx = ws->ctx();
    const int modWords = wordsFor(mod_bits);
    const int resultBytes = 8 * modWords;
    BnFrame f(ctx);
    BIGNUM* m = f.get();
    BIGNUM* b = f.constTimeSecret();
    BIGNUM* e = f.constTimeSecret();
    BIGNUM* r = f.constTimeSecret();
    if (!m || !b || !e || !r) {
        failRemainingLanes(sts);
        return sts.word();
    }
    const mexp::ModExpEngine* engine = mexp::modExpEngine();
    int minBits = mod_bits;
    for (int i = 0; i < kLanes; ++i) {
        if (!sts.ok(i)) continue;
        // Values wider than their announced bit lengths are refused rather than silently cut.
        bool ok = wordsToBn(m, mod[i], modWords) && BN_num_bits(m) <= mod_bits && BN_is_odd(m) &&
                  wordsToBn(b, base[i], modWords);
        if (ok && pwr_bits > 0)
            ok = wordsToBn(e, pwr[i], wordsFor(pwr_bits)) && BN_num_bits(e) <= pwr_bits;
        else if (ok)
            BN_zero(e);
        if (ok && engine) {
            minBits = std::min(minBits, BN_num_bits(m));
            continue;
        }
        int64u* res = reinterpret_cast<int64u*>(slot(work, resultBytes, i));
        if (!ok || !expLane(r, b, e, m, ws->mont(i), ctx) || !bnToWords(res, modWords, r))
            sts.set(i, TZV_STS_BAD_PARAM);
    }
    if (engine && okLanes(sts)) {
        static const int64u* const kNoExponent[kLanes] = {};
        int64u* res[kLanes];
        for (int i = 0; i < kLanes; ++i) res[i] = reinterpret_cast<int64u*>(slot(work, resultBytes, i));
        int8u* scratch = engineScratch(work, resultBytes);
        engine->power(res, base, pwr_bits > 0 ? pwr : kNoExponent, pwr_bits, mod, modWords, minBits, okLanes(sts),
                      scratch);
        OPENSSL_cleanse(scratch, mexp::scratchBytes(modWords));
        scrubStack(mexp::kEngineStack);
    }
    deliver(sts, out, work, resultBytes);
    return sts.word();
}
