// The constants the multi-lane curve code needs, in radix 2^52: the field prime and the group order
// with their Montgomery constants, b and G, and the generator comb table. Built once per curve from
// OpenSSL's group (public data only), then shared read-only by every thread and both backends.
#ifndef TZV_EC_CURVES_H
#define TZV_EC_CURVES_H

#include <cstdint>
#include <vector>

#include "../ec_common.h"

namespace tzv::ec {

constexpr int kMaxLimbs = 11; // 521 bits in 52-bit limbs
constexpr int kMaxInversionWindow = 6;

// A modulus m with R = 2^(52·limbs) ≥ 16m; for P-521's prime 2^521 − 1 (`mersenne`), R = 1 and
// products are reduced by folding the high bits onto the low ones instead.
struct ModConsts {
    uint64_t m[kMaxLimbs];    // the modulus, 52-bit limbs, least significant first
    uint64_t k0;              // −m⁻¹ mod 2^52
    uint64_t r2[kMaxLimbs];   // R² mod m
    uint64_t one[kMaxLimbs];  // R mod m: 1 in Montgomery form
    uint64_t minus2[kMaxLimbs]; // m − 2, the exponent of a Fermat inversion (plain limbs)
    uint64_t minus1[kMaxLimbs]; // m − 1 (plain limbs)
    int bits;
    bool mersenne;
    int invWindow; // window width of the inversion chain, the cheapest for this m − 2
};

// The chain that raises to m − 2 (a public exponent): the top run of L ones of m − 2 is built first
// as a^(2^L − 1) by doubling runs (x_2k = x_k^(2^k)·x_k, x_k+1 = x_k²·a) and then serves as the
// starting value and as a block for every later run of L ones; the other bits go by sliding windows
// of up to `window` bits over the odd powers a, a³, …, a^(2^window − 1). On the running value:
// doubleRun(k) takes x_k to x_2k, incRun() x_k to x_k+1, setBlock() keeps it as the block, sqr()
// squares it, mulBlock() and mulOdd(i) multiply it by the block and by a^(2i+1). Returns the number
// of multiplications (the table of odd powers included), by which initMod chooses the window.
template <class Ops>
int inversionChain(const ModConsts& c, int window, Ops& ops)
{
    auto bit = [&](int i) { return (int)((c.minus2[i / 52] >> (i % 52)) & 1); };
    int pos = c.bits - 1;
    while (pos >= 0 && bit(pos)) --pos;
    const int run = c.bits - 1 - pos;
    int mults = window > 1 ? 1 << (window - 1) : 0; // a² and the odd powers up to 2^window − 1
    int k = 1;
    for (int b = 30 - __builtin_clz((unsigned)run); b >= 0; --b) {
        ops.doubleRun(k);
        k *= 2;
        ++mults;
        if ((run >> b) & 1) {
            ops.incRun();
            ++k;
            ++mults;
        }
    }
    ops.setBlock();
    while (pos >= 0) {
        if (!bit(pos)) {
            ops.sqr();
            --pos;
            continue;
        }
        int ones = 0;
        while (ones < run && pos - ones >= 0 && bit(pos - ones)) ++ones;
        if (run > window && ones == run) {
            for (int i = 0; i < run; ++i) ops.sqr();
            ops.mulBlock();
            ++mults;
            pos -= run;
            continue;
        }
        int len = pos + 1 < window ? pos + 1 : window;
        while (!bit(pos - len + 1)) --len;
        unsigned v = 0;
        for (int i = 0; i < len; ++i) v = (v << 1) | (unsigned)bit(pos - i);
        for (int i = 0; i < len; ++i) ops.sqr();
        ops.mulOdd((int)(v >> 1));
        ++mults;
        pos -= len;
    }
    return mults;
}

struct CurveConsts {
    int limbs;      // 52-bit limbs of a coordinate or scalar
    int words;      // 64-bit words of the interface's word numbers
    int fieldBytes; // byte-string length of a coordinate
    int orderBytes; // byte-string length of r, s and digests
    ModConsts p;
    ModConsts n;
    uint64_t b[kMaxLimbs];  // curve coefficient b, Montgomery form (a = −3 on all four curves)
    uint64_t gx[kMaxLimbs]; // generator, Montgomery form
    uint64_t gy[kMaxLimbs];
    // Comb of the generator: window i, entry j holds (j+1)·2^(w·i)·G as affine x, y in Montgomery
    // form, at comb[((i·2 + coordinate)·limbs + limb)·entries + j], so that the entries of one limb
    // are contiguous for the lane vector's 16-entry lookups.
    int combWindow;
    int combWindows;
    int combEntries;
    std::vector<uint64_t> comb;
};

// The curve's constants, built on first use (thread-safe); null when OpenSSL cannot provide them.
const CurveConsts* curveConsts(CurveId id);

} // namespace tzv::ec

#endif
