// The exported 16-lane SM4-CCM functions. The context holds, per lane, the SM4 round keys and the
// CCM state of block_modes.h.
#include <cstring>

#include "block_modes.h"
#include "sm4_cipher.h"
#include "tzv_lanes.h"

using namespace tzv;

namespace {

// Marks a context that tzv_sm4_ccm_init_mb16 has set up; any other content is "not initialised".
constexpr uint32_t kCcmMagic = 0x344d4343u; // "CCM4"

struct CcmContext {
    uint32_t magic;
    uint32_t reserved;
    struct Lane {
        uint32_t rk[sm4::kRounds];
        modes::CcmState st;
    } lane[sm4::kLanes];
};
static_assert(sizeof(CcmContext) <= sizeof(tzv_sm4_ccm_ctx_mb16), "CCM state fits the context");
static_assert(alignof(CcmContext) <= alignof(tzv_sm4_ccm_ctx_mb16), "CCM state alignment");

CcmContext* stateOf(tzv_sm4_ccm_ctx_mb16* ctx) { return reinterpret_cast<CcmContext*>(ctx->opaque); }

tzv_status16 allLanes(unsigned value)
{
    Status16 sts;
    sts.setAll(value);
    return sts.word();
}

// The shared frame of the calls after init: a null context or lane array fails every lane with 2,
// a context init has not set up every lane with 1; then a null pointer in a lane gives 2, a
// negative length 1, and the lanes left run body(lane, i), which returns false when the call is
// out of order or a length is out of range.
template <typename P1, typename P2, typename Body>
tzv_status16 runContextLanes(tzv_sm4_ccm_ctx_mb16* ctx, P1* const* ptrs1, P2* const* ptrs2,
                             const int* lens, Body body)
{
    if (!ctx || !ptrs1 || !ptrs2 || !lens) return allLanes(TZV_STS_NULL_PARAM);
    CcmContext* c = stateOf(ctx);
    if (c->magic != kCcmMagic) return allLanes(TZV_STS_BAD_PARAM);
    Status16 sts;
    for (int i = 0; i < Status16::lanes; ++i) {
        unsigned s = 0;
        if (!ptrs1[i] || !ptrs2[i]) s |= TZV_STS_NULL_PARAM;
        if (lens[i] < 0) s |= TZV_STS_BAD_PARAM;
        if (s == 0 && !body(c->lane[i], i)) s = TZV_STS_BAD_PARAM;
        sts.set(i, s);
    }
    return sts.word();
}

tzv_status16 ccmCrypt(int8u* out[16], const int8u* const in[16], const int len[16],
                      tzv_sm4_ccm_ctx_mb16* ctx, bool encrypt)
{
    return runContextLanes(ctx, out, in, len, [&](CcmContext::Lane& lane, int i) {
        return modes::ccmCrypt(lane.st, sm4::Encryptor(lane.rk), in[i], out[i], (std::size_t)len[i], encrypt);
    });
}

} // namespace

TZV_EXPORT tzv_status16 tzv_sm4_ccm_init_mb16(const tzv_sm4_key* const key[16], const int8u* const iv[16],
                                              const int iv_len[16], const int tag_len[16],
                                              const int64u total_len[16], tzv_sm4_ccm_ctx_mb16* ctx)
{
    if (!ctx || !key || !iv || !iv_len || !tag_len || !total_len) return allLanes(TZV_STS_NULL_PARAM);
    CcmContext* c = stateOf(ctx);
    c->magic = kCcmMagic;
    Status16 sts;
    for (int i = 0; i < Status16::lanes; ++i) {
        CcmContext::Lane& lane = c->lane[i];
        lane.st.phase = modes::AeadPhase::None;
        unsigned s = 0;
        if (!key[i] || !iv[i]) s |= TZV_STS_NULL_PARAM;
        if (!modes::ccmNonceLengthValid(iv_len[i]) || !modes::ccmTagLengthValid(tag_len[i]))
            s |= TZV_STS_BAD_PARAM;
        if (s == 0) {
            if (modes::ccmInit(lane.st, iv[i], (std::size_t)iv_len[i], (std::size_t)tag_len[i], total_len[i]))
                sm4::expandKey(*key[i], lane.rk);
            else
                s = TZV_STS_BAD_PARAM; // the announced length does not fit the length field
        }
        sts.set(i, s);
    }
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_ccm_update_aad_mb16(const int8u* const aad[16], const int aad_len[16],
                                                    tzv_sm4_ccm_ctx_mb16* ctx)
{
    return runContextLanes(ctx, aad, aad, aad_len, [&](CcmContext::Lane& lane, int i) {
        return modes::ccmAad(lane.st, sm4::Encryptor(lane.rk), aad[i], (std::size_t)aad_len[i]);
    });
}

TZV_EXPORT tzv_status16 tzv_sm4_ccm_encrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                                 tzv_sm4_ccm_ctx_mb16* ctx)
{
    return ccmCrypt(out, in, len, ctx, true);
}

TZV_EXPORT tzv_status16 tzv_sm4_ccm_decrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                                 tzv_sm4_ccm_ctx_mb16* ctx)
{
    return ccmCrypt(out, in, len, ctx, false);
}

TZV_EXPORT tzv_status16 tzv_sm4_ccm_get_tag_mb16(int8u* tag[16], const int tag_len[16], tzv_sm4_ccm_ctx_mb16* ctx)
{
    return runContextLanes(ctx, tag, tag, tag_len, [&](CcmContext::Lane& lane, int i) {
        return modes::ccmTag(lane.st, sm4::Encryptor(lane.rk), tag[i], (std::size_t)tag_len[i]);
    });
}
