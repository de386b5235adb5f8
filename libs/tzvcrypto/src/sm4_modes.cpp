// The exported 16-lane SM4 functions without a context: key set-up, ECB, CBC, CFB128, CTR128, OFB
// and XTS. Each checks its lanes, then runs the generic mode code of block_modes.h per lane.
#include <cstring>

#include "block_modes.h"
#include "sm4_cipher.h"
#include "tzv_lanes.h"

using namespace tzv;

namespace {

// The largest XTS data unit: 2^24 bytes (IEEE 1619 allows up to 2^20 blocks).
constexpr int kXtsMaxLen = 1 << 24;

enum class Lengths { Blocks, Any, Xts };

bool lengthValid(int len, Lengths rule)
{
    switch (rule) {
    case Lengths::Blocks: return len >= 0 && len % 16 == 0;
    case Lengths::Any: return len >= 0;
    case Lengths::Xts: return len >= 16 && len <= kXtsMaxLen;
    }
    return false;
}

// Checks the lane arguments common to the context-free functions and runs body(lane, len) in every
// lane that passes. A null array, key schedule or (when the mode has one) IV array fails every lane
// with 2; a null pointer in a lane gives 2, a bad length 1.
template <typename Iv, typename Body>
tzv_status16 runLanes(int8u* const out[16], const int8u* const in[16], const int len[16],
                      const void* schedule, Iv* const* iv, bool needIv, Lengths rule, Body body)
{
    Status16 sts;
    if (!out || !in || !len || !schedule || (needIv && !iv)) {
        sts.setAll(TZV_STS_NULL_PARAM);
        return sts.word();
    }
    for (int i = 0; i < Status16::lanes; ++i) {
        unsigned s = 0;
        if (!out[i] || !in[i] || (needIv && !iv[i])) s |= TZV_STS_NULL_PARAM;
        if (!lengthValid(len[i], rule)) s |= TZV_STS_BAD_PARAM;
        if (s)
            sts.set(i, s);
        else
            body(i, (std::size_t)len[i]);
    }
    return sts.word();
}

template <typename Body>
tzv_status16 runLanes(int8u* const out[16], const int8u* const in[16], const int len[16],
                      const void* schedule, Lengths rule, Body body)
{
    return runLanes(out, in, len, schedule, (const int8u* const*)nullptr, false, rule, body);
}

} // namespace

