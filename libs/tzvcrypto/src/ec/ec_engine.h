// The eight-lane curve operations on 52-bit limbs, one table of entry points per curve and backend.
// The caller (ec_keys, ec_nist, ec_sm2) has already marked null lanes; `active` has bit i set for
// the lanes to compute. Each entry returns the statuses its values give the active lanes (1 for a
// bad key or value, 8 for a signature that fails or came out zero) and writes the outputs of the
// lanes left OK only, by masked stores, so that no secret-dependent check turns into a branch.
#ifndef TZV_EC_ENGINE_H
#define TZV_EC_ENGINE_H

#include <cstddef>

#include "../scrub.h"
#include "../simd/code_path.h"
#include "ec_curves.h"

namespace tzv::ec {

constexpr int kSm2DigestBytes = 32;

struct EcEngine {
    tzv_status (*publicKey)(const CurveConsts& c, int64u* const pubx[kLanes], int64u* const puby[kLanes],
                            int64u* const pubz[kLanes], const int64u* const skey[kLanes], unsigned active);
    tzv_status (*sharedSecret)(const CurveConsts& c, int8u* const shared[kLanes], const int64u* const skey[kLanes],
                               const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                               const int64u* const pubz[kLanes], unsigned active);
    tzv_status (*signSetup)(const CurveConsts& c, int64u* const inv_eph_skey[kLanes], int64u* const sign_rp[kLanes],
                            const int64u* const eph_skey[kLanes], unsigned active);
    tzv_status (*signComplete)(const CurveConsts& c, int8u* const sign_r[kLanes], int8u* const sign_s[kLanes],
                               const int8u* const msg[kLanes], const int64u* const sign_rp[kLanes],
                               const int64u* const inv_eph_skey[kLanes], const int64u* const reg_skey[kLanes],
                               unsigned active);
    tzv_status (*sign)(const CurveConsts& c, int8u* const sign_r[kLanes], int8u* const sign_s[kLanes],
                       const int8u* const msg[kLanes], const int64u* const eph_skey[kLanes],
                       const int64u* const reg_skey[kLanes], unsigned active);
    tzv_status (*verify)(const CurveConsts& c, const int8u* const sign_r[kLanes], const int8u* const sign_s[kLanes],
                         const int8u* const msg[kLanes], const int64u* const pubx[kLanes],
                         const int64u* const puby[kLanes], const int64u* const pubz[kLanes], unsigned active);
    // The affine coordinates of the public keys (pubz null: affine already) as byte strings of the
    // field's length, for SM2's Z; 1 where a key is bad.
    tzv_status (*affineKeys)(const CurveConsts& c, int8u x[kLanes][66], int8u y[kLanes][66],
                             const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                             const int64u* const pubz[kLanes], unsigned active);
    // SM2 signature with e = SM3(Z ‖ M) given per lane.
    tzv_status (*sm2Sign)(const CurveConsts& c, int8u* const sign_r[kLanes], int8u* const sign_s[kLanes],
                          const int8u e[kLanes][kSm2DigestBytes], const int64u* const eph_skey[kLanes],
                          const int64u* const reg_skey[kLanes], unsigned active);
    tzv_status (*sm2Verify)(const CurveConsts& c, const int8u* const sign_r[kLanes], const int8u* const sign_s[kLanes],
                            const int8u e[kLanes][kSm2DigestBytes], const int64u* const pubx[kLanes],
                            const int64u* const puby[kLanes], const int64u* const pubz[kLanes], unsigned active);
};

// Curve25519 on the same lanes (x25519_ladder.h, ed25519_lanes.h), for the active lanes: X25519's
// shared secrets, whose statuses come back (TZV_STS_LOW_ORDER where a secret is all zero, which is
// then written); k·B encoded as Ed25519 does or as X25519's u for 32-byte scalars below 2^255; and
// modulo Ed25519's order L, 64-byte hashes reduced and signatures' s = (r + k·a) mod L; and the
// point that Ed25519's verification compares with R.
struct Curve25519Engine {
    tzv_status (*x25519)(const Curve25519Consts& c, int8u* const shared[kLanes], const int8u* const priv[kLanes],
                         const int8u* const peer[kLanes], unsigned active);
    void (*basePoints)(const Curve25519Consts& c, int8u out[kLanes][32], const int8u scalars[kLanes][32],
                       unsigned active, bool montgomeryU);
    void (*reduceScalars)(const Curve25519Consts& c, int8u out[kLanes][32], const int8u h[kLanes][64],
                          unsigned active);
    void (*signScalars)(const Curve25519Consts& c, int8u s[kLanes][32], const int8u r[kLanes][64],
                        const int8u k[kLanes][64], const int8u a[kLanes][32], unsigned active);
    // Ed25519's check s·B − k·A encoded, for s below L and 64-byte k; returns the lanes whose
    // public key A is no point.
    unsigned (*verifyPoints)(const Curve25519Consts& c, int8u out[kLanes][32], const int8u* const pub[kLanes],
                             const int8u s[kLanes][32], const int8u k[kLanes][64], unsigned active);
};

// A Curve25519 scalar as X25519 and Ed25519 use it: bits 0-2 and 255 cleared, bit 254 set.
inline void clampScalar(int8u* k)
{
    k[0] &= 248;
    k[31] = (int8u)((k[31] & 127) | 64);
}

// The AVX-512 IFMA backends (run them only when featuresEnabled(kAvx512Ifma)) and the plain C++
// ones, which are linked into the constant-time check, not into the library.
const EcEngine& ecEngineAvx512(CurveId id);
const EcEngine& ecEnginePlain(CurveId id);
const Curve25519Engine& curve25519EngineAvx512();
const Curve25519Engine& curve25519EnginePlain();

// How deep the engines' operations on secrets reach below their caller, per 52-bit limb of the
// curve (measured: 1.3 to 1.4 KB for the signature's second half, 3.3 to 4.3 KB for the products
// with G, 8.9 to 9.9 KB for ECDH's with a point given, about 2.2 KB for Curve25519's; a third more
// or so here), and so how much stack is overwritten after them. Verification takes public values
// only: 0, nothing to overwrite.
constexpr std::size_t kStackScalars = 2 * 1024, kStackBaseProduct = 6 * 1024, kStackPointProduct = 13 * 1024,
                      kStackCurve25519 = 4 * 1024, kStackPublic = 0;

// Runs op(constants, active lanes) when libkyncp has AVX-512 IFMA enabled and adds the statuses it
// returns; false when the call is to take the per-lane OpenSSL path instead. get() gives the
// constants, built on first use; null fails the lanes still OK. Afterwards stackPerLimb times the
// curve's limbs of the stack below this frame, where op's frames were, are zeroed.
template <class Get, class Op>
bool onIfmaPath(Status8& sts, Get get, std::size_t stackPerLimb, Op op)
{
    if (!featuresEnabled(kAvx512Ifma)) return false;
    const auto* consts = get();
    if (!consts) {
        failRemainingLanes(sts);
        return true;
    }
    tzv_status result = op(*consts, okLanes(sts));
    if (stackPerLimb) scrubStack(stackPerLimb * (std::size_t)consts->limbs);
    for (int i = 0; i < kLanes; ++i) sts.set(i, (result >> (4 * i)) & 0xFu);
    return true;
}

// The same for a curve: op(engine, consts, active lanes).
template <class Op>
bool onIfmaPath(CurveId id, Status8& sts, std::size_t stackPerLimb, Op op)
{
    return onIfmaPath(
        sts, [id] { return curveConsts(id); }, stackPerLimb,
        [&](const CurveConsts& c, unsigned lanes) { return op(ecEngineAvx512(id), c, lanes); });
}

} // namespace tzv::ec

#endif
