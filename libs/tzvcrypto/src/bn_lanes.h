// Big numbers across the eight lanes of a call, shared by the curve code and the RSA and
// exponentiation code: the thread's BN_CTX and Montgomery contexts, scoped frames of temporaries
// that wipe the secret ones, and the conversions between the interface's encodings and BIGNUMs.
#ifndef TZV_BN_LANES_H
#define TZV_BN_LANES_H

#include <openssl/bn.h>

#include <memory>
#include <new>

#include "tzv_lanes.h"

namespace tzv::bn {

constexpr int kLanes = 8;
// The longest word number a conversion takes: 4096 bits.
constexpr int kMaxWords = 64;

// The thread's slot: made on first use, kept only when valid(), reused by every later call of the
// thread. Null when it cannot be allocated.
template <class T, class... Args>
T* threadSlot(std::unique_ptr<T>& slot, const Args&... args)
{
    if (!slot) {
        slot.reset(new (std::nothrow) T(args...));
        if (slot && !slot->valid()) slot.reset();
    }
    return slot.get();
}

// What every big-number call needs besides its data: a BN_CTX, whose pool serves the frames of
// every later call of the thread instead of the heap, and Montgomery contexts (two per lane, for
// the two primes of the CRT).
class Workspace {
public:
    static constexpr int kMontSlots = 2 * kLanes;

    // This thread's workspace; null when it cannot be allocated.
    static Workspace* get();

    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    bool valid() const { return m_valid; }
    BN_CTX* ctx() const { return m_ctx; }
    BN_MONT_CTX* mont(int slot) const { return m_mont[slot]; }

private:
    BN_CTX* m_ctx = nullptr;
    BN_MONT_CTX* m_mont[kMontSlots] = {};
    bool m_valid = false;
};

// Scoped BN_CTX frame: the temporary BIGNUMs it hands out live until it goes out of scope. Those
// handed out as secret are cleared then, so that no key or plaintext outlives the call in the
// thread's pool. Take every BIGNUM of a frame before calling anything else that uses the BN_CTX.
class BnFrame {
public:
    explicit BnFrame(BN_CTX* ctx) : m_ctx(ctx) { BN_CTX_start(ctx); }
    ~BnFrame()
    {
        for (int i = 0; i < m_secretCount; ++i) BN_clear(m_secret[i]);
        BN_CTX_end(m_ctx);
    }
    BnFrame(const BnFrame&) = delete;
    BnFrame& operator=(const BnFrame&) = delete;

    BIGNUM* get() { return BN_CTX_get(m_ctx); }
    BIGNUM* secret()
    {
        BIGNUM* bn = BN_CTX_get(m_ctx);
        if (!bn || m_secretCount == kMaxSecrets) return nullptr;
        m_secret[m_secretCount++] = bn;
        return bn;
    }
    // A secret that OpenSSL's routines treat on their constant-time paths.
    BIGNUM* constTimeSecret()
    {
        BIGNUM* bn = secret();
        if (bn) BN_set_flags(bn, BN_FLG_CONSTTIME);
        return bn;
    }
    // One BIGNUM per lane; false when the pool is exhausted (then every later get fails too).
    bool lanes(BIGNUM* out[kLanes])
    {
        for (int i = 0; i < kLanes; ++i) out[i] = BN_CTX_get(m_ctx);
        return out[kLanes - 1] != nullptr;
    }
    bool secretLanes(BIGNUM* out[kLanes])
    {
        if (!lanes(out) || m_secretCount + kLanes > kMaxSecrets) return false;
        for (int i = 0; i < kLanes; ++i) m_secret[m_secretCount++] = out[i];
        return true;
    }

private:
    static constexpr int kMaxSecrets = 8 * kLanes;
    BN_CTX* m_ctx;
    BIGNUM* m_secret[kMaxSecrets];
    int m_secretCount = 0;
};

// Marks TZV_STS_BAD_PARAM in every lane that is still OK (an internal failure such as exhausted
// memory, which the interface has no other value for).
void failRemainingLanes(Status8& sts);

// Bit i set when lane i is still OK.
unsigned okLanes(const Status8& sts);

// ---- conversions (the values are public or secret alike; none of them branches on the value) ----
// A word number is `count` 64-bit words, least significant first, 1 <= count <= kMaxWords; a byte
// string is big-endian. The conversions to words and bytes fail when the value does not fit.
bool wordsToBn(BIGNUM* bn, const int64u* words, int count);
bool bnToWords(int64u* words, int count, const BIGNUM* bn);
bool bytesToBn(BIGNUM* bn, const int8u* bytes, int count);
bool bnToBytes(int8u* bytes, int count, const BIGNUM* bn);

// 1 <= v < upper, for public values (OpenSSL's comparison stops at the first word that differs).
bool inRange(const BIGNUM* v, const BIGNUM* upper);

// 1 <= v < upper for word numbers of `count` words, where v or upper is secret (a private key, an
// RSA exponent, a CRT prime or coefficient): every word of both is read, and nothing branches on
// them or indexes by them; only the verdict comes out. The borrow out of each word of v − upper
// comes from the words' top bits: borrow of a − b − c is the top bit of (~a & b) | (~(a ^ b) & d),
// d = a − b − c.
inline bool wordsInRange(const int64u* v, const int64u* upper, int count)
{
    int64u borrow = 0, any = 0;
    for (int i = 0; i < count; ++i) {
        const int64u a = v[i], b = upper[i], d = a - b - borrow;
        borrow = ((~a & b) | (~(a ^ b) & d)) >> 63;
        any |= a;
    }
    const int64u nonzero = (any | (0 - any)) >> 63;
    return (borrow & nonzero) != 0;
}

} // namespace tzv::bn

#endif
