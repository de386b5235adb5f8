// The exported 16-lane SM4-CCM functions: argument, order and length checks per lane; the lanes
// that pass go to the CCM kernels of the code path together.
#include <cstring>

#include "sm4_aead_lanes.h"

using namespace tzv;

namespace {

// Marks a context that tzv_sm4_ccm_init_mb16 has set up; any other content is "not initialised".
constexpr uint32_t kCcmMagic = 0x344d4343u; // "CCM4"

// The announced payload length that means "not known in advance": the B0 length field is then all
// ones, and the payload may run up to the largest value that field holds.
constexpr uint64_t kCcmUnbounded = ~0ull;

bool tagLengthValid(int n) { return n >= 4 && n <= 16 && n % 2 == 0; }
bool nonceLengthValid(int n) { return n >= 7 && n <= 13; }
// The largest value the q-byte length field holds.
uint64_t fieldMax(unsigned q) { return q >= 8 ? ~0ull : (1ull << (8 * q)) - 1; }

tzv_status16 ccmCrypt(int8u* out[16], const int8u* const in[16], const int len[16],
                      tzv_sm4_ccm_ctx_mb16* ctx, bool decrypt)
{
    return cryptLanes<sm::CcmLanes>(
        out, in, len, ctx, kCcmMagic,
        [&](const sm::CcmLanes& c, int i) {
            uint64_t limit = c.total[i] == kCcmUnbounded ? fieldMax(c.q[i]) : c.total[i];
            return inMessage(c, i) && (uint64_t)len[i] <= limit - c.done[i];
        },
        sm::kernels().ccmCrypt[decrypt]);
}

} // namespace

TZV_EXPORT tzv_status16 tzv_sm4_ccm_init_mb16(const tzv_sm4_key* const key[16], const int8u* const iv[16],
                                              const int iv_len[16], const int tag_len[16],
                                              const int64u total_len[16], tzv_sm4_ccm_ctx_mb16* ctx)
{
    if (!ctx || !key || !iv || !iv_len || !tag_len || !total_len) return Status16::all(TZV_STS_NULL_PARAM);
    sm::CcmLanes* c = stateOf<sm::CcmLanes>(ctx);
    c->magic = kCcmMagic;
    Status16 sts;
    sm::LaneBits mask = 0;
    const uint8_t* keys[16];
    for (int i = 0; i < Status16::lanes; ++i) {
        c->phase[i] = sm::kPhaseNone;
        unsigned s = 0;
        if (!key[i] || !iv[i]) s |= TZV_STS_NULL_PARAM;
        if (!nonceLengthValid(iv_len[i]) || !tagLengthValid(tag_len[i])) s |= TZV_STS_BAD_PARAM;
        unsigned q = s ? 0 : 15 - (unsigned)iv_len[i];
        // The announced length must fit the length field.
        if (s == 0 && total_len[i] != kCcmUnbounded && total_len[i] > fieldMax(q)) s = TZV_STS_BAD_PARAM;
        sts.set(i, s);
        keys[i] = s ? nullptr : *key[i];
        if (s) continue;
        mask |= (sm::LaneBits)(1u << i);
        c->q[i] = (uint8_t)q;
        c->tagLen[i] = (uint8_t)tag_len[i];
        c->total[i] = total_len[i];
        c->done[i] = 0;
        std::memset(c->a0[i], 0, 16);
        c->a0[i][0] = (uint8_t)(q - 1);
        std::memcpy(c->a0[i] + 1, iv[i], (std::size_t)iv_len[i]);
        c->phase[i] = sm::kPhaseReady;
    }
    if (mask) sm::kernels().ccmSetKeys(*c, keys, mask);
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm4_ccm_update_aad_mb16(const int8u* const aad[16], const int aad_len[16],
                                                    tzv_sm4_ccm_ctx_mb16* ctx)
{
    return runContextLanes<sm::CcmLanes>(
        ctx, kCcmMagic, aad, aad, aad_len, [&](const sm::CcmLanes& c, int i) { return c.phase[i] == sm::kPhaseReady; },
        [&](sm::CcmLanes& c, sm::LaneBits mask) { sm::kernels().ccmAad(c, aad, aad_len, mask); });
}

TZV_EXPORT tzv_status16 tzv_sm4_ccm_encrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                                 tzv_sm4_ccm_ctx_mb16* ctx)
{
    return ccmCrypt(out, in, len, ctx, false);
}

TZV_EXPORT tzv_status16 tzv_sm4_ccm_decrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                                 tzv_sm4_ccm_ctx_mb16* ctx)
{
    return ccmCrypt(out, in, len, ctx, true);
}

TZV_EXPORT tzv_status16 tzv_sm4_ccm_get_tag_mb16(int8u* tag[16], const int tag_len[16], tzv_sm4_ccm_ctx_mb16* ctx)
{
    return runContextLanes<sm::CcmLanes>(
        ctx, kCcmMagic, tag, tag, tag_len,
        [&](const sm::CcmLanes& c, int i) {
            bool complete = c.total[i] == kCcmUnbounded || c.done[i] == c.total[i];
            return inMessage(c, i) && tag_len[i] == c.tagLen[i] && complete;
        },
        [&](sm::CcmLanes& c, sm::LaneBits mask) { sm::kernels().ccmTag(c, tag, mask); });
}