TZV_EXPORT tzv_status16 tzv_sm4_set_key_mb16(tzv_sm4_key_schedule* rkey, const tzv_sm4_key* key[16])
{
    Status16 sts;
    if (!rkey || !key) {
        sts.setAll(TZV_STS_NULL_PARAM);
        return sts.word();
    }
    markNullLanes(sts, key);
    for (int i = 0; i < Status16::lanes; ++i) {
        if (!sts.ok(i)) continue;
        uint32_t rk[sm4::kRounds];
        sm4::expandKey(*key[i], rk);
        sm4::storeLane(*rkey, i, rk);
    }
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_encrypt_ecb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey)
{
    return runLanes(out, in, len, rkey, Lengths::Blocks, [&](int i, std::size_t n) {
        sm4::Cipher c;
        c.loadLane(*rkey, i);
        modes::ecbEncrypt(c, in[i], out[i], n);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_decrypt_ecb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey)
{
    return runLanes(out, in, len, rkey, Lengths::Blocks, [&](int i, std::size_t n) {
        sm4::Cipher c;
        c.loadLane(*rkey, i);
        modes::ecbDecrypt(c, in[i], out[i], n);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_encrypt_cbc_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey, const int8u* iv[16])
{
    return runLanes(out, in, len, rkey, iv, true, Lengths::Blocks, [&](int i, std::size_t n) {
        sm4::Cipher c;
        c.loadLane(*rkey, i);
        modes::cbcEncrypt(c, iv[i], in[i], out[i], n);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_decrypt_cbc_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey, const int8u* iv[16])
{
    return runLanes(out, in, len, rkey, iv, true, Lengths::Blocks, [&](int i, std::size_t n) {
        sm4::Cipher c;
        c.loadLane(*rkey, i);
        modes::cbcDecrypt(c, iv[i], in[i], out[i], n);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_encrypt_cfb128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                    const tzv_sm4_key_schedule* rkey, const int8u* iv[16])
{
    return runLanes(out, in, len, rkey, iv, true, Lengths::Any, [&](int i, std::size_t n) {
        sm4::Cipher c;
        c.loadLane(*rkey, i);
        modes::cfb128Encrypt(c, iv[i], in[i], out[i], n);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_decrypt_cfb128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                    const tzv_sm4_key_schedule* rkey, const int8u* iv[16])
{
    return runLanes(out, in, len, rkey, iv, true, Lengths::Any, [&](int i, std::size_t n) {
        sm4::Cipher c;
        c.loadLane(*rkey, i);
        modes::cfb128Decrypt(c, iv[i], in[i], out[i], n);
    });
}

// CTR is its own inverse: both exported directions run the same code.
static tzv_status16 sm4Ctr128(int8u* out[16], const int8u* in[16], const int len[16],
                              const tzv_sm4_key_schedule* rkey, int8u* iv[16])
{
    return runLanes(out, in, len, rkey, iv, true, Lengths::Any, [&](int i, std::size_t n) {
        sm4::Cipher c;
        c.loadLane(*rkey, i);
        modes::ctr128(c, iv[i], in[i], out[i], n);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_encrypt_ctr128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                    const tzv_sm4_key_schedule* rkey, int8u* iv[16])
{
    return sm4Ctr128(out, in, len, rkey, iv);
}

TZV_EXPORT tzv_status16 tzv_sm4_decrypt_ctr128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                    const tzv_sm4_key_schedule* rkey, int8u* iv[16])
{
    return sm4Ctr128(out, in, len, rkey, iv);
}

// OFB, like CTR, is its own inverse.
static tzv_status16 sm4Ofb(int8u* out[16], const int8u* in[16], const int len[16],
                           const tzv_sm4_key_schedule* rkey, int8u* iv[16])
{
    return runLanes(out, in, len, rkey, iv, true, Lengths::Any, [&](int i, std::size_t n) {
        sm4::Cipher c;
        c.loadLane(*rkey, i);
        modes::ofb(c, iv[i], in[i], out[i], n);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_encrypt_ofb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey, int8u* iv[16])
{
    return sm4Ofb(out, in, len, rkey, iv);
}

TZV_EXPORT tzv_status16 tzv_sm4_decrypt_ofb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey, int8u* iv[16])
{
    return sm4Ofb(out, in, len, rkey, iv);
}

TZV_EXPORT tzv_status16 tzv_sm4_xts_set_keys_mb16(tzv_sm4_key_schedule* key1, tzv_sm4_key_schedule* key2,
                                                  const tzv_sm4_xts_key* key[16])
{
    Status16 sts;
    if (!key1 || !key2 || !key) {
        sts.setAll(TZV_STS_NULL_PARAM);
        return sts.word();
    }
    markNullLanes(sts, key);
    for (int i = 0; i < Status16::lanes; ++i) {
        if (!sts.ok(i)) continue;
        uint32_t rk[sm4::kRounds];
        sm4::expandKey(*key[i], rk);
        sm4::storeLane(*key1, i, rk);
        sm4::expandKey(*key[i] + 16, rk);
        sm4::storeLane(*key2, i, rk);
    }
    return sts.word();
}

static tzv_status16 sm4Xts(int8u* out[16], const int8u* in[16], const int len[16],
                           const tzv_sm4_key_schedule* key1, const tzv_sm4_key_schedule* key2,
                           const int8u* tweak[16], bool encrypt)
{
    if (!key2) {
        Status16 sts;
        sts.setAll(TZV_STS_NULL_PARAM);
        return sts.word();
    }
    return runLanes(out, in, len, key1, tweak, true, Lengths::Xts, [&](int i, std::size_t n) {
        sm4::Cipher data, tweakCipher;
        data.loadLane(*key1, i);
        tweakCipher.loadLane(*key2, i);
        modes::xts(data, tweakCipher, tweak[i], in[i], out[i], n, encrypt);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_xts_encrypt_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* key1,
                                                 const tzv_sm4_key_schedule* key2, const int8u* tweak[16])
{
    return sm4Xts(out, in, len, key1, key2, tweak, true);
}

TZV_EXPORT tzv_status16 tzv_sm4_xts_decrypt_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* key1,
                                                 const tzv_sm4_key_schedule* key2, const int8u* tweak[16])
{
    return sm4Xts(out, in, len, key1, key2, tweak, false);
}
