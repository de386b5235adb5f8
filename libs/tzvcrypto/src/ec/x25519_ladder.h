// X25519 (RFC 7748) for eight lanes at once over the lane vector V: 2^255 − 19 in five 52-bit limbs
// with Montgomery multiplication (R = 2^260), and the Montgomery ladder on u-coordinates. Each of
// the 255 steps swaps the two points by a mask made from the scalar's bit, never by a branch or an
// index, then adds and doubles; the result is x₂/z₂ with the inversion by division steps, which
// gives 0 where z₂ = 0 (u of small order), so that an all-zero secret is the only sign of it.
// ed25519_lanes.h builds on it, and the backends include that.
#ifndef TZV_X25519_LADDER_H
#define TZV_X25519_LADDER_H

#include <cstring>

#include "ec_engine.h"
#include "ec_inverse.h"

namespace tzv::ec {
namespace {

template <class V>
struct X25519Lanes {
    static constexpr int N = 5;
    static constexpr int kBytes = 32;
    using F = Fe<V, N>;

    // The active lanes' 32-byte strings as four vectors of 64-bit words, little-endian: a scalar
    // clamped (bits 0-2 and 255 cleared, bit 254 set), a u-coordinate with bit 255 cleared. Other
    // lanes hold zero.
    static void loadWords(V (&w)[4], const int8u* const src[kLanes], unsigned active, bool scalar)
    {
        alignas(64) uint64_t col[4][kLanes] = {};
        for (int i = 0; i < kLanes; ++i) {
            if (!(active & (1u << i))) continue;
            int8u b[kBytes];
            std::memcpy(b, src[i], kBytes);
            if (scalar) clampScalar(b);
            else b[kBytes - 1] &= 0x7F;
            uint64_t x[4];
            std::memcpy(x, b, kBytes); // little-endian, as the machine
            for (int k = 0; k < 4; ++k) col[k][i] = x[k];
        }
        for (int k = 0; k < 4; ++k) w[k] = V::load(col[k]);
    }

    // Four words below 2^255 as five 52-bit limbs.
    static F limbsOf(const V (&w)[4])
    {
        const V mask = V::set1(kLimbMask52);
        F r;
        r.l[0] = w[0] & mask;
        r.l[1] = (V::template shr<52>(w[0]) | V::template shl<12>(w[1])) & mask;
        r.l[2] = (V::template shr<40>(w[1]) | V::template shl<24>(w[2])) & mask;
        r.l[3] = (V::template shr<28>(w[2]) | V::template shl<36>(w[3])) & mask;
        r.l[4] = V::template shr<16>(w[3]);
        return r;
    }

    static void swapWhere(const V& mask, F& a, F& b)
    {
        TZV_UNROLL
        for (int i = 0; i < N; ++i) {
            const V t = (a.l[i] ^ b.l[i]) & mask;
            a.l[i] = a.l[i] ^ t;
            b.l[i] = b.l[i] ^ t;
        }
    }

    // (x₂ : z₂) = k·P for u = x(P) in Montgomery form: the ladder over bits 254 … 0 (bit 255 is
    // clear, bit 254 set by clamping). Every value the steps keep is reduced, as the sums and
    // differences that only enter multiplications ask of their operands. The field operations are
    // inlined for the modulus's shape, known here at compile time.
    __attribute__((flatten)) static void ladder(F& x2, F& z2, const V (&k)[4], const F& u, const Mod<V, N>& M,
                                                const F& a24)
    {
        const X25519FieldShape s;
        const V one = V::set1(1);
        F x3 = u, z3 = montOne(M);
        x2 = montOne(M);
        z2 = feZero<V, N>();
        V swap = V::zero();
        for (int t = 254; t >= 0; --t) {
            const V bit = V::zero() - (V::shrBy(k[t / 64], (unsigned)(t % 64)) & one);
            swap = swap ^ bit;
            swapWhere(swap, x2, x3);
            swapWhere(swap, z2, z3);
            swap = bit;
            const F a = sumForMul(x2, z2), b = differenceForMul(x2, z2, M);
            const F c = sumForMul(x3, z3), d = differenceForMul(x3, z3, M);
            const F aa = sqr(a, M, s), bb = sqr(b, M, s);
            const F da = mul(d, a, M, s), cb = mul(c, b, M, s);
            const F e = sub(aa, bb, M);
            x3 = sqr(sumForMul(da, cb), M, s);
            z3 = mul(u, sqrForMul(differenceForMul(da, cb, M), M, s), M, s);
            x2 = mul(aa, bb, M, s);
            z2 = mul(e, sumForMul(aa, mul(a24, e, M, s)), M, s);
        }
        // The last swap would follow bit 0, which clamping clears.
    }

    // x(k·P) as a plain number below p: x₂/z₂, 0 where z₂ = 0.
    static F multiply(const V (&k)[4], const F& u, const Mod<V, N>& M, const F& a24)
    {
        F x2, z2;
        ladder(x2, z2, k, u, M, a24);
        return fromMont(mul(x2, invert(z2, M), M), M);
    }

    // The results as 32 bytes, little-endian, into the active lanes.
    static void store(int8u* const dst[kLanes], const F& r, unsigned active)
    {
        alignas(64) uint64_t limbs[N][kLanes];
        for (int l = 0; l < N; ++l) r.l[l].store(limbs[l]);
        for (int i = 0; i < kLanes; ++i) {
            if (!(active & (1u << i))) continue;
            uint64_t l[N];
            for (int j = 0; j < N; ++j) l[j] = limbs[j][i];
            const uint64_t w[4] = {l[0] | l[1] << 52, l[1] >> 12 | l[2] << 40, l[2] >> 24 | l[3] << 28,
                                   l[3] >> 36 | l[4] << 16};
            std::memcpy(dst[i], w, kBytes);
        }
    }

    // Statuses of the active lanes: TZV_STS_LOW_ORDER where the secret is all zero.
    static tzv_status lowOrderStatus(const V& zero, unsigned active)
    {
        alignas(64) uint64_t z[kLanes];
        zero.store(z);
        tzv_status sts = 0;
        for (int i = 0; i < kLanes; ++i)
            sts |= (tzv_status)(z[i] & TZV_STS_LOW_ORDER & (0 - (uint64_t)((active >> i) & 1))) << (4 * i);
        return sts;
    }

    static tzv_status sharedSecret(const Curve25519Consts& c, int8u* const shared[kLanes], const int8u* const priv[kLanes],
                                   const int8u* const peer[kLanes], unsigned active)
    {
        const Mod<V, N> M(c.p);
        V k[4], w[4];
        loadWords(k, priv, active, true);
        loadWords(w, peer, active, false);
        const F r = multiply(k, toMont(limbsOf(w), M), M, broadcast<V, N>(c.a24));
        store(shared, r, active);
        return lowOrderStatus(isZero(r), active);
    }
};

} // namespace
} // namespace tzv::ec

#endif
