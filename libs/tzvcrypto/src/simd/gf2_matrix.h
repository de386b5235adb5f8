// 8x8 bit matrices over GF(2) and the two finite fields of 256 elements the SIMD code works in.
// Everything is constexpr: the S-box and bit-order constants of the vector backends are derived
// from the field definitions at compile time, not typed in.
#ifndef TZV_SIMD_GF2_MATRIX_H
#define TZV_SIMD_GF2_MATRIX_H

#include <cstdint>

namespace tzv {
namespace simd {
namespace {

constexpr int parity8(uint32_t x)
{
    x ^= x >> 4, x ^= x >> 2, x ^= x >> 1;
    return (int)(x & 1);
}

// A linear map on bytes: output bit i is the parity of row[i] AND the input.
struct Gf2Matrix {
    uint8_t row[8];

    constexpr uint8_t apply(uint8_t x) const
    {
        uint8_t y = 0;
        for (int i = 0; i < 8; ++i) y |= (uint8_t)(parity8(row[i] & x) << i);
        return y;
    }

    // The matrix of any linear map, from the images of the unit vectors.
    template <typename F>
    static constexpr Gf2Matrix of(F f)
    {
        Gf2Matrix m{};
        for (int k = 0; k < 8; ++k) {
            uint8_t col = f((uint8_t)(1u << k));
            for (int i = 0; i < 8; ++i) m.row[i] |= (uint8_t)(((col >> i) & 1) << k);
        }
        return m;
    }

    // The operand of the GF2P8AFFINE instructions: row i sits in byte 7 - i of the quadword.
    constexpr uint64_t qword() const
    {
        uint64_t q = 0;
        for (int i = 0; i < 8; ++i) q |= (uint64_t)row[i] << (8 * (7 - i));
        return q;
    }
};

// this after that.
constexpr Gf2Matrix compose(const Gf2Matrix& a, const Gf2Matrix& b)
{
    return Gf2Matrix::of([a, b](uint8_t x) { return a.apply(b.apply(x)); });
}

constexpr Gf2Matrix inverse(const Gf2Matrix& m)
{
    Gf2Matrix inv{};
    for (int k = 0; k < 8; ++k) {
        // The preimage of unit vector k is column k of the inverse.
        int x = 0;
        while (x < 256 && m.apply((uint8_t)x) != (1u << k)) ++x;
        for (int i = 0; i < 8; ++i) inv.row[i] |= (uint8_t)(((x >> i) & 1) << k);
    }
    return inv;
}

// Multiplication in GF(2)[x] / poly (poly includes the x^8 term).
constexpr uint8_t gfMul(uint8_t a, uint8_t b, unsigned poly)
{
    unsigned r = 0, x = a;
    for (int i = 0; i < 8; ++i) {
        if ((b >> i) & 1) r ^= x;
        x <<= 1;
        if (x & 0x100) x ^= poly;
    }
    return (uint8_t)r;
}

constexpr uint8_t gfPow(uint8_t a, int e, unsigned poly)
{
    uint8_t r = 1;
    for (int i = 0; i < e; ++i) r = gfMul(r, a, poly);
    return r;
}

// The field of the AES instructions (and of GF2P8AFFINEINVQB) and the field of SM4's S-box.
constexpr unsigned kAesPoly = 0x11b;
constexpr unsigned kSm4Poly = 0x1f5; // x^8 + x^7 + x^6 + x^5 + x^4 + x^2 + 1

// The field isomorphism from SM4's field to the AES field: x maps to a root of SM4's polynomial
// in the AES field, so x^k maps to that root's k-th power.
constexpr uint8_t sm4PolyRootInAesField()
{
    for (unsigned b = 2; b < 256; ++b) {
        uint8_t v = 0;
        for (int k = 8; k >= 0; --k) v = (uint8_t)(gfMul(v, (uint8_t)b, kAesPoly) ^ ((kSm4Poly >> k) & 1));
        if (v == 0) return (uint8_t)b;
    }
    return 0;
}

constexpr Gf2Matrix sm4ToAesField()
{
    uint8_t root = sm4PolyRootInAesField();
    Gf2Matrix m{};
    for (int k = 0; k < 8; ++k) {
        uint8_t col = gfPow(root, k, kAesPoly);
        for (int i = 0; i < 8; ++i) m.row[i] |= (uint8_t)(((col >> i) & 1) << k);
    }
    return m;
}

constexpr Gf2Matrix rotatedRows(uint8_t first)
{
    Gf2Matrix m{};
    for (int i = 0; i < 8; ++i) m.row[i] = (uint8_t)((first << i) | (first >> ((8 - i) & 7)));
    return m;
}

// SM4's S-box is affine, inverse in its field, affine: S(x) = A * inv(A * x + C) + C.
constexpr Gf2Matrix kSm4Affine = rotatedRows(0xa7);
constexpr uint8_t kSm4AffineConst = 0xd3;
// The AES S-box's affine step (SubBytes(x) = Aaes * inv(x) + 0x63).
constexpr Gf2Matrix kAesAffine = rotatedRows(0xf1);
constexpr uint8_t kAesAffineConst = 0x63;

// With T the isomorphism, S(x) = (A T^-1) * invAes(T A x + T C) + C: the two steps of the S-box
// in the AES field, as GF2P8AFFINEQB and GF2P8AFFINEINVQB compute them.
constexpr Gf2Matrix kSboxIn = compose(sm4ToAesField(), kSm4Affine);
constexpr uint8_t kSboxInConst = sm4ToAesField().apply(kSm4AffineConst);
constexpr Gf2Matrix kSboxOut = compose(kSm4Affine, inverse(sm4ToAesField()));
constexpr uint8_t kSboxOutConst = kSm4AffineConst;
// Through AESENCLAST instead: invAes(z) = Aaes^-1 * (SubBytes(z) + 0x63), so the output step
// takes SubBytes' result.
constexpr Gf2Matrix kSboxOutAfterSubBytes = compose(kSboxOut, inverse(kAesAffine));
constexpr uint8_t kSboxOutAfterSubBytesConst =
    (uint8_t)(kSboxOutAfterSubBytes.apply(kAesAffineConst) ^ kSboxOutConst);

// Reverses the bits of each byte: GHASH's bit order against the carry-less multiply's.
constexpr Gf2Matrix kBitReverse = Gf2Matrix::of([](uint8_t x) {
    uint8_t y = 0;
    for (int i = 0; i < 8; ++i) y |= (uint8_t)(((x >> i) & 1) << (7 - i));
    return y;
});

} // namespace
} // namespace simd
} // namespace tzv

#endif
