// Shared machinery of the elliptic-curve families (ec_nist, ec_sm2, ec_keys): the four curves, the
// per-thread points, modular arithmetic across lanes and the loading and validation of keys. The
// BIGNUM pool, frames and conversions are the library's big-number lanes (bn_lanes.h).
#ifndef TZV_EC_COMMON_H
#define TZV_EC_COMMON_H

#include <openssl/bn.h>
#include <openssl/ec.h>

#include "bn_lanes.h"
#include "scrub.h"

namespace tzv::ec {

using bn::BnFrame;
using bn::bnToBytes;
using bn::bnToWords;
using bn::bytesToBn;
using bn::failRemainingLanes;
using bn::inRange;
using bn::kMaxWords;
using bn::kLanes;
using bn::okLanes;
using bn::wordsInRange;
using bn::wordsToBn;

enum class CurveId { P256, P384, P521, SM2 };
constexpr int kCurveCount = 4;

// A prime modulus with what arithmetic modulo it needs.
struct Modulus {
    BIGNUM* value = nullptr;
    BIGNUM* minus2 = nullptr; // the exponent of a Fermat inversion
    BN_MONT_CTX* mont = nullptr;
};

// One curve: its OpenSSL group, built once and then shared read-only by every thread, and the sizes
// of its values in the interface's encodings.
struct Curve {
    CurveId id;
    EC_GROUP* group = nullptr;
    Modulus field; // p
    Modulus order; // n
    int words = 0;      // word-number length of coordinates and scalars
    int fieldBytes = 0; // byte-string length of a coordinate (ECDH output)
    int orderBytes = 0; // byte-string length of r, s and digests
};

// The curve, built on first use (thread-safe); null when OpenSSL cannot provide it.
const Curve* curveOf(CurveId id);

// What one call needs besides its data: the thread's BN_CTX and per-lane points, one set of points
// per curve and thread, created on first use and reused by every later call of that thread.
class Workspace {
public:
    // This thread's workspace for the curve; null when it cannot be allocated.
    static Workspace* of(const Curve& curve);

    explicit Workspace(const Curve& curve);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    bool valid() const { return m_valid; }
    BN_CTX* ctx() const { return m_ctx; }
    EC_POINT* key(int lane) const { return m_key[lane]; } // a lane's public key
    EC_POINT* scratch() const { return m_scratch; }        // a product, used one lane at a time

private:
    BN_CTX* m_ctx = nullptr; // the thread's, not owned
    EC_POINT* m_key[kLanes] = {};
    EC_POINT* m_scratch = nullptr;
    bool m_valid = false;
};

// The call's curve and workspace. When either is unavailable, every lane not already failed gets
// TZV_STS_BAD_PARAM and the object tests false. When the call ends, OpenSSL's frames below it and
// the vector registers are zeroed: its P-256 code leaves words of the shared secrets in them.
class Call {
public:
    Call(CurveId id, Status8& sts);
    ~Call() { scrubStack(kOpenSslStack); }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    explicit operator bool() const { return m_ws != nullptr; }
    const Curve& curve() const { return *m_curve; }
    Workspace& ws() const { return *m_ws; }
    BN_CTX* ctx() const { return m_ws->ctx(); }

private:
    const Curve* m_curve = nullptr;
    Workspace* m_ws = nullptr;
};

// ---- modular arithmetic ----
// r = a * b mod m, for a, b in [0, m-1]; constant-time Montgomery multiplication. r may alias b.
bool mulMod(BIGNUM* r, const BIGNUM* a, const BIGNUM* b, const Modulus& m, BN_CTX* ctx);

enum class Secrecy { Public, Secret };
// Replaces v[i] by its inverse mod m in every lane i whose bit is set in `lanes`, each v[i] in
// [1, m-1]: Montgomery's trick, so that the whole call pays for one modular inversion and a few
// multiplications per lane. A secret product is inverted in constant time (Fermat), a public one by
// the faster Euclid.
bool invertLanes(BIGNUM* v[kLanes], unsigned lanes, const Modulus& m, Secrecy secrecy, BN_CTX* ctx);

// ---- lane input ----
// Loads the scalars (private or ephemeral keys) of the lanes still OK and marks TZV_STS_BAD_PARAM
// where one is not in [1, upper-1]. The loaded values are flagged constant-time.
void loadScalars(BIGNUM* out[kLanes], Status8& sts, const int64u* const words[kLanes], int count,
                 const BIGNUM* upper);

// Loads the public keys of the lanes still OK into ws.key(lane), from Jacobian X, Y, Z (x = X/Z²,
// y = Y/Z³) or, when pubz is null, affine x, y, and leaves the affine coordinates in x[i], y[i].
// A coordinate not below p, Z = 0 or a point off the curve gives TZV_STS_BAD_PARAM. The Z inversions
// of all lanes are shared (invertLanes).
void loadPublicKeys(const Call& call, Status8& sts, const int64u* const pubx[kLanes],
                    const int64u* const puby[kLanes], const int64u* const pubz[kLanes],
                    BIGNUM* x[kLanes], BIGNUM* y[kLanes]);

} // namespace tzv::ec

#endif
