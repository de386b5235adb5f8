// Shared machinery of the elliptic-curve families (ec_nist, ec_sm2, ec_keys): the four curves, the
// per-thread workspace, the conversions between the interface's encodings and BIGNUMs, modular
// arithmetic across lanes and the loading and validation of public keys.
#ifndef TZV_EC_COMMON_H
#define TZV_EC_COMMON_H

#include <openssl/bn.h>
#include <openssl/ec.h>

#include "tzv_lanes.h"

namespace tzv::ec {

constexpr int kLanes = 8;

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

// What one call needs besides its data: a BN_CTX and per-lane points, one set per curve and thread,
// created on first use and reused by every later call of that thread.
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
    BN_CTX* m_ctx = nullptr;
    EC_POINT* m_key[kLanes] = {};
    EC_POINT* m_scratch = nullptr;
    bool m_valid = false;
};

// Scoped BN_CTX frame: the temporary BIGNUMs it hands out live until it goes out of scope. Those
// handed out as secret are cleared then, so that no key outlives the call in the thread's pool.
// Take every BIGNUM of a frame before calling anything else that uses the BN_CTX.
class BnFrame {
public:
    explicit BnFrame(BN_CTX* ctx) : m_ctx(ctx) { BN_CTX_start(ctx); }
    ~BnFrame();
    BnFrame(const BnFrame&) = delete;
    BnFrame& operator=(const BnFrame&) = delete;

    BIGNUM* get() { return BN_CTX_get(m_ctx); }
    BIGNUM* secret();
    // One BIGNUM per lane; false when the pool is exhausted (then every later get fails too).
    bool lanes(BIGNUM* out[kLanes]);
    bool secretLanes(BIGNUM* out[kLanes]);

private:
    static constexpr int kMaxSecrets = 4 * kLanes;
    BN_CTX* m_ctx;
    BIGNUM* m_secret[kMaxSecrets];
    int m_secretCount = 0;
};

// The call's curve and workspace. When either is unavailable, every lane not already failed gets
// TZV_STS_BAD_PARAM and the object tests false.
class Call {
public:
    Call(CurveId id, Status8& sts);
    explicit operator bool() const { return m_ws != nullptr; }
    const Curve& curve() const { return *m_curve; }
    Workspace& ws() const { return *m_ws; }
    BN_CTX* ctx() const { return m_ws->ctx(); }

private:
    const Curve* m_curve = nullptr;
    Workspace* m_ws = nullptr;
};

// Marks TZV_STS_BAD_PARAM in every lane that is still OK (an internal failure such as exhausted
// memory, which the interface has no other value for).
void failRemainingLanes(Status8& sts);

// Bit i set when lane i is still OK.
unsigned okLanes(const Status8& sts);

// ---- conversions (the values are public or secret alike; none of them branches on the value) ----
bool wordsToBn(BIGNUM* bn, const int64u* words, int count);
bool bnToWords(int64u* words, int count, const BIGNUM* bn); // false when bn does not fit
bool bytesToBn(BIGNUM* bn, const int8u* bytes, int count);
bool bnToBytes(int8u* bytes, int count, const BIGNUM* bn); // false when bn does not fit

// 1 <= v < upper.
bool inRange(const BIGNUM* v, const BIGNUM* upper);

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
