// Shared machinery of RSA (rsa.cpp) and the plain modular exponentiation (exp.cpp): the size limit
// of their operands and the layout of the caller's work buffer, where each lane's result waits
// until the lane has succeeded and the IFMA engine keeps its numbers. Their BIGNUMs are the
// library's big-number lanes (bn_lanes.h).
#ifndef TZV_MODEXP_COMMON_H
#define TZV_MODEXP_COMMON_H

#include <openssl/crypto.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bn_lanes.h"
#include "mexp/mexp_engine.h"
#include "scrub.h"

namespace tzv::modexp {

using bn::kLanes;

constexpr int kMaxBits = 4096;
static_assert(kMaxBits / 64 <= bn::kMaxWords, "the conversions take operands of every size");

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

// The whole buffer for results of `resultBytes` bytes and numbers of `words` words: the slots, then
// the room the IFMA engine computes in (engineScratch), which it aligns itself.
constexpr std::size_t bufferBytes(int resultBytes, int words)
{
    return workBytes(resultBytes) + mexp::scratchBytes(words);
}

inline int8u* engineScratch(int8u* work, int resultBytes) { return work + workBytes(resultBytes); }

// Fails the lanes still OK whose bit is set in `lanes`.
inline void failLanes(Status8& sts, unsigned lanes)
{
    for (int i = 0; i < kLanes; ++i)
        if ((lanes >> i) & 1) sts.set(i, TZV_STS_BAD_PARAM);
}

// Copies the results of the lanes that succeeded from their slots to the caller's outputs and
// wipes every slot.
template <typename Out>
void deliver(const Status8& sts, Out* const to[kLanes], int8u* work, int resultBytes)
{
    for (int i = 0; i < kLanes; ++i) {
        int8u* s = slot(work, resultBytes, i);
        if (sts.ok(i)) std::memcpy(to[i], s, (std::size_t)resultBytes);
        OPENSSL_cleanse(s, (std::size_t)resultBytes);
    }
}

} // namespace tzv::modexp

#endif
