// Which bytes of each lane one step of a 16-lane mode touches. Lanes run different lengths, so a
// step is described lane by lane (pointer, first byte within the block, byte count) and the vector
// loads and stores mask the rest; a count of 0 leaves the lane out of the step.
#ifndef TZV_SM_LANE_SPANS_H
#define TZV_SM_LANE_SPANS_H

#include <cstdint>

#include "simd/vec32x16.h"
#include "sm/kernels.h"

namespace tzv {
namespace sm {
namespace {

using simd::LaneMask;

struct Span {
    const uint8_t* src[16];
    uint8_t* dst[16];
    int start[16];
    int count[16];

    LaneMask active() const
    {
        LaneMask m = 0;
        for (int i = 0; i < 16; ++i) m |= (LaneMask)((count[i] > 0) << i);
        return m;
    }
};

// Block `b` of each lane's data (the last one may be partial).
inline void blockSpan(const LaneData& d, long b, Span& s)
{
    for (int i = 0; i < 16; ++i) {
        long off = 16 * b, n = d.len[i] - off;
        n = n < 0 ? 0 : n > 16 ? 16 : n;
        s.src[i] = n ? d.in[i] + off : d.in[i];
        s.dst[i] = n ? d.out[i] + off : d.out[i];
        s.start[i] = 0;
        s.count[i] = (int)n;
    }
}

// A whole 16-byte block at p[i] in the lanes of `m`.
inline void fixedSpan(const uint8_t* const p[16], LaneMask m, Span& s)
{
    for (int i = 0; i < 16; ++i) {
        bool on = (m >> i) & 1;
        s.src[i] = on ? p[i] : nullptr;
        s.dst[i] = on ? const_cast<uint8_t*>(p[i]) : nullptr;
        s.start[i] = 0;
        s.count[i] = on ? 16 : 0;
    }
}

inline long maxBlocks(const int len[16], int extra = 15)
{
    long m = 0;
    for (int i = 0; i < 16; ++i) {
        long b = ((long)len[i] + extra) / 16;
        m = b > m ? b : m;
    }
    return m;
}

// A stream that continues across calls on the 16-byte block grid (GHASH, the CCM MAC, the AEAD
// key stream): lane i adds len[i] bytes at stream position pos[i]. Step s covers the lane's
// grid block floor(pos / 16) + s; a block is complete when its last byte arrives.
struct StreamGrid {
    const uint8_t* const* data;
    const uint64_t* pos;
    const int* len;
    uint8_t* const* out = nullptr; // where a step's result bytes go, when it has any

    long steps() const
    {
        long m = 0;
        for (int i = 0; i < 16; ++i) {
            if (len[i] <= 0) continue;
            long n = (long)((pos[i] % 16 + (uint64_t)len[i] + 15) / 16);
            m = n > m ? n : m;
        }
        return m;
    }
    // The lanes' spans at step s, the grid index of each lane's block, and the lanes whose block
    // this step completes.
    LaneMask at(long s, Span& sp, uint64_t block[16]) const
    {
        LaneMask complete = 0;
        for (int i = 0; i < 16; ++i) {
            uint64_t b = pos[i] / 16 + (uint64_t)s, lo = 16 * b, hi = lo + 16;
            uint64_t from = pos[i] > lo ? pos[i] : lo, end = pos[i] + (uint64_t)(len[i] > 0 ? len[i] : 0);
            uint64_t to = end < hi ? end : hi;
            int n = to > from ? (int)(to - from) : 0;
            sp.src[i] = n ? data[i] + (from - pos[i]) : nullptr;
            sp.dst[i] = n && out ? out[i] + (from - pos[i]) : nullptr;
            sp.start[i] = (int)(from - lo);
            sp.count[i] = n;
            block[i] = b;
            if (n && to == hi) complete |= (LaneMask)(1u << i);
        }
        return complete;
    }
};

} // namespace
} // namespace sm
} // namespace tzv

#endif
