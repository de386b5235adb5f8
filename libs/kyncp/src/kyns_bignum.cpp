// Big-number contexts: a sign and a fixed capacity of words.
#include "kyns_bnu.h"
#include "kyns_context.h"

namespace kyns {

int BigNum::length() const { return bnuSigLen(words(), (int)room); }

KynStatus bnStore(BigNum* bn, KynsBigNumSGN sign, const int32u* data, int n)
{
    const int len = bnuSigLen(data, n);
    if (len > (int)bn->room) return kynStsOutOfRangeErr;
    // data may lie inside bn itself (a value stored back into its own number).
    int32u* w = bn->words();
    if (w != data) {
        for (int i = 0; i < len; ++i) w[i] = data[i];
    }
    bnuZero(w + len, (int)bn->room - len);
    bn->sign = (len == 0) ? kynsBigNumPOS : sign;
    return kynStsNoErr;
}

} // namespace kyns

using namespace kyns;

namespace {
bool validLength(int length) { return length >= 1 && length <= KYNS_BN_MAXWORDS; }
}

extern "C" {

KynStatus kynsBigNumGetSize(int length, int* pSize)
{
    if (!pSize) return kynStsNullPtrErr;
    if (!validLength(length)) return kynStsLengthErr;
    *pSize = ctxSize((long)sizeof(BigNum) + 4L * length);
    return kynStsNoErr;
}

KynStatus kynsBigNumInit(int length, _cpBigNum* pBN)
{
    if (!pBN) return kynStsNullPtrErr;
    if (!validLength(length)) return kynStsLengthErr;
    BigNum* bn = place<BigNum>(pBN);
    bn->id = ctxId(MAGIC_BIGNUM, bn);
    bn->sign = kynsBigNumPOS;
    bn->room = (int32u)length;
    bn->reserved = 0;
    bnuZero(bn->words(), length);
    return kynStsNoErr;
}

KynStatus kynsSet_BN(KynsBigNumSGN sgn, int length, const int32u* pData, _cpBigNum* pBN)
{
    if (!pData) return kynStsNullPtrErr;
    BigNum* bn;
    if (KynStatus s = bnAccess(pBN, &bn)) return s;
    if (length < 1) return kynStsLengthErr;
    if (sgn != kynsBigNumPOS && sgn != kynsBigNumNEG) return kynStsNotSupportedModeErr;
    return bnStore(bn, sgn, pData, length);
}

KynStatus kynsRef_BN(KynsBigNumSGN* pSgn, int* pBitSize, int32u** ppData, const _cpBigNum* pBN)
{
    if (!pSgn || !pBitSize || !ppData) return kynStsNullPtrErr;
    BigNum* bn;
    if (KynStatus s = bnAccess(pBN, &bn)) return s;
    *pSgn = (KynsBigNumSGN)bn->sign;
    *pBitSize = bnuBitSize(bn->words(), (int)bn->room);
    *ppData = bn->words();
    return kynStsNoErr;
}

KynStatus kynsGetSize_BN(const _cpBigNum* pBN, int* pSize)
{
    if (!pSize) return kynStsNullPtrErr;
    BigNum* bn;
    if (KynStatus s = bnAccess(pBN, &bn)) return s;
    *pSize = (int)bn->room;
    return kynStsNoErr;
}

} // extern "C"
