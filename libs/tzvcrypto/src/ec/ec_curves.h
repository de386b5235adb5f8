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
// Division steps per batch of an inversion (ec_inverse.h): the transition matrix's entries stay
// below 2^52, a multiply-add's operand.
constexpr int kDivstepBatch = 51;
// Bits per window of G in verification (ec_curves.cpp tells why two): multiples of the variable
// point's window (ec_point.h), so that G's windows end where the point's do.
constexpr int kMultiplesWindow = 10;
constexpr int kMultiplesWindowP384 = 15;

// A modulus m with R = 2^(52·limbs) ≥ 16m; for P-521's prime 2^521 − 1 (`mersenne`), R = 1 and
// products are reduced by folding the high bits onto the low ones instead.
struct ModConsts {
    uint64_t m[kMaxLimbs];    // the modulus, 52-bit limbs, least significant first
    uint64_t k0;              // −m⁻¹ mod 2^52
    uint64_t r2[kMaxLimbs];   // R² mod m
    uint64_t one[kMaxLimbs];  // R mod m: 1 in Montgomery form
    uint64_t r3[kMaxLimbs];   // R³ mod m: takes an inverse computed on plain numbers into Montgomery form
    uint64_t minus1[kMaxLimbs]; // m − 1 (plain limbs)
    int bits;
    bool mersenne;
    int divstepBatches; // batches of an inversion: the steps the bound asks for, rounded up
};

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
    // j·G for j = 1 … 2^(multiplesWindow − 1), affine x, y in Montgomery form, at
    // multiples[((j − 1)·2 + coordinate)·limbs + limb]: the entries of verification's windows of G,
    // read by address. The window is a multiple of the variable point's (ec_point.h), so that G's
    // windows end where the point's do.
    int multiplesWindow;
    std::vector<uint64_t> multiples;
};

// The curve's constants, built on first use (thread-safe); null when OpenSSL cannot provide them.
const CurveConsts* curveConsts(CurveId id);

// Curve25519's field, 2^255 − 19 in five limbs, and what X25519 (RFC 7748) and Ed25519 (RFC 8032)
// need on it, in Montgomery form: a24 = 121665 for the ladder; d and 2d of the twisted Edwards
// curve −x² + y² = 1 + d·x²·y², √−1 and its base point B; and the group order L.
struct Curve25519Consts {
    static constexpr int limbs = 5;
    ModConsts p;
    uint64_t a24[kMaxLimbs];
    uint64_t d[kMaxLimbs];
    uint64_t d2[kMaxLimbs];
    uint64_t sqrtm1[kMaxLimbs]; // √−1 = 2^((p − 1)/4)
    uint64_t bx[kMaxLimbs];
    uint64_t by[kMaxLimbs];
    ModConsts l;
};

// Built on first use like the curves'; null when OpenSSL cannot provide them.
const Curve25519Consts* curve25519Consts();

} // namespace tzv::ec

#endif
