// Shared machinery of RSA (rsa.cpp) and the plain modular exponentiation (exp.cpp): the per-thread
// BIGNUM workspace, the conversions between word numbers / byte strings and BIGNUMs for operands of
// up to 4096 bits, and the layout of the caller's work buffer.
#ifndef TZV_MODEXP_COMMON_H
#define TZV_MODEXP_COMMON_H

#include <openssl/bn.h>
#include <openssl/crypto.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "tzv_lanes.h"

namespace tzv::modexp {

constexpr int kLanes = 8;
constexpr int kMaxBits = 4096;
constexpr int kMaxWords = kMaxBits / 64;
// Two Montgomery contexts per lane: the CRT needs one for p and one for q.
constexpr int kMontSlots = 2 * kLanes;

// What a call needs besides its data, made once per thread and reused by every later call, so that
// a call in the steady state takes its BIGNUMs from the pool instead of the heap.
class Workspace {
public:
    // This thread's workspace; null when it cannot be allocated.
    static Workspace* get()
    {
        thread_local std::unique_ptr<Workspace> slot;
        if (!slot) {
            slot.reset(new (std::nothrow) Workspace());
            if (slot && !slot->m_valid) slot.reset();
        }
        return slot.get();
    }

    Workspace()
    {
        m_ctx = BN_CTX_new();
        m_valid = m_ctx != nullptr;
        for (BN_MONT_CTX*& m : m_mont) {
            m = BN_MONT_CTX_new();
            m_valid = m_valid && m;
        }
    }
    ~Workspace()
    {
        for (BN_MONT_CTX* m : m_mont) BN_MONT_CTX_free(m);
        BN_CTX_free(m_ctx);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    BN_CTX* ctx() const { return m_ctx; }
    BN_MONT_CTX* mont(int slot) const { return m_mont[slot]; }

private:
    BN_CTX* m_ctx = nullptr;
    BN_MONT_CTX* m_mont[kMontSlots] = {};
    bool m_valid = false;
};

// A BN_CTX frame whose BIGNUMs live until it goes out of scope; those taken as secret are cleared
// then, so that no key or plaintext stays in the thread's pool after the call.
class Frame {
public:
    explicit Frame(BN_CTX* ctx) : m_ctx(ctx) { BN_CTX_start(ctx); }
    ~Frame()
    {
        for (int i = 0; i < m_secretCount; ++i) BN_clear(m_secret[i]);
        BN_CTX_end(m_ctx);
    }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    BIGNUM* get() { return BN_CTX_get(m_ctx); }
    BIGNUM* secret()
    {
        BIGNUM* b = BN_CTX_get(m_ctx);
        if (b && m_secretCount < kMaxSecrets) {
            m_secret[m_secretCount++] = b;
            BN_set_flags(b, BN_FLG_CONSTTIME);
            return b;
        }
        return nullptr;
    }
    // One BIGNUM per lane; false when the pool is exhausted.
    bool lanes(BIGNUM* out[kLanes])
    {
        for (int i = 0; i < kLanes; ++i)
            if (!(out[i] = get())) return false;
        return true;
    }
    bool secretLanes(BIGNUM* out[kLanes])
    {
        for (int i = 0; i < kLanes; ++i)
            if (!(out[i] = secret())) return false;
        return true;
    }

private:
    static constexpr int kMaxSecrets = 8 * kLanes;
    BN_CTX* m_ctx;
    BIGNUM* m_secret[kMaxSecrets];
    int m_secretCount = 0;
};

// ---- conversions: a word number of `count` 64-bit words, least significant first ----
inline bool wordsToBn(BIGNUM* bn, const int64u* words, int count)
{
    if (count < 1 || count > kMaxWords) return false;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return BN_lebin2bn(reinterpret_cast<const int8u*>(words), 8 * count, bn) != nullptr;
#else
    int8u buf[8 * kMaxWords];
    for (int w = 0; w < count; ++w)
        for (int b = 0; b < 8; ++b) buf[8 * w + b] = (int8u)(words[w] >> (8 * b));
    bool ok = BN_lebin2bn(buf, 8 * count, bn) != nullptr;
    OPENSSL_cleanse(buf, sizeof buf);
    return ok;
#endif
}

// False when bn does not fit in `count` words.
inline bool bnToWords(int64u* words, int count, const BIGNUM* bn)
{
    if (count < 1 || count > kMaxWords) return false;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return BN_bn2lebinpad(bn, reinterpret_cast<int8u*>(words), 8 * count) >= 0;
#else
    int8u buf[8 * kMaxWords];
    if (BN_bn2lebinpad(bn, buf, 8 * count) < 0) return false;
    for (int w = 0; w < count; ++w) {
        int64u v = 0;
        for (int b = 7; b >= 0; --b) v = (v << 8) | buf[8 * w + b];
        words[w] = v;
    }
    OPENSSL_cleanse(buf, sizeof buf);
    return true;
#endif
}

// ---- the caller's work buffer ----
// It holds one result slot per lane: a lane's result is formed there and copied to the caller's
// output only when the whole lane succeeded, so that a failing lane leaves its output untouched and
// an output may alias its own input. Slots start on 64-byte boundaries.
constexpr std::size_t kSlotAlign = 64;

constexpr std::size_t slotBytes(int resultBytes)
{
    return ((std::size_t)resultBytes + kSlotAlign - 1) / kSlotAlign * kSlotAlign;
}

// The work-buffer size for results of `resultBytes` bytes: the slots plus room to align the first.
constexpr std::size_t workBytes(int resultBytes) { return kLanes * slotBytes(resultBytes) + kSlotAlign; }

inline int8u* slot(int8u* work, int resultBytes, int lane)
{
    auto base = reinterpret_cast<std::uintptr_t>(work);
    base = (base + kSlotAlign - 1) & ~(std::uintptr_t)(kSlotAlign - 1);
    return reinterpret_cast<int8u*>(base) + (std::size_t)lane * slotBytes(resultBytes);
}

} // namespace tzv::modexp

#endif
