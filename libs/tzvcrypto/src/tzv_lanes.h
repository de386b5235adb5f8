// Shared lane helpers of the library: status packing, null-lane checks and the state in a context.
#ifndef TZV_LANES_H
#define TZV_LANES_H

#include "tzvcrypto.h"

#define TZV_EXPORT extern "C" __attribute__((visibility("default")))

namespace tzv {

// The lanes' state held in a context's opaque bytes.
template <typename State, typename Ctx>
State* stateOf(Ctx* ctx)
{
    static_assert(sizeof(State) <= sizeof(Ctx) && alignof(State) <= alignof(Ctx), "the state fits the context");
    return reinterpret_cast<State*>(ctx->opaque);
}

// Accumulates per-lane statuses of an 8-lane (tzv_status) or 16-lane (tzv_status16) call.
template <typename Word, int Lanes>
class LaneStatus {
public:
    static constexpr int lanes = Lanes;
    void set(int lane, unsigned value) { m_word |= (Word)(value & 0xFu) << (4 * lane); }
    unsigned get(int lane) const { return (unsigned)((m_word >> (4 * lane)) & 0xFu); }
    bool ok(int lane) const { return get(lane) == 0; }
    void setAll(unsigned value)
    {
        for (int i = 0; i < Lanes; ++i) set(i, value);
    }
    Word word() const { return m_word; }
    // The word with `value` in every lane.
    static Word all(unsigned value)
    {
        LaneStatus sts;
        sts.setAll(value);
        return sts.word();
    }

private:
    Word m_word = 0;
};

using Status8 = LaneStatus<tzv_status, 8>;
using Status16 = LaneStatus<tzv_status16, 16>;

// Marks TZV_STS_NULL_PARAM in every lane where one of the given lane arrays is null, or holds a
// null pointer.
template <typename Status, typename... Arrays>
inline void markNullLanes(Status& sts, const Arrays*... arrays)
{
    for (int i = 0; i < Status::lanes; ++i) {
        bool bad = ((arrays == nullptr || arrays[i] == nullptr) || ...);
        if (bad) sts.set(i, TZV_STS_NULL_PARAM);
    }
}

} // namespace tzv

#endif
