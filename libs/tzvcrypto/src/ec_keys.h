// Public-key generation and ECDH: the same operation on all four curves (NIST and SM2 alike).
#ifndef TZV_EC_KEYS_H
#define TZV_EC_KEYS_H

#include "ec_common.h"

namespace tzv::ec {

// Q = d·G per lane, written as Jacobian X, Y and Z = 1, or as affine x, y when pubz is null.
tzv_status publicKeyLanes(CurveId id, int64u* pubx[kLanes], int64u* puby[kLanes], int64u* pubz[kLanes],
                          const int64u* const skey[kLanes]);

// The affine x-coordinate of d·Q per lane, as a byte string of the field's length.
tzv_status sharedSecretLanes(CurveId id, int8u* shared[kLanes], const int64u* const skey[kLanes],
                             const int64u* const pubx[kLanes], const int64u* const puby[kLanes],
                             const int64u* const pubz[kLanes]);

} // namespace tzv::ec

#endif
