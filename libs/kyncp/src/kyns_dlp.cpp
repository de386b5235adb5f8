// Discrete-logarithm domain contexts: a prime P of bitSizeP bits, a subgroup order R of bitSizeR
// bits and a generator G, with their sizes checked.
#include "kyns_bnu.h"
#include "kyns_context.h"

using namespace kyns;

namespace {

struct Dlp {
    int32u id;
    int32u bitsP;
    int32u bitsR;
    int32u isSet;
    int wordsP() const { return (int)(bitsP + 31) / 32; }
    int wordsR() const { return (int)(bitsR + 31) / 32; }
    int32u* p() { return reinterpret_cast<int32u*>(this + 1); }
    int32u* r() { return p() + wordsP(); }
    int32u* g() { return r() + wordsR(); }
};
static_assert(sizeof(Dlp) == 16, "the numbers follow the header at 16 bytes");

bool validBits(int bitsP, int bitsR)
{
    return bitsP >= KYNS_DLP_MIN_PBITS && bitsP <= KYNS_DLP_MAX_PBITS && bitsR >= 2 && bitsR < bitsP;
}

long dlpWords(int bitsP, int bitsR) { return 2L * ((bitsP + 31) / 32) + (bitsR + 31) / 32; }

KynStatus dlpAccess(const _cpDLP* p, Dlp** out) { return access(p, MAGIC_DLP, out); }

int bits(const BigNum* a) { return bnuBitSize(a->words(), (int)a->room); }

} // namespace

extern "C" {

KynStatus kynsDLPGetSize(int bitSizeP, int bitSizeR, int* pSize)
{
    if (!pSize) return kynStsNullPtrErr;
    if (!validBits(bitSizeP, bitSizeR)) return kynStsLengthErr;
    *pSize = ctxSize((long)sizeof(Dlp) + 4L * dlpWords(bitSizeP, bitSizeR));
    return kynStsNoErr;
}

KynStatus kynsDLPInit(int bitSizeP, int bitSizeR, _cpDLP* pDL)
{
    if (!pDL) return kynStsNullPtrErr;
    if (!validBits(bitSizeP, bitSizeR)) return kynStsLengthErr;
    Dlp* dl = place<Dlp>(pDL);
    dl->id = ctxId(MAGIC_DLP, dl);
    dl->bitsP = (int32u)bitSizeP;
    dl->bitsR = (int32u)bitSizeR;
    dl->isSet = 0;
    bnuZero(dl->p(), (int)dlpWords(bitSizeP, bitSizeR));
    return kynStsNoErr;
}

KynStatus kynsDLPSet(const _cpBigNum* pP, const _cpBigNum* pR, const _cpBigNum* pG, _cpDLP* pDL)
{
    BigNum *p, *r, *g;
    Dlp* dl;
    if (KynStatus s = bnAccess(pP, &p)) return s;
    if (KynStatus s = bnAccess(pR, &r)) return s;
    if (KynStatus s = bnAccess(pG, &g)) return s;
    if (KynStatus s = dlpAccess(pDL, &dl)) return s;
    if (p->sign == kynsBigNumNEG || bits(p) != (int)dl->bitsP) return kynStsOutOfRangeErr;
    if (r->sign == kynsBigNumNEG || bits(r) != (int)dl->bitsR) return kynStsOutOfRangeErr;
    if ((p->words()[0] & 1u) == 0) return kynStsBadModulusErr;
    if ((r->words()[0] & 1u) == 0) return kynStsBadArgErr;
    // 1 < G < P; P has exactly wp significant words.
    const int wp = dl->wordsP();
    const int lg = g->length();
    if (g->sign == kynsBigNumNEG || lg == 0 || bnuIsWord(g->words(), lg, 1)) return kynStsOutOfRangeErr;
    if (lg > wp || (lg == wp && bnuCmp(g->words(), p->words(), wp) >= 0)) return kynStsOutOfRangeErr;
    bnuZero(dl->g(), wp);
    bnuCopy(dl->g(), g->words(), lg);
    bnuCopy(dl->p(), p->words(), wp);
    bnuCopy(dl->r(), r->words(), dl->wordsR());
    dl->isSet = 1;
    return kynStsNoErr;
}

KynStatus kynsDLPGet(_cpBigNum* pP, _cpBigNum* pR, _cpBigNum* pG, const _cpDLP* pDL)
{
    BigNum *p, *r, *g;
    Dlp* dl;
    if (KynStatus s = bnAccess(pP, &p)) return s;
    if (KynStatus s = bnAccess(pR, &r)) return s;
    if (KynStatus s = bnAccess(pG, &g)) return s;
    if (KynStatus s = dlpAccess(pDL, &dl)) return s;
    if (!dl->isSet) return kynStsIncompleteContextErr;
    const int wp = dl->wordsP(), wr = dl->wordsR();
    // All three must fit before any is written.
    if (bnuSigLen(dl->p(), wp) > (int)p->room || bnuSigLen(dl->r(), wr) > (int)r->room ||
        bnuSigLen(dl->g(), wp) > (int)g->room)
        return kynStsOutOfRangeErr;
    bnStore(p, kynsBigNumPOS, dl->p(), wp);
    bnStore(r, kynsBigNumPOS, dl->r(), wr);
    bnStore(g, kynsBigNumPOS, dl->g(), wp);
    return kynStsNoErr;
}

} // extern "C"
