// Pseudo-random generator contexts.  Output block i (8 words) is
//   SHA-256("kyncp-prng" || seedBits || seed || i)
// with seedBits as 4 bytes, the seed as (seedBits + 31) / 32 words, and i as 8 bytes, all
// little-endian; blocks are numbered from 0 after each kynsPRNGSetSeed.
#include <openssl/sha.h>

#include <string.h>

#include "kyns_bnu.h"
#include "kyns_context.h"

using namespace kyns;

namespace {

const int SEED_WORDS = KYNS_PRNG_MAX_SEEDBITS / 32;

struct Prng {
    int32u id;
    int32u seedBits;
    int32u seeded;
    int32u reserved;
    Kyn64u block;  // number of the next output block
    int32u seed[SEED_WORDS];
};

KynStatus prngAccess(const _cpPRNG* p, Prng** out) { return access(p, MAGIC_PRNG, out); }

void putLE32(unsigned char* p, int32u v)
{
    for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
}

void outputBlock(const Prng* rnd, Kyn64u block, int32u out[8])
{
    static const char label[] = "kyncp-prng";
    unsigned char msg[sizeof(label) - 1 + 4 + 4 * SEED_WORDS + 8];
    size_t n = 0;
    memcpy(msg, label, sizeof(label) - 1);
    n += sizeof(label) - 1;
    putLE32(msg + n, rnd->seedBits);
    n += 4;
    const int seedWords = (int)(rnd->seedBits + 31) / 32;
    for (int i = 0; i < seedWords; ++i, n += 4) putLE32(msg + n, rnd->seed[i]);
    putLE32(msg + n, (int32u)block);
    putLE32(msg + n + 4, (int32u)(block >> 32));
    n += 8;
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(msg, n, digest);
    for (int i = 0; i < 8; ++i)
        out[i] = (int32u)digest[4 * i] | ((int32u)digest[4 * i + 1] << 8) | ((int32u)digest[4 * i + 2] << 16) |
                 ((int32u)digest[4 * i + 3] << 24);
}

} // namespace

KynStatus kyns::prngReady(const _cpPRNG* p)
{
    Prng* rnd;
    if (KynStatus s = prngAccess(p, &rnd)) return s;
    return rnd->seeded ? kynStsNoErr : kynStsIncompleteContextErr;
}

extern "C" {

KynStatus kynsPRNGGetSize(int* pSize)
{
    if (!pSize) return kynStsNullPtrErr;
    *pSize = ctxSize((long)sizeof(Prng));
    return kynStsNoErr;
}

KynStatus kynsPRNGInit(int seedBits, _cpPRNG* pRnd)
{
    if (!pRnd) return kynStsNullPtrErr;
    if (seedBits < KYNS_PRNG_MIN_SEEDBITS || seedBits > KYNS_PRNG_MAX_SEEDBITS) return kynStsLengthErr;
    Prng* rnd = place<Prng>(pRnd);
    memset(rnd, 0, sizeof(*rnd));
    rnd->id = ctxId(MAGIC_PRNG, rnd);
    rnd->seedBits = (int32u)seedBits;
    return kynStsNoErr;
}

KynStatus kynsPRNGSetSeed(const _cpBigNum* pSeed, _cpPRNG* pRnd)
{
    BigNum* seed;
    Prng* rnd;
    if (KynStatus s = bnAccess(pSeed, &seed)) return s;
    if (KynStatus s = prngAccess(pRnd, &rnd)) return s;
    const int bits = bnuBitSize(seed->words(), (int)seed->room);
    if (seed->sign == kynsBigNumNEG || bits > (int)rnd->seedBits) return kynStsOutOfRangeErr;
    const int len = seed->length();
    bnuZero(rnd->seed, SEED_WORDS);
    bnuCopy(rnd->seed, seed->words(), len);
    rnd->block = 0;
    rnd->seeded = 1;
    return kynStsNoErr;
}

KynStatus kynsPRNGGetSeed(const _cpPRNG* pRnd, _cpBigNum* pSeed)
{
    Prng* rnd;
    BigNum* seed;
    if (KynStatus s = prngAccess(pRnd, &rnd)) return s;
    if (KynStatus s = bnAccess(pSeed, &seed)) return s;
    if (!rnd->seeded) return kynStsIncompleteContextErr;
    return bnStore(seed, kynsBigNumPOS, rnd->seed, SEED_WORDS);
}

KynStatus kynsPRNGen(int32u* pRand, int nBits, _cpPRNG* pRnd)
{
    if (!pRand) return kynStsNullPtrErr;
    Prng* rnd;
    if (KynStatus s = prngAccess(pRnd, &rnd)) return s;
    if (nBits < 1) return kynStsLengthErr;
    if (!rnd->seeded) return kynStsIncompleteContextErr;
    const int words = (int)(((long)nBits + 31) / 32);
    int32u block[8];
    for (int i = 0; i < words; i += 8) {
        outputBlock(rnd, rnd->block++, block);
        for (int j = 0; j < 8 && i + j < words; ++j) pRand[i + j] = block[j];
    }
    if (nBits % 32) pRand[words - 1] &= (1u << (nBits % 32)) - 1;
    return kynStsNoErr;
}

} // extern "C"
