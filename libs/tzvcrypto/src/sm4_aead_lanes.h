// The frame shared by the SM4 AEAD calls after init (GCM and CCM): the argument and context checks,
// the per-lane checks, and the lanes that pass handed to the code path's kernels together.
#ifndef TZV_SM4_AEAD_LANES_H
#define TZV_SM4_AEAD_LANES_H

#include "sm/kernels.h"
#include "tzv_lanes.h"

namespace tzv {

// Whether lane i of a GCM or CCM state is past init and before its tag.
template <typename State>
bool inMessage(const State& s, int i)
{
    return s.phase[i] != sm::kPhaseNone && s.phase[i] != sm::kPhaseDone;
}

// A null context or lane array fails every lane with 2, a context that init has not set up (no
// `magic`) every lane with 1; then a null pointer in a lane gives 2, a negative length 1, and a lane
// that allowed(state, lane) refuses (out of order, length out of range) 1. The lanes left go to
// run(state, mask) together.
template <typename State, typename Ctx, typename P1, typename P2, typename Allowed, typename Run>
tzv_status16 runContextLanes(Ctx* ctx, uint32_t magic, P1* const* ptrs1, P2* const* ptrs2, const int* lens,
                             Allowed allowed, Run run)
{
    if (!ctx || !ptrs1 || !ptrs2 || !lens) return Status16::all(TZV_STS_NULL_PARAM);
    State* state = stateOf<State>(ctx);
    if (state->magic != magic) return Status16::all(TZV_STS_BAD_PARAM);
    Status16 sts;
    sm::LaneBits mask = 0;
    for (int i = 0; i < Status16::lanes; ++i) {
        unsigned s = 0;
        if (!ptrs1[i] || !ptrs2[i]) s |= TZV_STS_NULL_PARAM;
        if (lens[i] < 0) s |= TZV_STS_BAD_PARAM;
        if (s == 0 && !allowed(*state, i)) s = TZV_STS_BAD_PARAM;
        sts.set(i, s);
        if (s == 0) mask |= (sm::LaneBits)(1u << i);
    }
    if (mask) run(*state, mask);
    return sts.word();
}

// Encryption or decryption of the text of the lanes that pass the frame and allowed(state, lane):
// kernel(state, data, mask) with the lengths of the other lanes set to 0.
template <typename State, typename Ctx, typename Allowed, typename Kernel>
tzv_status16 cryptLanes(int8u* out[16], const int8u* const in[16], const int len[16], Ctx* ctx, uint32_t magic,
                        Allowed allowed, Kernel kernel)
{
    return runContextLanes<State>(ctx, magic, out, in, len, allowed, [&](State& state, sm::LaneBits mask) {
        int n[16];
        for (int i = 0; i < 16; ++i) n[i] = ((mask >> i) & 1) ? len[i] : 0;
        kernel(state, sm::LaneData{out, in, n}, mask);
    });
}

} // namespace tzv

#endif
