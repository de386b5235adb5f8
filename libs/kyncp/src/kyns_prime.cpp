// Prime contexts: the work space of a probable-prime test of numbers up to maxBits bits.
// The test is trial division by the primes below 256, then Miller-Rabin with random bases,
// computed in the Montgomery domain.
#include "kyns_bnu.h"
#include "kyns_context.h"

using namespace kyns;

namespace {

struct Prime {
    int32u id;
    int32u maxBits;
    int32u room;  // words of the largest number
    int32u reserved;
    // room words each: modulus, R^2, odd part of n - 1, base, x, R mod n, -R mod n, base * R;
    // then room + 2 words of product.
    int32u* arr(int i) { return reinterpret_cast<int32u*>(this + 1) + i * room; }
};
static_assert(sizeof(Prime) == 16, "the arrays follow the header at 16 bytes");
const int PRIME_ARRAYS = 8;
long workWords(long room) { return (PRIME_ARRAYS + 1) * room + 2; }  // the product has room + 2 words

const int MAX_TRIALS = 1000;

const unsigned char SMALL_PRIMES[] = {
    2,   3,   5,   7,   11,  13,  17,  19,  23,  29,  31,  37,  41,  43,  47,  53,  59,  61,
    67,  71,  73,  79,  83,  89,  97,  101, 103, 107, 109, 113, 127, 131, 137, 139, 149, 151,
    157, 163, 167, 173, 179, 181, 191, 193, 197, 199, 211, 223, 227, 229, 233, 239, 241, 251};
// Every composite below 257^2 has a factor in SMALL_PRIMES.
const int32u TRIAL_DIVISION_BOUND = 257u * 257u;

long primeBytes(int maxBits)
{
    const long room = (maxBits + 31) / 32;
    return (long)sizeof(Prime) + 4L * workWords(room);
}

bool validBits(int maxBits) { return maxBits >= 2 && maxBits <= KYNS_PRIME_MAXBITS; }

KynStatus primeAccess(const _cpPrime* p, Prime** out) { return access(p, MAGIC_PRIME, out); }

void shiftRight(int32u* a, int n, int bits)
{
    const int words = bits / 32, rest = bits % 32;
    for (int i = 0; i < n; ++i) {
        const int32u lo = (i + words < n) ? a[i + words] : 0;
        const int32u hi = (i + words + 1 < n) ? a[i + words + 1] : 0;
        a[i] = rest ? (lo >> rest) | (hi << (32 - rest)) : lo;
    }
}

// Miller-Rabin on the odd n > 257^2 of k words; the random bases come from rnd.
KynStatus millerRabin(Prime* ctx, const int32u* n, int k, int nTrials, _cpPRNG* rnd, bool* probablyPrime)
{
    int32u *m = ctx->arr(0), *rr = ctx->arr(1), *d = ctx->arr(2), *base = ctx->arr(3), *x = ctx->arr(4),
           *one = ctx->arr(5), *minusOne = ctx->arr(6), *bm = ctx->arr(7), *t = ctx->arr(8);
    bnuCopy(m, n, k);
    const int32u n0 = montInverse(m[0]);
    montRR(rr, m, k);
    // R mod n = R^2 * 1 / R, and -R mod n = n - R mod n.
    bnuZero(base, k);
    base[0] = 1;
    montMul(one, rr, base, m, k, n0, t);
    bnuSub(minusOne, m, one, k);

    // n - 1 = d 2^s with d odd.
    bnuSubWord(d, m, 1, k);
    int s = 0;
    while (!bnuBit(d, s)) ++s;
    shiftRight(d, k, s);
    const int dBits = bnuBitSize(d, k);
    const int nBits = bnuBitSize(m, k);

    for (int trial = 0; trial < nTrials; ++trial) {
        // A base of nBits - 1 bits is at most n - 2; 0 and 1 become 2.
        bnuZero(base, k);
        if (KynStatus st = kynsPRNGen(base, nBits - 1, rnd)) return st;
        if (bnuSigLen(base, k) == 0 || bnuIsWord(base, k, 1)) base[0] = 2;

        montMul(bm, base, rr, m, k, n0, t);
        bnuCopy(x, one, k);
        for (int i = dBits - 1; i >= 0; --i) {
            montMul(x, x, x, m, k, n0, t);
            if (bnuBit(d, i)) montMul(x, x, bm, m, k, n0, t);
        }
        if (bnuCmp(x, one, k) == 0 || bnuCmp(x, minusOne, k) == 0) continue;
        bool witness = true;
        for (int i = 1; i < s; ++i) {
            montMul(x, x, x, m, k, n0, t);
            if (bnuCmp(x, minusOne, k) == 0) {
                witness = false;
                break;
            }
            if (bnuCmp(x, one, k) == 0) break;
        }
        if (witness) {
            *probablyPrime = false;
            return kynStsNoErr;
        }
    }
    *probablyPrime = true;
    return kynStsNoErr;
}

} // namespace

extern "C" {

KynStatus kynsPrimeGetSize(int maxBits, int* pSize)
{
    if (!pSize) return kynStsNullPtrErr;
    if (!validBits(maxBits)) return kynStsLengthErr;
    *pSize = ctxSize(primeBytes(maxBits));
    return kynStsNoErr;
}

KynStatus kynsPrimeInit(int maxBits, _cpPrime* pPrime)
{
    if (!pPrime) return kynStsNullPtrErr;
    if (!validBits(maxBits)) return kynStsLengthErr;
    Prime* ctx = place<Prime>(pPrime);
    ctx->id = ctxId(MAGIC_PRIME, ctx);
    ctx->maxBits = (int32u)maxBits;
    ctx->room = (int32u)(maxBits + 31) / 32;
    ctx->reserved = 0;
    bnuZero(ctx->arr(0), (int)workWords(ctx->room));
    return kynStsNoErr;
}

KynStatus kynsPrimeTest_BN(const _cpBigNum* pA, int nTrials, int32u* pResult, _cpPrime* pPrime, _cpPRNG* pRnd)
{
    if (!pResult) return kynStsNullPtrErr;
    BigNum* a;
    Prime* ctx;
    if (KynStatus s = bnAccess(pA, &a)) return s;
    if (KynStatus s = primeAccess(pPrime, &ctx)) return s;
    if (KynStatus s = prngReady(pRnd)) return s;
    if (nTrials < 1 || nTrials > MAX_TRIALS) return kynStsOutOfRangeErr;
    const int32u* n = a->words();
    const int k = a->length();
    if (bnuBitSize(n, k) > (int)ctx->maxBits) return kynStsOutOfRangeErr;

    if (a->sign == kynsBigNumNEG || k == 0 || bnuIsWord(n, k, 1)) {
        *pResult = kynsComposite;
        return kynStsNoErr;
    }
    for (unsigned char p : SMALL_PRIMES) {
        if (bnuIsWord(n, k, p)) {
            *pResult = kynsProbablyPrime;
            return kynStsNoErr;
        }
        if (bnuModWord(n, k, p) == 0) {
            *pResult = kynsComposite;
            return kynStsNoErr;
        }
    }
    if (k == 1 && n[0] < TRIAL_DIVISION_BOUND) {
        *pResult = kynsProbablyPrime;
        return kynStsNoErr;
    }
    bool probablyPrime = false;
    if (KynStatus s = millerRabin(ctx, n, k, nTrials, pRnd, &probablyPrime)) return s;
    *pResult = probablyPrime ? kynsProbablyPrime : kynsComposite;
    return kynStsNoErr;
}

} // extern "C"
