// One lane's numbers between the interface's encodings and 52-bit limbs, least significant first:
// the form the IFMA lanes compute on. Plain code whose branches and addresses depend on the sizes
// only, never on the values.
#ifndef TZV_SIMD_LIMBS52_H
#define TZV_SIMD_LIMBS52_H

#include <cstdint>

#include "vec64x8.h"

namespace tzv::simd {

// Bits [52i, 52i + 52) of a little-endian word number as n limbs; returns the OR of the bits that
// do not fit, so that an oversized value is caught without a branch.
inline uint64_t wordsToLimbs(uint64_t* limbs, int n, const uint64_t* words, int count)
{
    auto word = [&](int w) { return w < count ? words[w] : 0; };
    for (int i = 0; i < n; ++i) {
        int bit = 52 * i, w = bit / 64, s = bit % 64;
        uint64_t x = word(w) >> s;
        if (s > 12) x |= word(w + 1) << (64 - s);
        limbs[i] = x & kLimbMask52;
    }
    uint64_t excess = 0;
    int capacity = 52 * n;
    for (int w = 0; w < count; ++w) {
        int low = 64 * w;
        if (low + 64 <= capacity) continue;
        excess |= low >= capacity ? words[w] : words[w] >> (capacity - low);
    }
    return excess;
}

inline void limbsToWords(uint64_t* words, int count, const uint64_t* limbs, int n)
{
    for (int w = 0; w < count; ++w) {
        int bit = 64 * w, i = bit / 52, s = bit % 52;
        uint64_t x = 0;
        for (int k = 0; k < 3 && i + k < n; ++k) {
            int shift = 52 * k - s; // where limb i + k starts within this word
            x |= shift >= 0 ? (shift < 64 ? limbs[i + k] << shift : 0) : limbs[i + k] >> -shift;
        }
        words[w] = x;
    }
}

// Big-endian bytes and little-endian words.
inline void bytesToWords(uint64_t* words, int count, const uint8_t* bytes, int len)
{
    for (int w = 0; w < count; ++w) words[w] = 0;
    for (int i = 0; i < len; ++i) words[i / 8] |= (uint64_t)bytes[len - 1 - i] << (8 * (i % 8));
}

inline void wordsToBytes(uint8_t* bytes, int len, const uint64_t* words)
{
    for (int i = 0; i < len; ++i) bytes[len - 1 - i] = (uint8_t)(words[i / 8] >> (8 * (i % 8)));
}

} // namespace tzv::simd

#endif
