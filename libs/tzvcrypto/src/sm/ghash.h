// GHASH (NIST SP 800-38D) on 16 lanes, each with its own hash key, over the vector types of
// simd/vec128x4.h. GCM numbers the bits of a block from the most significant bit of byte 0; with
// the bits of every byte reversed, a block read little-endian is the polynomial with bit k the
// coefficient of x^k, which is what the carry-less multiply works on. Hash keys and running hashes
// are kept in that form.
#ifndef TZV_SM_GHASH_H
#define TZV_SM_GHASH_H

#include "sm/lane_spans.h"
#include "simd/vec128x4.h"

namespace tzv {
namespace sm {
namespace {

// a * h mod x^128 + x^7 + x^2 + x + 1.
template <class V>
V gfMul(const V& a, const V& h)
{
    V lo = V::template clmul<0x00>(a, h), hi = V::template clmul<0x11>(a, h);
    V mid = V::template clmul<0x01>(a, h) ^ V::template clmul<0x10>(a, h);
    lo = lo ^ mid.up64();
    hi = hi ^ mid.down64();
    // x^128 = x^7 + x^2 + x + 1: fold the top quadword into the two below it, then the next one.
    const V g = V::low64(0x87);
    V t = V::template clmul<0x01>(hi, g);
    lo = lo ^ t.up64();
    hi = hi ^ t.down64();
    return lo ^ V::template clmul<0x00>(hi, g);
}

// 16 lanes' values: lane i in lane i % 4 of x[i / 4].
template <class V>
struct HashLanes {
    V x[4];

    void load(const uint8_t (*blocks)[16], LaneMask m)
    {
        const uint8_t* p[16];
        int start[16] = {0}, count[16];
        for (int i = 0; i < 16; ++i) p[i] = blocks[i], count[i] = ((m >> i) & 1) ? 16 : 0;
        V::loadBlocks(p, start, count, x);
    }
    void store(uint8_t (*blocks)[16], LaneMask m, const int* len = nullptr) const
    {
        uint8_t* p[16];
        int start[16] = {0}, count[16];
        for (int i = 0; i < 16; ++i) p[i] = blocks[i], count[i] = ((m >> i) & 1) ? (len ? len[i] : 16) : 0;
        V::storeBlocks(p, start, count, x);
    }
    void loadSpan(const Span& s)
    {
        V::loadBlocks(s.src, s.start, s.count, x);
    }
    void bitReverse()
    {
        for (V& v : x) v = v.bitReverseBytes();
    }
    void xorWith(const HashLanes& o)
    {
        for (int k = 0; k < 4; ++k) x[k] = x[k] ^ o.x[k];
    }
    // x = x * h in the lanes of m.
    void multiply(const HashLanes& h, LaneMask m)
    {
        for (int k = 0; k < 4; ++k) {
            unsigned mk = (m >> (4 * k)) & 0xf;
            if (mk) x[k] = V::select(mk, gfMul(x[k], h.x[k]), x[k]);
        }
    }
};

// Adds a stream of bytes to every lane's hash: partial blocks are XOR-ed in as they come, a block
// is multiplied when complete.
template <class V>
void ghashAbsorb(HashLanes<V>& xi, const HashLanes<V>& h, const StreamGrid& grid)
{
    long steps = grid.steps();
    for (long s = 0; s < steps; ++s) {
        Span sp;
        uint64_t block[16];
        LaneMask complete = grid.at(s, sp, block);
        HashLanes<V> d;
        d.loadSpan(sp);
        d.bitReverse();
        xi.xorWith(d);
        xi.multiply(h, complete);
    }
}

} // namespace
} // namespace sm
} // namespace tzv

#endif
