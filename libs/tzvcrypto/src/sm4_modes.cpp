// The exported 16-lane SM4 functions without a context: key set-up, ECB, CBC, CFB128, CTR128, OFB
// and XTS. Each checks its lanes, then hands the lanes that pass to the kernels of the code path.
#include "sm/kernels.h"
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

// The lanes of a context-free call that passed the checks: their lengths (0 for the others) and
// their mask.
struct Checked {
    Status16 sts;
    int len[16];
    sm::LaneBits run = 0;
};

// Checks the lane arguments common to the context-free functions. A null array, key schedule or
// (when the mode has one) IV array fails every lane with 2; a null pointer in a lane gives 2, a bad
// length 1.
template <typename Iv>
bool checkLanes(Checked& c, int8u* const out[16], const int8u* const in[16], const int len[16],
                const void* schedule, Iv* const* iv, bool needIv, Lengths rule)
{
    if (!out || !in || !len || !schedule || (needIv && !iv)) {
        c.sts.setAll(TZV_STS_NULL_PARAM);
        return false;
    }
    for (int i = 0; i < Status16::lanes; ++i) {
        unsigned s = 0;
        if (!out[i] || !in[i] || (needIv && !iv[i])) s |= TZV_STS_NULL_PARAM;
        if (!lengthValid(len[i], rule)) s |= TZV_STS_BAD_PARAM;
        c.sts.set(i, s);
        c.len[i] = s ? 0 : len[i];
        if (!s) c.run |= (sm::LaneBits)(1u << i);
    }
    return true;
}

const sm::RoundKeyArray& keysOf(const tzv_sm4_key_schedule* k) { return k->rk; }

} // namespace

TZV_EXPORT tzv_status16 tzv_sm4_set_key_mb16(tzv_sm4_key_schedule* rkey, const tzv_sm4_key* key[16])
{
    if (!rkey || !key) return Status16::all(TZV_STS_NULL_PARAM);
    Status16 sts;
    markNullLanes(sts, key);
    const uint8_t* keys[16];
    sm::LaneBits run = 0;
    for (int i = 0; i < Status16::lanes; ++i) {
        keys[i] = sts.ok(i) ? *key[i] : nullptr;
        if (sts.ok(i)) run |= (sm::LaneBits)(1u << i);
    }
    sm::kernels().sm4ExpandKeys(rkey->rk, keys, run);
    return sts.word();
}

static tzv_status16 sm4Ecb(int8u* out[16], const int8u* in[16], const int len[16],
                           const tzv_sm4_key_schedule* rkey, bool decrypt)
{
    Checked c;
    if (checkLanes(c, out, in, len, rkey, (const int8u* const*)nullptr, false, Lengths::Blocks))
        sm::kernels().sm4Ecb[decrypt](keysOf(rkey), sm::LaneData{out, in, c.len});
    return c.sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_encrypt_ecb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey)
{
    return sm4Ecb(out, in, len, rkey, false);
}

TZV_EXPORT tzv_status16 tzv_sm4_decrypt_ecb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey)
{
    return sm4Ecb(out, in, len, rkey, true);
}

static tzv_status16 sm4Cbc(int8u* out[16], const int8u* in[16], const int len[16],
                           const tzv_sm4_key_schedule* rkey, const int8u* iv[16], bool decrypt)
{
    Checked c;
    if (checkLanes(c, out, in, len, rkey, iv, true, Lengths::Blocks))
        sm::kernels().sm4Cbc[decrypt](keysOf(rkey), sm::LaneData{out, in, c.len}, iv, c.run);
    return c.sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_encrypt_cbc_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey, const int8u* iv[16])
{
    return sm4Cbc(out, in, len, rkey, iv, false);
}

TZV_EXPORT tzv_status16 tzv_sm4_decrypt_cbc_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* rkey, const int8u* iv[16])
{
    return sm4Cbc(out, in, len, rkey, iv, true);
}

static tzv_status16 sm4Cfb(int8u* out[16], const int8u* in[16], const int len[16],
                           const tzv_sm4_key_schedule* rkey, const int8u* iv[16], bool decrypt)
{
    Checked c;
    if (checkLanes(c, out, in, len, rkey, iv, true, Lengths::Any))
        sm::kernels().sm4Cfb[decrypt](keysOf(rkey), sm::LaneData{out, in, c.len}, iv, c.run);
    return c.sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_encrypt_cfb128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                    const tzv_sm4_key_schedule* rkey, const int8u* iv[16])
{
    return sm4Cfb(out, in, len, rkey, iv, false);
}

TZV_EXPORT tzv_status16 tzv_sm4_decrypt_cfb128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                    const tzv_sm4_key_schedule* rkey, const int8u* iv[16])
{
    return sm4Cfb(out, in, len, rkey, iv, true);
}

// CTR and OFB are their own inverses: both exported directions run the same code.
static tzv_status16 sm4Ctr128(int8u* out[16], const int8u* in[16], const int len[16],
                              const tzv_sm4_key_schedule* rkey, int8u* iv[16])
{
    Checked c;
    if (checkLanes(c, out, in, len, rkey, iv, true, Lengths::Any))
        sm::kernels().sm4Ctr(keysOf(rkey), sm::LaneData{out, in, c.len}, iv, c.run);
    return c.sts.word();
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

static tzv_status16 sm4Ofb(int8u* out[16], const int8u* in[16], const int len[16],
                           const tzv_sm4_key_schedule* rkey, int8u* iv[16])
{
    Checked c;
    if (checkLanes(c, out, in, len, rkey, iv, true, Lengths::Any))
        sm::kernels().sm4Ofb(keysOf(rkey), sm::LaneData{out, in, c.len}, iv, c.run);
    return c.sts.word();
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
    if (!key1 || !key2 || !key) return Status16::all(TZV_STS_NULL_PARAM);
    Status16 sts;
    markNullLanes(sts, key);
    const uint8_t* dataKeys[16];
    const uint8_t* tweakKeys[16];
    sm::LaneBits run = 0;
    for (int i = 0; i < Status16::lanes; ++i) {
        dataKeys[i] = sts.ok(i) ? *key[i] : nullptr;
        tweakKeys[i] = sts.ok(i) ? *key[i] + 16 : nullptr;
        if (sts.ok(i)) run |= (sm::LaneBits)(1u << i);
    }
    const sm::Kernels& k = sm::kernels();
    k.sm4ExpandKeys(key1->rk, dataKeys, run);
    k.sm4ExpandKeys(key2->rk, tweakKeys, run);
    return sts.word();
}

static tzv_status16 sm4Xts(int8u* out[16], const int8u* in[16], const int len[16],
                           const tzv_sm4_key_schedule* key1, const tzv_sm4_key_schedule* key2,
                           const int8u* tweak[16], bool decrypt)
{
    if (!key2) return Status16::all(TZV_STS_NULL_PARAM);
    Checked c;
    if (checkLanes(c, out, in, len, key1, tweak, true, Lengths::Xts))
        sm::kernels().sm4Xts[decrypt](keysOf(key1), keysOf(key2), sm::LaneData{out, in, c.len}, tweak, c.run);
    return c.sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_xts_encrypt_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* key1,
                                                 const tzv_sm4_key_schedule* key2, const int8u* tweak[16])
{
    return sm4Xts(out, in, len, key1, key2, tweak, false);
}

TZV_EXPORT tzv_status16 tzv_sm4_xts_decrypt_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                                 const tzv_sm4_key_schedule* key1,
                                                 const tzv_sm4_key_schedule* key2, const int8u* tweak[16])
{
    return sm4Xts(out, in, len, key1, key2, tweak, true);
}
