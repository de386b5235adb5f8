// Modular exponentiation on eight lanes at once (mont_lanes.h): each lane its own odd modulus of up
// to 4096 bits, base and exponent, in 52-bit limbs on AVX-512 IFMA. RSA and tzv_exp_mb8 call it for
// the lanes that passed their checks (`active`, bit i for lane i) and read no other lane's pointers;
// the other lanes compute on stand-in values and their outputs are left alone. Exponents are secret:
// fixed 5-bit windows with every table entry read, no branch or address chosen by a value. Moduli
// are public except the CRT's primes, whose sizes alone are used.
#ifndef TZV_MEXP_ENGINE_H
#define TZV_MEXP_ENGINE_H

#include <cstddef>

#include "../simd/code_path.h"
#include "../tzv_lanes.h"

namespace tzv::mexp {

constexpr int kLanes = 8;
constexpr int kMaxWords = 64; // 4096 bits

// Limbs for numbers of `words` 64-bit words, with room for the 4·m < R that spares the Montgomery
// products their final subtraction.
constexpr int limbsFor(int words) { return (64 * words + 2 + 51) / 52; }

// Scratch bytes a call on numbers of `words` words needs (the CRT's halves need less).
constexpr std::size_t scratchBytes(int words)
{
    return (std::size_t)(52 * limbsFor(words) + 2 * words + 16) * 64 + 64;
}

struct ModExpEngine {
    // out = base^pwr mod mod as `words` words. The moduli are odd, below 2^(64·words) and at least
    // 2^(minBits − 1); bases below 2^(64·words); exponents of `pwrBits` bits, of (pwrBits + 63)/64
    // words (none read for 0). With pwr null the exponent is 65537.
    void (*power)(int64u* const out[kLanes], const int64u* const base[kLanes], const int64u* const pwr[kLanes],
                  int pwrBits, const int64u* const mod[kLanes], int words, int minBits, unsigned active,
                  void* scratch);
    // RSA by the CRT: out = c^d mod p·q as 2·half words, from c below p·q (2·half words) and p, q,
    // dp, dq, invq of `half` words, p and q of exactly 64·half bits. Returns the lanes whose invq·q
    // is not 1 modulo p; their output is not written.
    unsigned (*crt)(int64u* const out[kLanes], const int64u* const c[kLanes], const int64u* const p[kLanes],
                    const int64u* const q[kLanes], const int64u* const dp[kLanes], const int64u* const dq[kLanes],
                    const int64u* const invq[kLanes], int half, unsigned active, void* scratch);
    // The active lanes where v is 0 or not below `upper` (both of `words` words), for secrets such
    // as d below n: compared by masks, not by a loop that stops at the first difference.
    unsigned (*outOfRange)(const int64u* const v[kLanes], const int64u* const upper[kLanes], int words,
                           unsigned active);
};

// How deep the engine's calls reach below their caller (measured: 16 to 20 KB, at every size), with
// a margin: the stack overwritten after a call on secrets (scrub.h).
constexpr std::size_t kEngineStack = 28 * 1024;

// The IFMA backend (only when featuresEnabled(kAvx512Ifma)) and the plain C++ one, which only the
// constant-time check links.
const ModExpEngine& modExpEngineAvx512();
const ModExpEngine& modExpEnginePlain();

// The IFMA engine when libkyncp has IFMA enabled, else null (the per-lane OpenSSL path).
inline const ModExpEngine* modExpEngine()
{
    return featuresEnabled(kAvx512Ifma) ? &modExpEngineAvx512() : nullptr;
}

} // namespace tzv::mexp

#endif
