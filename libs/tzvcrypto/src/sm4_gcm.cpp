// The exported 16-lane SM4-GCM functions. The context holds, per lane, the SM4 round keys and the
// GCM state of block_modes.h; the GHASH table is rebuilt from H at each call (on the stack), which
// keeps the context within its fixed size.
#include <cstring>

#include "block_modes.h"
#include "sm4_cipher.h"
#include "tzv_lanes.h"

using namespace tzv;

namespace {

// Marks a context that tzv_sm4_gcm_init_mb16 has set up; any other content is "not initialised".
constexpr uint32_t kGcmMagic = 0x344d4347u; // "GCM4"

struct GcmContext {
    uint32_t magic;
    uint32_t reserved[3];
    struct Lane {
        uint32_t rk[sm4::kRounds];
        modes::GcmState st;
    } lane[sm4::kLanes];
};
static_assert(sizeof(GcmContext) <= sizeof(tzv_sm4_gcm_ctx_mb16), "GCM state fits the context");
static_assert(alignof(GcmContext) <= alignof(tzv_sm4_gcm_ctx_mb16), "GCM state alignment");

GcmContext* stateOf(tzv_sm4_gcm_ctx_mb16* ctx) { return reinterpret_cast<GcmContext*>(ctx->opaque); }

tzv_status16 allLanes(unsigned value)
{
    Status16 sts;
    sts.setAll(value);
    return sts.word();
}

// The shared frame of the calls after init: a null context or lane array fails every lane with 2,
// a context init has not set up every lane with 1; then a null pointer in a lane gives 2, a
// negative length 1, and the lanes left run body(lane), which returns false when the call is out
// of order or a length is out of range.
template <typename P1, typename P2, typename Body>
tzv_status16 runContextLanes(tzv_sm4_gcm_ctx_mb16* ctx, P1* const* ptrs1, P2* const* ptrs2,
                             const int* lens, Body body)
{
    if (!ctx || !ptrs1 || !ptrs2 || !lens) return allLanes(TZV_STS_NULL_PARAM);
    GcmContext* g = stateOf(ctx);
    if (g->magic != kGcmMagic) return allLanes(TZV_STS_BAD_PARAM);
    Status16 sts;
    for (int i = 0; i < Status16::lanes; ++i) {
        unsigned s = 0;
        if (!ptrs1[i] || !ptrs2[i]) s |= TZV_STS_NULL_PARAM;
        if (lens[i] < 0) s |= TZV_STS_BAD_PARAM;
        if (s == 0) {
            GcmContext::Lane& lane = g->lane[i];
            modes::GhashTable tab;
            tab.init(lane.st.h);
            if (!body(lane, tab, i)) s = TZV_STS_BAD_PARAM;
        }
        sts.set(i, s);
    }
    return sts.word();
}

tzv_status16 gcmCrypt(int8u* out[16], const int8u* const in[16], const int len[16],
                      tzv_sm4_gcm_ctx_mb16* ctx, bool encrypt)
{
    return runContextLanes(ctx, out, in, len, [&](GcmContext::Lane& lane, const modes::GhashTable& tab, int i) {
        return modes::gcmCrypt(lane.st, sm4::Encryptor(lane.rk), tab, in[i], out[i], (std::size_t)len[i],
                               encrypt);
    });
}

} // namespace

TZV_EXPORT tzv_status16 tzv_sm4_gcm_init_mb16(const tzv_sm4_key* const key[16], const int8u* const iv[16],
                                              const int iv_len[16], tzv_sm4_gcm_ctx_mb16* ctx)
{
    if (!ctx || !key || !iv || !iv_len) return allLanes(TZV_STS_NULL_PARAM);
    GcmContext* g = stateOf(ctx);
    g->magic = kGcmMagic;
    Status16 sts;
    for (int i = 0; i < Status16::lanes; ++i) {
        GcmContext::Lane& lane = g->lane[i];
        lane.st.phase = modes::AeadPhase::None;
        unsigned s = 0;
        if (!key[i] || !iv[i]) s |= TZV_STS_NULL_PARAM;
        if (iv_len[i] <= 0) s |= TZV_STS_BAD_PARAM;
        if (s == 0) {
            sm4::expandKey(*key[i], lane.rk);
            modes::gcmInit(lane.st, sm4::Encryptor(lane.rk), iv[i], (std::size_t)iv_len[i]);
        }
        sts.set(i, s);
    }
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_gcm_update_aad_mb16(const int8u* const aad[16], const int aad_len[16],
                                                    tzv_sm4_gcm_ctx_mb16* ctx)
{
    return runContextLanes(ctx, aad, aad, aad_len, [&](GcmContext::Lane& lane, const modes::GhashTable& tab, int i) {
        return modes::gcmAad(lane.st, tab, aad[i], (std::size_t)aad_len[i]);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_gcm_encrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                                 tzv_sm4_gcm_ctx_mb16* ctx)
{
    return gcmCrypt(out, in, len, ctx, true);
}

TZV_EXPORT tzv_status16 tzv_sm4_gcm_decrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                                 tzv_sm4_gcm_ctx_mb16* ctx)
{
    return gcmCrypt(out, in, len, ctx, false);
}

TZV_EXPORT tzv_status16 tzv_sm4_gcm_get_tag_mb16(int8u* tag[16], const int tag_len[16], tzv_sm4_gcm_ctx_mb16* ctx)
{
    return runContextLanes(ctx, tag, tag, tag_len, [&](GcmContext::Lane& lane, const modes::GhashTable& tab, int i) {
        return modes::gcmTag(lane.st, tab, tag[i], (std::size_t)tag_len[i]);
    });
}
