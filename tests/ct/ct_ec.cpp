// Constant time of the eight-lane curve code: key generation, ECDH and signing on the plain C++
// backend, run under valgrind memcheck with every secret (private keys, nonces, k⁻¹) marked
// undefined. A branch or a memory index that depends on a secret shows up as a memcheck error,
// which fails the run (--error-exitcode). The results are made defined again and checked against
// OpenSSL, so that a backend that computes nothing cannot pass either.
#include <valgrind/memcheck.h>

#include <openssl/bn.h>
#include <openssl/ec.h>

#include <cstdio>
#include <cstring>

#include "ec/ec_engine.h"

namespace {

using namespace tzv::ec;

constexpr int kMaxWords = 9;
constexpr int kMaxBytes = 66;

int g_failures = 0;

void check(bool ok, const char* curve, const char* what, int lane)
{
    if (ok) return;
    std::printf("FAIL %s %s lane %d\n", curve, what, lane);
    ++g_failures;
}

uint64_t g_seed = 0x9E3779B97F4A7C15ull;
uint64_t next()
{
    uint64_t z = (g_seed += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Eight numbers below 2^(bits − 1) (so below n), as word numbers.
struct Lanes {
    int64u w[kLanes][kMaxWords] = {};
    const int64u* in[kLanes];
    int64u* out[kLanes];
    Lanes(int words, int bits)
    {
        for (int i = 0; i < kLanes; ++i) {
            for (int j = 0; j < words; ++j) w[i][j] = next();
            int top = (bits - 1) - 64 * (words - 1); // bits allowed in the top word
            w[i][words - 1] &= top >= 64 ? ~0ull : (1ull << top) - 1;
            in[i] = w[i];
            out[i] = w[i];
        }
    }
    Lanes() : Lanes(1, 2) {}
};

struct Bytes {
    int8u b[kLanes][kMaxBytes] = {};
    const int8u* in[kLanes];
    int8u* out[kLanes];
    Bytes()
    {
        for (int i = 0; i < kLanes; ++i) {
            in[i] = b[i];
            out[i] = b[i];
        }
    }
};

void secret(const void* p, size_t n) { VALGRIND_MAKE_MEM_UNDEFINED(p, n); }
void reveal(const void* p, size_t n) { VALGRIND_MAKE_MEM_DEFINED(p, n); }

BIGNUM* fromWords(const int64u* w, int words)
{
    int8u le[8 * kMaxWords];
    for (int i = 0; i < 8 * words; ++i) le[i] = (int8u)(w[i / 8] >> (8 * (i % 8)));
    return BN_lebin2bn(le, 8 * words, nullptr);
}

bool equalsBn(const int8u* bytes, int len, const BIGNUM* v)
{
    int8u want[kMaxBytes];
    return BN_bn2binpad(v, want, len) == len && std::memcmp(bytes, want, len) == 0;
}

bool wordsEqualBn(const int64u* w, int words, const BIGNUM* v)
{
    BIGNUM* got = fromWords(w, words);
    bool ok = got && BN_cmp(got, v) == 0;
    BN_free(got);
    return ok;
}

// OpenSSL's check of a signature (r, s) on digest e by Q: NIST when sm2 is false.
bool opensslVerifies(const EC_GROUP* g, const EC_POINT* q, const int8u* e, const int8u* r, const int8u* s, int len,
                     bool sm2, BN_CTX* ctx)
{
    const BIGNUM* n = EC_GROUP_get0_order(g);
    BIGNUM* bn[7];
    for (BIGNUM*& b : bn) b = BN_new();
    BIGNUM *E = bn[0], *R = bn[1], *S = bn[2], *u1 = bn[3], *u2 = bn[4], *x = bn[5], *w = bn[6];
    EC_POINT* p = EC_POINT_new(g);
    bool ok = BN_bin2bn(e, len, E) && BN_nnmod(E, E, n, ctx) && BN_bin2bn(r, len, R) && BN_bin2bn(s, len, S) &&
              !BN_is_zero(R) && !BN_is_zero(S) && BN_cmp(R, n) < 0 && BN_cmp(S, n) < 0;
    if (ok && sm2) // s·G + (r + s)·Q, then (e + x) mod n = r
        ok = BN_copy(u1, S) && BN_mod_add(u2, R, S, n, ctx) && EC_POINT_mul(g, p, u1, q, u2, ctx) &&
             EC_POINT_get_affine_coordinates(g, p, x, nullptr, ctx) && BN_mod_add(x, x, E, n, ctx);
    else if (ok) // (e·w)·G + (r·w)·Q with w = s⁻¹, then x mod n = r
        ok = BN_mod_inverse(w, S, n, ctx) && BN_mod_mul(u1, E, w, n, ctx) && BN_mod_mul(u2, R, w, n, ctx) &&
             EC_POINT_mul(g, p, u1, q, u2, ctx) && EC_POINT_get_affine_coordinates(g, p, x, nullptr, ctx) &&
             BN_nnmod(x, x, n, ctx);
    ok = ok && BN_cmp(x, R) == 0;
    for (BIGNUM* b : bn) BN_free(b);
    EC_POINT_free(p);
    return ok;
}

void runCurve(CurveId id, const char* name)
{
    const Curve* curve = curveOf(id);
    const CurveConsts* c = curveConsts(id);
    if (!curve || !c) {
        check(false, name, "curve constants", 0);
        return;
    }
    const EcEngine& engine = ecEnginePlain(id);
    const EC_GROUP* g = curve->group;
    const int bits = c->n.bits, words = c->words, len = c->orderBytes;
    const bool sm2 = id == CurveId::SM2;
    const unsigned all = 0xFF;
    BN_CTX* ctx = BN_CTX_new();

    // OpenSSL's public keys and peer keys, from a defined copy of the private keys.
    Lanes d(words, bits), k(words, bits);
    Lanes qx, qy, qz;
    EC_POINT* q[kLanes];
    BIGNUM* qxBn[kLanes];
    BIGNUM* qyBn[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        BIGNUM* dBn = fromWords(d.w[i], words);
        q[i] = EC_POINT_new(g);
        qxBn[i] = BN_new();
        qyBn[i] = BN_new();
        EC_POINT_mul(g, q[i], dBn, nullptr, nullptr, ctx);
        EC_POINT_get_affine_coordinates(g, q[i], qxBn[i], qyBn[i], ctx);
        BN_free(dBn);
    }

    secret(d.w, sizeof d.w);
    tzv_status sts = engine.publicKey(*c, qx.out, qy.out, qz.out, d.in, all);
    reveal(&sts, sizeof sts);
    reveal(qx.w, sizeof qx.w);
    reveal(qy.w, sizeof qy.w);
    reveal(qz.w, sizeof qz.w);
    for (int i = 0; i < kLanes; ++i)
        check(((sts >> (4 * i)) & 0xF) == 0 && wordsEqualBn(qx.w[i], words, qxBn[i]) &&
                  wordsEqualBn(qy.w[i], words, qyBn[i]) && qz.w[i][0] == 1,
              name, "public key", i);

    // ECDH of lane i's key with lane i+1's public key (affine, OpenSSL's).
    Bytes shared;
    const int64u* peerX[kLanes];
    const int64u* peerY[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        peerX[i] = qx.in[(i + 1) % kLanes];
        peerY[i] = qy.in[(i + 1) % kLanes];
    }
    sts = engine.sharedSecret(*c, shared.out, d.in, peerX, peerY, nullptr, all);
    reveal(&sts, sizeof sts);
    reveal(shared.b, sizeof shared.b);
    reveal(d.w, sizeof d.w);
    for (int i = 0; i < kLanes; ++i) {
        BIGNUM* dBn = fromWords(d.w[i], words);
        EC_POINT* p = EC_POINT_new(g);
        BIGNUM* x = BN_new();
        bool ok = EC_POINT_mul(g, p, nullptr, q[(i + 1) % kLanes], dBn, ctx) &&
                  EC_POINT_get_affine_coordinates(g, p, x, nullptr, ctx);
        check(ok && ((sts >> (4 * i)) & 0xF) == 0 && equalsBn(shared.b[i], c->fieldBytes, x), name, "ECDH", i);
        BN_free(dBn);
        BN_free(x);
        EC_POINT_free(p);
    }

    // Signatures on public digests below 2^(bits − 1), verified by OpenSSL.
    Bytes digest, r, s;
    for (int i = 0; i < kLanes; ++i) {
        for (int b = 0; b < len; ++b) digest.b[i][b] = (int8u)next();
        int excess = 8 * len - (bits - 1);
        digest.b[i][0] &= (int8u)(excess >= 8 ? 0 : 0xFF >> excess);
    }
    auto verifyAll = [&](const char* what) {
        reveal(&sts, sizeof sts);
        reveal(r.b, sizeof r.b);
        reveal(s.b, sizeof s.b);
        for (int i = 0; i < kLanes; ++i)
            check(((sts >> (4 * i)) & 0xF) == 0 &&
                      opensslVerifies(g, q[i], digest.b[i], r.b[i], s.b[i], len, sm2, ctx),
                  name, what, i);
    };
    secret(d.w, sizeof d.w);
    secret(k.w, sizeof k.w);
    if (sm2) {
        int8u e[kLanes][kSm2DigestBytes];
        for (int i = 0; i < kLanes; ++i) std::memcpy(e[i], digest.b[i], kSm2DigestBytes);
        sts = engine.sm2Sign(*c, r.out, s.out, e, k.in, d.in, all);
        verifyAll("SM2 sign");
    } else {
        sts = engine.sign(*c, r.out, s.out, digest.in, k.in, d.in, all);
        verifyAll("sign");
        Lanes kinv, rp;
        sts = engine.signSetup(*c, kinv.out, rp.out, k.in, all);
        reveal(&sts, sizeof sts);
        reveal(rp.w, sizeof rp.w);
        check(sts == 0, name, "sign setup", 0);
        std::memset(r.b, 0, sizeof r.b);
        std::memset(s.b, 0, sizeof s.b);
        sts = engine.signComplete(*c, r.out, s.out, digest.in, rp.in, kinv.in, d.in, all);
        verifyAll("sign setup + complete");
    }

    for (int i = 0; i < kLanes; ++i) {
        EC_POINT_free(q[i]);
        BN_free(qxBn[i]);
        BN_free(qyBn[i]);
    }
    BN_CTX_free(ctx);
}

} // namespace

int main()
{
    runCurve(CurveId::P256, "P-256");
    runCurve(CurveId::P384, "P-384");
    runCurve(CurveId::P521, "P-521");
    runCurve(CurveId::SM2, "SM2");
    std::printf("%s\n", g_failures ? "constant-time run: results wrong" : "constant-time run: results agree with OpenSSL");
    return g_failures ? 1 : 0;
}
