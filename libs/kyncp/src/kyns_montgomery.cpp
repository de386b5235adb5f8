// Montgomery contexts: an odd modulus with its constants n0 = -m^-1 mod 2^32 and R^2 mod m, and
// the conversion into and multiplication in the Montgomery domain.
#include "kyns_bnu.h"
#include "kyns_context.h"

using namespace kyns;

namespace {

struct Mont {
    int32u id;
    int32u method;  // KynsExpMethod, kept for exponentiation
    int32u room;    // largest modulus in words
    int32u k;       // words of the modulus; 0 until kynsMontSet
    int32u n0;
    int32u reserved[3];
    // room words each: modulus, R^2 mod m, two operands; then room + 2 words of product.
    int32u* modulus() { return reinterpret_cast<int32u*>(this + 1); }
    int32u* rr() { return modulus() + room; }
    int32u* opA() { return rr() + room; }
    int32u* opB() { return opA() + room; }
    int32u* product() { return opB() + room; }
};
static_assert(sizeof(Mont) == 32, "the arrays follow the header at 32 bytes");

long montBytes(int length) { return (long)sizeof(Mont) + 4L * (5L * length + 2); }

bool validMethod(KynsExpMethod m) { return m == kynsBinaryMethod || m == kynsSlidingWindows; }
bool validLength(int length) { return length >= 1 && length <= KYNS_MONT_MAXWORDS; }

KynStatus montAccess(const _cpMontgomery* p, Mont** out) { return access(p, MAGIC_MONT, out); }

// Copy a number 0 <= a < m into k words of dst.
KynStatus loadOperand(const BigNum* a, Mont* mont, int32u* dst)
{
    const int k = (int)mont->k;
    const int len = a->length();
    if (a->sign == kynsBigNumNEG || len > k) return kynStsOutOfRangeErr;
    bnuCopy(dst, a->words(), len);
    bnuZero(dst + len, k - len);
    if (bnuCmp(dst, mont->modulus(), k) >= 0) return kynStsOutOfRangeErr;
    return kynStsNoErr;
}

} // namespace

extern "C" {

KynStatus kynsMontGetSize(KynsExpMethod method, int length, int* pSize)
{
    if (!pSize) return kynStsNullPtrErr;
    if (!validMethod(method)) return kynStsNotSupportedModeErr;
    if (!validLength(length)) return kynStsLengthErr;
    *pSize = ctxSize(montBytes(length));
    return kynStsNoErr;
}

KynStatus kynsMontInit(KynsExpMethod method, int length, _cpMontgomery* pMont)
{
    if (!pMont) return kynStsNullPtrErr;
    if (!validMethod(method)) return kynStsNotSupportedModeErr;
    if (!validLength(length)) return kynStsLengthErr;
    Mont* mont = place<Mont>(pMont);
    mont->id = ctxId(MAGIC_MONT, mont);
    mont->method = (int32u)method;
    mont->room = (int32u)length;
    mont->k = 0;
    mont->n0 = 0;
    mont->reserved[0] = mont->reserved[1] = mont->reserved[2] = 0;
    bnuZero(mont->modulus(), 5 * length + 2);
    return kynStsNoErr;
}

KynStatus kynsMontSet(const int32u* pModulus, int size, _cpMontgomery* pMont)
{
    if (!pModulus) return kynStsNullPtrErr;
    Mont* mont;
    if (KynStatus s = montAccess(pMont, &mont)) return s;
    if (size < 1) return kynStsLengthErr;
    const int k = bnuSigLen(pModulus, size);
    if (k > (int)mont->room) return kynStsOutOfRangeErr;
    if (k == 0 || (pModulus[0] & 1u) == 0 || (k == 1 && pModulus[0] < 3)) return kynStsBadModulusErr;
    mont->k = (int32u)k;
    bnuCopy(mont->modulus(), pModulus, k);
    mont->n0 = montInverse(pModulus[0]);
    montRR(mont->rr(), mont->modulus(), k);
    return kynStsNoErr;
}

KynStatus kynsMontGet(int32u* pModulus, int* pSize, const _cpMontgomery* pMont)
{
    if (!pModulus || !pSize) return kynStsNullPtrErr;
    Mont* mont;
    if (KynStatus s = montAccess(pMont, &mont)) return s;
    if (mont->k == 0) return kynStsIncompleteContextErr;
    bnuCopy(pModulus, mont->modulus(), (int)mont->k);
    *pSize = (int)mont->k;
    return kynStsNoErr;
}

KynStatus kynsMontForm(const _cpBigNum* pA, _cpMontgomery* pMont, _cpBigNum* pR)
{
    Mont* mont;
    BigNum *a, *r;
    if (KynStatus s = bnAccess(pA, &a)) return s;
    if (KynStatus s = montAccess(pMont, &mont)) return s;
    if (KynStatus s = bnAccess(pR, &r)) return s;
    if (mont->k == 0) return kynStsIncompleteContextErr;
    const int k = (int)mont->k;
    if (KynStatus s = loadOperand(a, mont, mont->opA())) return s;
    // a R = a R^2 / R.
    montMul(mont->opB(), mont->opA(), mont->rr(), mont->modulus(), k, mont->n0, mont->product());
    return bnStore(r, kynsBigNumPOS, mont->opB(), k);
}

KynStatus kynsMontMul(const _cpBigNum* pA, const _cpBigNum* pB, _cpMontgomery* pMont, _cpBigNum* pR)
{
    Mont* mont;
    BigNum *a, *b, *r;
    if (KynStatus s = bnAccess(pA, &a)) return s;
    if (KynStatus s = bnAccess(pB, &b)) return s;
    if (KynStatus s = montAccess(pMont, &mont)) return s;
    if (KynStatus s = bnAccess(pR, &r)) return s;
    if (mont->k == 0) return kynStsIncompleteContextErr;
    const int k = (int)mont->k;
    if (KynStatus s = loadOperand(a, mont, mont->opA())) return s;
    if (KynStatus s = loadOperand(b, mont, mont->opB())) return s;
    montMul(mont->opA(), mont->opA(), mont->opB(), mont->modulus(), k, mont->n0, mont->product());
    return bnStore(r, kynsBigNumPOS, mont->opA(), k);
}

} // extern "C"
