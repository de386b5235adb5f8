// Placement of contexts in caller memory and the big-number access shared by the context kinds.
//
// A context sits at the first 16-byte boundary of the caller's buffer (every size function adds
// CTX_SLACK bytes for that) and starts with an id: a per-kind magic number mixed with the
// context's own address, so that an uninitialised buffer, a context of another kind or a copied
// context is refused with kynStsContextMatchErr.
#ifndef KYNS_CONTEXT_H
#define KYNS_CONTEXT_H

#include <stdint.h>

#include "kyncp.h"

namespace kyns {

const int CTX_ALIGN = 16;
const int CTX_SLACK = CTX_ALIGN - 1;

enum : int32u {
    MAGIC_BIGNUM = 0x4B424E31,  // "KBN1"
    MAGIC_MONT = 0x4B4D4E31,    // "KMN1"
    MAGIC_PRNG = 0x4B524E31,    // "KRN1"
    MAGIC_PRIME = 0x4B505231,   // "KPR1"
    MAGIC_DLP = 0x4B444C31,     // "KDL1"
};

template <class Ctx>
inline Ctx* place(const void* buf)
{
    const uintptr_t p = ((uintptr_t)buf + CTX_SLACK) & ~(uintptr_t)CTX_SLACK;
    return reinterpret_cast<Ctx*>(p);
}

inline int32u ctxId(int32u magic, const void* placed)
{
    const uintptr_t p = (uintptr_t)placed;
    return magic ^ (int32u)(p >> 4) ^ (int32u)(p >> 36);
}

// The context in buf when it is one of this kind.
template <class Ctx>
inline KynStatus access(const void* buf, int32u magic, Ctx** out)
{
    if (!buf) return kynStsNullPtrErr;
    Ctx* c = place<Ctx>(buf);
    if (c->id != ctxId(magic, c)) return kynStsContextMatchErr;
    *out = c;
    return kynStsNoErr;
}

// Caller-visible size of a context of `bytes` bytes.
inline int ctxSize(long bytes) { return (int)(bytes + CTX_SLACK); }

struct BigNum {
    int32u id;
    int32u sign;  // KynsBigNumSGN; zero is positive
    int32u room;  // capacity in words
    int32u reserved;
    int32u* words() { return reinterpret_cast<int32u*>(this + 1); }
    const int32u* words() const { return reinterpret_cast<const int32u*>(this + 1); }
    int length() const;  // significant words
};
static_assert(sizeof(BigNum) == 16, "the words follow the header at 16 bytes");

inline KynStatus bnAccess(const _cpBigNum* bn, BigNum** out) { return access(bn, MAGIC_BIGNUM, out); }

// Store a value of n words with a sign; kynStsOutOfRangeErr when its significant words exceed
// the capacity (the number is then unchanged).
KynStatus bnStore(BigNum* bn, KynsBigNumSGN sign, const int32u* data, int n);

// kynStsNoErr when rnd is a seeded generator context (kyns_prng.cpp).
KynStatus prngReady(const _cpPRNG* rnd);

} // namespace kyns

#endif
