#include "bn_lanes.h"

#include <openssl/crypto.h>

namespace tzv::bn {

Workspace* Workspace::get()
{
    thread_local std::unique_ptr<Workspace> slot;
    return threadSlot(slot);
}

Workspace::Workspace()
{
    m_ctx = BN_CTX_new();
    m_valid = m_ctx != nullptr;
    for (BN_MONT_CTX*& m : m_mont) {
        m = BN_MONT_CTX_new();
        m_valid = m_valid && m;
    }
}

Workspace::~Workspace()
{
    for (BN_MONT_CTX* m : m_mont) BN_MONT_CTX_free(m);
    BN_CTX_free(m_ctx);
}

void failRemainingLanes(Status8& sts)
{
    for (int i = 0; i < kLanes; ++i)
        if (sts.ok(i)) sts.set(i, TZV_STS_BAD_PARAM);
}

unsigned okLanes(const Status8& sts)
{
    unsigned mask = 0;
    for (int i = 0; i < kLanes; ++i)
        if (sts.ok(i)) mask |= 1u << i;
    return mask;
}

// Word numbers are little-endian in both word order and (as bytes) within the words, so that one
// little-endian byte string of the same length carries them; on a little-endian host that string
// is the words' own memory.
bool wordsToBn(BIGNUM* bn, const int64u* words, int count)
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

bool bnToWords(int64u* words, int count, const BIGNUM* bn)
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

bool bytesToBn(BIGNUM* bn, const int8u* bytes, int count)
{
    return BN_bin2bn(bytes, count, bn) != nullptr;
}

bool bnToBytes(int8u* bytes, int count, const BIGNUM* bn)
{
    return BN_bn2binpad(bn, bytes, count) >= 0;
}

bool inRange(const BIGNUM* v, const BIGNUM* upper)
{
    return !BN_is_zero(v) && !BN_is_negative(v) && BN_cmp(v, upper) < 0;
}

} // namespace tzv::bn
