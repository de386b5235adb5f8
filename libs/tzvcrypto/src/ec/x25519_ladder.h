// X25519 (RFC 7748) for eight lanes at once over the lane vector V: 2^255 − 19 in five 52-bit limbs
// with Montgomery multiplication (R = 2^260), and the Montgomery ladder on u-coordinates. Each of
// the 255 steps swaps the two points by a mask made from the scalar's bit, never by a branch or an
// index, then adds and doubles; the result is x₂/z₂ with the inversion by division steps, which
// gives 0 where z₂ = 0 (u of small order), so that an all-zero secret is the only sign of it.
// ed25519_lanes.h builds on it, and the backends include that.
#ifndef TZV_X25519_LADDER_H
#define TZV_X25519_LADDER_H

#include <cstring>

#include "ec_engine_impl.h"

namespace tzv::ec {
namespace {

template <class V>
struct X25519Lanes {
    static constexpr int N = 5;
    static constexpr int kBytes = 32;
    using F = Fe<V, N>;

    // The active lanes' 32-byte little-endian strings as limbs: a scalar clamped (bits 0-2 and 255
    // cleared, bit 254 set), a u-coordinate with bit 255 cleared. Other lanes hold zero.
    static F load(const int8u* const src[kLanes], unsigned active, bool scalar)
    {
        uint64_t limbs[kLanes][kMaxLimbs] = {};
        for (int i = 0; i < kLanes; ++i) {
            if (!(active & (1u << i))) continue;
            int8u b[kBytes];
            std::memcpy(b, src[i], kBytes);
            if (scalar) clampScalar(b);
            else b[kBytes - 1] &= 0x7F;
            uint64_t words[4];
            std::memcpy(words, b, kBytes); // little-endian, as the machine
            wordsToLimbs(limbs[i], N, words, 4);
        }
        return gatherLanes<V, N>(limbs);
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
    __attribute__((flatten)) static void ladder(F& x2, F& z2, const F& k, const F& u, const Mod<V, N>& M,
                                                const F& a24)
    {
        const X25519FieldShape s;
        const V one = V::set1(1);
        F x3 = u, z3 = montOne(M);
        x2 = montOne(M);
        z2 = feZero<V, N>();
        V swap = V::zero();
        for (int t = 254; t >= 0; --t) {
            const V bit = V::zero() - (V::shrBy(k.l[t / 52], (unsigned)(t % 52)) & one);
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
    static F multiply(const F& k, const F& u, const Mod<V, N>& M, const F& a24)
    {
        F x2, z2;
        ladder(x2, z2, k, u, M, a24);
        return fromMont(mul(x2, invert(z2, M), M), M);
    }

    // The results as 32 bytes, little-endian, into the active lanes.
    static void store(int8u* const dst[kLanes], const F& r, unsigned active)
    {
        uint64_t limbs[kLanes][kMaxLimbs];
        scatterLanes(limbs, r);
        for (int i = 0; i < kLanes; ++i) {
            if (!(active & (1u << i))) continue;
            uint64_t words[4];
            limbsToWords(words, 4, limbs[i], N);
            std::memcpy(dst[i], words, kBytes);
        }
    }

    static tzv_status sharedSecret(const Curve25519Consts& c, int8u* const shared[kLanes], const int8u* const priv[kLanes],
                                   const int8u* const peer[kLanes], unsigned active)
    {
        const Mod<V, N> M(c.p);
        const F r = multiply(load(priv, active, true), toMont(load(peer, active, false), M), M, broadcast<V, N>(c.a24));
        store(shared, r, active);
        return laneStatus(V::zero(), isZero(r), active, TZV_STS_LOW_ORDER);
    }
};

} // namespace
} // namespace tzv::ec

#endif
