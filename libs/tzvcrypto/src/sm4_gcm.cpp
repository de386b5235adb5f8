// The exported 16-lane SM4-GCM functions: argument, order and length checks per lane; the lanes
// that pass go to the GCM kernels of the code path together.
#include "sm4_aead_lanes.h"

using namespace tzv;

namespace {

// Marks a context that tzv_sm4_gcm_init_mb16 has set up; any other content is "not initialised".
constexpr uint32_t kGcmMagic = 0x344d4347u; // "GCM4"

// SP 800-38D limits: plain text at most 2^39 - 256 bits, additional data below 2^64 bits.
constexpr uint64_t kGcmMaxText = (1ull << 36) - 32;
constexpr uint64_t kGcmMaxAad = (1ull << 61) - 1;

bool tagLengthValid(int n) { return n == 4 || n == 8 || (n >= 12 && n <= 16); }

tzv_status16 gcmCrypt(int8u* out[16], const int8u* const in[16], const int len[16],
                      tzv_sm4_gcm_ctx_mb16* ctx, bool decrypt)
{
    return cryptLanes<sm::GcmLanes>(
        out, in, len, ctx, kGcmMagic,
        [&](const sm::GcmLanes& g, int i) { return inMessage(g, i) && (uint64_t)len[i] <= kGcmMaxText - g.textLen[i]; },
        sm::kernels().gcmCrypt[decrypt]);
}

} // namespace

TZV_EXPORT tzv_status16 tzv_sm4_gcm_init_mb16(const tzv_sm4_key* const key[16], const int8u* const iv[16],
                                              const int iv_len[16], tzv_sm4_gcm_ctx_mb16* ctx)
{
    if (!ctx || !key || !iv || !iv_len) return Status16::all(TZV_STS_NULL_PARAM);
    sm::GcmLanes* g = stateOf<sm::GcmLanes>(ctx);
    g->magic = kGcmMagic;
    Status16 sts;
    sm::LaneBits mask = 0;
    const uint8_t* keys[16];
    for (int i = 0; i < Status16::lanes; ++i) {
        g->phase[i] = sm::kPhaseNone;
        unsigned s = 0;
        if (!key[i] || !iv[i]) s |= TZV_STS_NULL_PARAM;
        if (iv_len[i] <= 0) s |= TZV_STS_BAD_PARAM;
        sts.set(i, s);
        keys[i] = s ? nullptr : *key[i];
        if (s == 0) mask |= (sm::LaneBits)(1u << i);
    }
    if (mask) sm::kernels().gcmInit(*g, keys, iv, iv_len, mask);
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_gcm_update_aad_mb16(const int8u* const aad[16], const int aad_len[16],
                                                    tzv_sm4_gcm_ctx_mb16* ctx)
{
    return runContextLanes<sm::GcmLanes>(
        ctx, kGcmMagic, aad, aad, aad_len,
        [&](const sm::GcmLanes& g, int i) {
            return (g.phase[i] == sm::kPhaseReady || g.phase[i] == sm::kPhaseAad) &&
                   (uint64_t)aad_len[i] <= kGcmMaxAad - g.aadLen[i];
        },
        [&](sm::GcmLanes& g, sm::LaneBits mask) { sm::kernels().gcmAad(g, aad, aad_len, mask); });
}

TZV_EXPORT tzv_status16 tzv_sm4_gcm_encrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                                 tzv_sm4_gcm_ctx_mb16* ctx)
{
    return gcmCrypt(out, in, len, ctx, false);
}

TZV_EXPORT tzv_status16 tzv_sm4_gcm_decrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                                 tzv_sm4_gcm_ctx_mb16* ctx)
{
    return gcmCrypt(out, in, len, ctx, true);
}

TZV_EXPORT tzv_status16 tzv_sm4_gcm_get_tag_mb16(int8u* tag[16], const int tag_len[16], tzv_sm4_gcm_ctx_mb16* ctx)
{
    return runContextLanes<sm::GcmLanes>(
        ctx, kGcmMagic, tag, tag, tag_len,
        [&](const sm::GcmLanes& g, int i) { return inMessage(g, i) && tagLengthValid(tag_len[i]); },
        [&](sm::GcmLanes& g, sm::LaneBits mask) { sm::kernels().gcmTag(g, tag, tag_len, mask); });
}
