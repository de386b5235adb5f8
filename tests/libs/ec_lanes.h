// The elliptic-curve tests' machinery, shared with their fuzz target: OpenSSL's arithmetic and SM3 as
// the reference that owes nothing to the library (d·G, ECDH, ECDSA, SM2 signatures), one lane's inputs
// with the results they must give, and one call of any of the 22 functions over eight such lanes.
#ifndef PS_TESTS_EC_LANES_H
#define PS_TESTS_EC_LANES_H

#include <openssl/err.h>
#include <openssl/obj_mac.h>

#include <ostream>
#include <type_traits>

#include "ec_test_support.h"

namespace ectest {

// ---- the functions ----
enum Op { kPubKey, kEcdh, kSetup, kComplete, kSign, kVerify, kSm2Sign, kSm2Verify, kOpCount };
constexpr unsigned bit(int op) { return 1u << op; }
inline const char* const kOpNames[kOpCount] = {"ecpublic_key", "ecdh", "ecdsa_sign_setup", "ecdsa_sign_complete",
                                               "ecdsa_sign", "ecdsa_verify", "sm2 ecdsa_sign", "sm2 ecdsa_verify"};
// Each function's arguments: 'p' a lane array, 'z' the public keys' Z array (null: affine), 'n' lengths.
inline const char* const kArgKinds[kOpCount] = {"ppzp", "ppppz", "ppp", "pppppp", "ppppp", "pppppz", "pppnpnppppz",
                                                "pppnpnppz"};

struct Api {
    const char* name; // as the vector files name the curve
    int nid;
    decltype(&tzv_nistp256_ecpublic_key_mb8) pubKey;
    decltype(&tzv_nistp256_ecdh_mb8) ecdh;
    decltype(&tzv_nistp256_ecdsa_sign_setup_mb8) setup;
    decltype(&tzv_nistp256_ecdsa_sign_complete_mb8) complete;
    decltype(&tzv_nistp256_ecdsa_sign_mb8) sign;
    decltype(&tzv_nistp256_ecdsa_verify_mb8) verify;
    bool has(Op op) const { return nid == NID_sm2 ? op <= kEcdh || op >= kSm2Sign : op < kSm2Sign; }
};
#define PS_TZV_NIST_EC(c)                                                                                  \
    tzv_##c##_ecpublic_key_mb8, tzv_##c##_ecdh_mb8, tzv_##c##_ecdsa_sign_setup_mb8,                         \
        tzv_##c##_ecdsa_sign_complete_mb8, tzv_##c##_ecdsa_sign_mb8, tzv_##c##_ecdsa_verify_mb8
inline const Api kApis[] = {
    {"P-256", NID_X9_62_prime256v1, PS_TZV_NIST_EC(nistp256)},
    {"P-384", NID_secp384r1, PS_TZV_NIST_EC(nistp384)},
    {"P-521", NID_secp521r1, PS_TZV_NIST_EC(nistp521)},
    {"SM2", NID_sm2, tzv_sm2_ecpublic_key_mb8, tzv_sm2_ecdh_mb8, nullptr, nullptr, nullptr, nullptr},
};
#undef PS_TZV_NIST_EC
inline void PrintTo(const Api& api, std::ostream* os) { *os << api.name; }

// ---- one lane ----
// A lane's inputs as numbers and in the interface's encodings (encode() turns the first into the
// second; a test may change either), and the results it must give.
struct Lane {
    // keys, digest operand, public key (affine, and the Z of its Jacobian form), signature to verify; sign
    // setup's results, which are sign complete's inputs
    Bn d, k, e, qx, qy, z, r, s, kinv, rk;
    Bytes id, msg; // SM2's identifier and message
    int idLen = 0, msgLen = 0;
    Bytes shared, sigR, sigS;    // x(d·Q); the signature with k
    Words dw, kw, kinvw, rkw, x, y, X, Y, Z; // public key affine (x, y) and Jacobian (X, Y, Z)
    Bytes eb, rb, sb;
};
using Lanes = std::array<Lane, kLanes>;

// The outputs of one call.
struct Out {
    std::array<Words, kLanes> X, Y, Z, kinv, rk;
    std::array<Bytes, kLanes> shared, r, s;
};

// Null pointers of one call: lane `lane` of argument `arg`, or the whole argument when lane < 0.
struct Nulls {
    int arg = -1, lane = -1;
    template <typename T>
    T* at(int i, std::array<T, kLanes>& p) const
    {
        if (i == arg && lane < 0) return nullptr;
        if constexpr (std::is_pointer_v<T>)
            if (i == arg) p[lane] = nullptr;
        return p.data();
    }
};

// ---- the curve, and the reference results from OpenSSL ----
class TestCurve {
public:
    explicit TestCurve(int nid) : sm2(nid == NID_sm2), m_group(EC_GROUP_new_by_curve_name(nid)), m_ctx(BN_CTX_new())
    {
        if (!m_group || !m_ctx) throw std::runtime_error("OpenSSL has no such curve");
        EC_GROUP_get_curve(group(), p.get(), a.get(), b.get(), ctx());
        EC_POINT_get_affine_coordinates(group(), EC_GROUP_get0_generator(group()), gx.get(), gy.get(), ctx());
        n = bnCopy(EC_GROUP_get0_order(group()));
        orderBits = BN_num_bits(n.get()), orderBytes = BN_num_bytes(n.get());
        fieldBytes = BN_num_bytes(p.get()), words = (BN_num_bits(p.get()) + 63) / 64;
    }
    const EC_GROUP* group() const { return m_group.get(); }
    BN_CTX* ctx() const { return m_ctx.get(); }

    // a·b⁻¹ mod n (b = 1 when null).
    Bn div(const BIGNUM* a, const BIGNUM* b = nullptr) const
    {
        Bn r = bnWord(1);
        if (b && !BN_mod_inverse(r.get(), b, n.get(), ctx())) throw std::runtime_error("not invertible");
        BN_mod_mul(r.get(), r.get(), a, n.get(), ctx());
        return r;
    }
    Bn neg(Bn v) const { return BN_sub(v.get(), n.get(), v.get()), v; } // n - v
    // Lane L's private key d and public key d·G.
    void setKey(Lane& L, Bn d) const { L.d = d, mul(L.d.get(), nullptr, nullptr, L.qx, L.qy), encode(L); }
    // Uniform in [1, limit-1] from a seeded generator, so that failures reproduce.
    Bn random(std::mt19937_64& rng, const BIGNUM* limit) const
    {
        Bytes raw(BN_num_bytes(limit) + 8);
        for (auto& c : raw) c = (uint8_t)rng();
        Bn v = bnFromBytes(raw);
        BN_mod(v.get(), v.get(), offset(limit, -1).get(), ctx());
        return offset(v.get(), 1);
    }

    // d·P (P = G when x is null), affine; zeros at infinity.
    void mul(const BIGNUM* d, const BIGNUM* x, const BIGNUM* y, Bn& rx, Bn& ry) const
    {
        Owned<EC_POINT, EC_POINT_free> q(EC_POINT_new(group())), r(EC_POINT_new(group()));
        rx = bnWord(0), ry = bnWord(0);
        if ((x && !EC_POINT_set_affine_coordinates(group(), q.get(), x, y, ctx())) ||
            !EC_POINT_mul(group(), r.get(), x ? nullptr : d, x ? q.get() : nullptr, x ? d : nullptr, ctx()))
            throw std::runtime_error("not a point");
        EC_POINT_get_affine_coordinates(group(), r.get(), rx.get(), ry.get(), ctx());
    }
    // Q = d·G, then the results the lane must give, its signature to verify, and its encodings; only
    // what function `focus` needs, unless that is kOpCount.
    void derive(Lane& L) const
    {
        auto needs = [&](unsigned ops) { return focus == kOpCount || (ops & bit(focus)); };
        const unsigned ecdsaOps = bit(kSetup) | bit(kComplete) | bit(kSign);
        if (needs(~ecdsaOps)) mul(L.d.get(), nullptr, nullptr, L.qx, L.qy);
        if (needs(bit(kEcdh))) L.shared = ecdh(L);
        if (needs(ecdsaOps | bit(kVerify))) {
            Bn ky;
            mul(L.k.get(), nullptr, nullptr, L.rk, ky);
            BN_nnmod(L.rk.get(), L.rk.get(), n.get(), ctx());
            L.kinv = div(bnWord(1).get(), L.k.get());
            ecdsa(L);
        }
        const bool canSign = BN_cmp(L.d.get(), offset(n.get(), -1).get()) < 0; // n - 1 signs nothing
        if (sm2 && needs(bit(kSm2Sign) | bit(kSm2Verify)) && canSign) {
            // r = (e + x(k·G)) mod n, s = (1 + d)⁻¹·(k − r·d) mod n
            Bn x, y, r, s;
            mul(L.k.get(), nullptr, nullptr, x, y);
            BN_mod_add(r.get(), sm2Digest(L).get(), x.get(), n.get(), ctx());
            BN_mod_mul(s.get(), r.get(), L.d.get(), n.get(), ctx());
            BN_mod_sub(s.get(), L.k.get(), s.get(), n.get(), ctx());
            s = div(s.get(), offset(L.d.get(), 1).get());
            L.sigR = toBytes(r.get(), orderBytes), L.sigS = toBytes(s.get(), orderBytes);
        }
        L.r = bnFromBytes(L.sigR), L.s = bnFromBytes(L.sigS);
        encode(L);
    }
    // The digest that makes verification's u1 = e/s equal u1 for the lane's key and nonce, with
    // s = k⁻¹·(e + r·d): e = u1·r·d/(k − u1).
    void setU1(Lane& L, const BIGNUM* u1) const
    {
        Bn num, den;
        BN_mod_mul(num.get(), u1, L.rk.get(), n.get(), ctx());
        BN_mod_mul(num.get(), num.get(), L.d.get(), n.get(), ctx());
        BN_mod_sub(den.get(), L.k.get(), u1, n.get(), ctx());
        L.e = div(num.get(), den.get());
        derive(L);
    }
    // x(d·Q).
    Bytes ecdh(const Lane& L) const
    {
        Bn x, y;
        mul(L.d.get(), L.qx.get(), L.qy.get(), x, y);
        return toBytes(x.get(), fieldBytes);
    }

    // SM2's e = SM3(Z ‖ M), Z = SM3(ENTL ‖ ID ‖ a ‖ b ‖ xG ‖ yG ‖ xQ ‖ yQ), ENTL the identifier's bits.
    Bn sm2Digest(const Lane& L) const
    {
        auto sm3 = [](Bytes in, Bytes out = Bytes(32)) {
            return EVP_Digest(in.data(), in.size(), out.data(), nullptr, EVP_sm3(), nullptr), out;
        };
        const size_t bits = 8 * L.id.size();
        Bytes z = {(uint8_t)(bits >> 8), (uint8_t)bits};
        z.insert(z.end(), L.id.begin(), L.id.end());
        for (const BIGNUM* v : {a.get(), b.get(), gx.get(), gy.get(), L.qx.get(), L.qy.get()})
            for (uint8_t c : toBytes(v, fieldBytes)) z.push_back(c);
        z = sm3(z);
        z.insert(z.end(), L.msg.begin(), L.msg.end());
        return bnFromBytes(sm3(z));
    }

    // The NIST signature from sign complete's inputs: r, and s = k⁻¹·(e + r·d) mod n.
    void ecdsa(Lane& L) const
    {
        Bn s;
        BN_mod_mul(s.get(), L.rk.get(), L.d.get(), n.get(), ctx());
        BN_mod_add(s.get(), s.get(), L.e.get(), n.get(), ctx());
        BN_mod_mul(s.get(), s.get(), L.kinv.get(), n.get(), ctx());
        L.sigR = toBytes(L.rk.get(), orderBytes), L.sigS = toBytes(s.get(), orderBytes);
    }

    // The encodings from the numbers; a public key with a coordinate not below p keeps it raw.
    void encode(Lane& L) const
    {
        auto w = [&](const BIGNUM* v) { return toWords(v, words); };
        auto b = [&](const Bn& v) { return toBytes(v.get(), orderBytes); };
        L.dw = w(L.d.get()), L.kw = w(L.k.get()), L.kinvw = w(L.kinv.get()), L.rkw = w(L.rk.get());
        L.eb = b(L.e), L.rb = b(L.r), L.sb = b(L.s);
        L.x = w(L.qx.get()), L.y = w(L.qy.get());
        L.idLen = (int)L.id.size(), L.msgLen = (int)L.msg.size();
        bool canonical = BN_cmp(L.qx.get(), p.get()) < 0 && BN_cmp(L.qy.get(), p.get()) < 0;
        Bn z = canonical ? bnCopy(L.z.get()) : bnWord(1), z2, t;
        BN_mod_sqr(z2.get(), z.get(), p.get(), ctx());
        BN_mod_mul(t.get(), L.qx.get(), z2.get(), p.get(), ctx());
        L.X = w(canonical ? t.get() : L.qx.get());
        BN_mod_mul(z2.get(), z2.get(), z.get(), p.get(), ctx());
        BN_mod_mul(t.get(), L.qy.get(), z2.get(), p.get(), ctx());
        L.Y = w(canonical ? t.get() : L.qy.get()), L.Z = w(z.get());
    }

    // A valid lane from the generator: random keys, digest and Jacobian Z; for SM2 an identifier and a
    // message whose lengths depend on the lane (empty, short, the customary 16 bytes, several blocks).
    Lane randomLane(std::mt19937_64& rng, int lane) const
    {
        static const size_t idSizes[kLanes] = {0, 1, 16, 31, 64, 16, 200, 8000};
        static const size_t msgSizes[kLanes] = {0, 1, 3, 55, 56, 64, 1000, 0};
        Lane L;
        L.d = random(rng, sm2 ? offset(n.get(), -1).get() : n.get()); // an SM2 signing key is at most n - 2
        L.k = random(rng, n.get()), L.e = random(rng, n.get()), L.z = random(rng, p.get());
        if (sm2) L.id.resize(idSizes[lane]), L.msg.resize(msgSizes[lane]);
        for (Bytes* v : {&L.id, &L.msg})
            for (auto& c : *v) c = (uint8_t)rng();
        derive(L);
        return L;
    }

    // "" when lane i's outputs of the call are the lane's results, else what differs.
    std::string wrong(Op op, const Lane& L, const Out& o, int i, bool affine) const
    {
        switch (op) {
        case kPubKey: { // d·G in the output's Z: X = x·Z², Y = y·Z³
            Lane q = L;
            q.z = affine ? bnWord(1) : fromWords(o.Z[i]);
            encode(q);
            bool same = !BN_is_zero(q.z.get()) && BN_cmp(q.z.get(), p.get()) < 0 && o.X[i] == q.X && o.Y[i] == q.Y;
            return same ? "" : "public key != d·G";
        }
        case kEcdh: return o.shared[i] == L.shared ? "" : "shared secret != x(d·Q)";
        case kSetup: // from the numbers: the constant-time check marks kinvw secret
            return o.kinv[i] == toWords(L.kinv.get(), words) && o.rk[i] == toWords(L.rk.get(), words) ? "" : "k⁻¹ or r wrong";
        case kComplete:
        case kSign:
        case kSm2Sign: return o.r[i] == L.sigR && o.s[i] == L.sigS ? "" : "signature wrong";
        default: return "";
        }
    }

    bool sm2;
    Op focus = kOpCount; // derive() for this function only (the fuzz target's saving)
    Bn p, a, b, n, gx, gy;
    int orderBits = 0, fieldBytes = 0, orderBytes = 0, words = 0;
    Owned<EC_GROUP, EC_GROUP_free> m_group;
    Owned<BN_CTX, BN_CTX_free> m_ctx;
};

// ---- the table of bad lanes ----
constexpr unsigned kKeyOps = bit(kPubKey) | bit(kEcdh) | bit(kComplete) | bit(kSign) | bit(kSm2Sign);
constexpr unsigned kNonceOps = bit(kSetup) | bit(kSign) | bit(kSm2Sign);
constexpr unsigned kPointOps = bit(kEcdh) | bit(kVerify) | bit(kSm2Sign) | bit(kSm2Verify);
constexpr unsigned kSm2Ops = bit(kSm2Sign) | bit(kSm2Verify);
constexpr unsigned kVerifyOps = bit(kVerify) | bit(kSm2Verify);
constexpr unsigned kDigestOps = bit(kComplete) | bit(kSign) | bit(kVerify);

// One bad (or edge) value in one lane, and the status it must give in the functions it applies to.
struct Fault {
    const char* what;
    unsigned ops;    // the functions it applies to
    unsigned status; // of the changed lane
    void (*apply)(const TestCurve& c, Lane& L);
    bool jacobianOnly = false; // a fault of the Z array, which affine keys do not pass
};

using CurveRef = const TestCurve&;

// u1 = (2^w − 1)·2^(12w − 1): its signed w-bit windows 11 and 12 are −2^(w−1) and 2^(w−1), the last
// entry of a table of G for w-bit windows.
template <int w>
void lastEntryOfG(CurveRef c, Lane& L)
{
    Bn u1 = bnWord((1u << w) - 1);
    BN_lshift(u1.get(), u1.get(), 12 * w - 1), c.setU1(L, u1.get());
}
inline const Fault kFaults[] = {
    {"d = 0", kKeyOps, kBad, [](CurveRef c, Lane& L) { L.d = bnWord(0), c.encode(L); }},
    {"d = n", kKeyOps, kBad, [](CurveRef c, Lane& L) { L.d = c.n, c.encode(L); }},
    {"d = n + 1", kKeyOps, kBad, [](CurveRef c, Lane& L) { L.d = offset(c.n.get(), 1), c.encode(L); }},
    {"d = 2^64w - 1", kKeyOps, kBad, [](CurveRef c, Lane& L) { L.dw.assign(c.words, ~0ull); }},
    {"d = 1", kKeyOps, kOk, [](CurveRef c, Lane& L) { L.d = bnWord(1), c.derive(L); }},
    {"d = 2", kKeyOps, kOk, [](CurveRef c, Lane& L) { L.d = bnWord(2), c.derive(L); }},
    {"d = n - 1", kKeyOps & ~bit(kSm2Sign), kOk, [](CurveRef c, Lane& L) { L.d = offset(c.n.get(), -1), c.derive(L); }},
    // 32·m − d = n for the last window's digit d: its Jacobian addition would be a doubling.
    {"d = n - 2·(n mod 32)", kKeyOps, kOk, [](CurveRef c, Lane& L) {
         L.d = offset(c.n.get(), -2 * (int)BN_mod_word(c.n.get(), 32)), c.derive(L);
     }},
    {"SM2 signing key n - 1", bit(kSm2Sign), kBad, [](CurveRef c, Lane& L) { L.d = offset(c.n.get(), -1), c.encode(L); }},
    {"SM2 signing key n - 2", bit(kSm2Sign), kOk, [](CurveRef c, Lane& L) { L.d = offset(c.n.get(), -2), c.derive(L); }},
    {"k = 0", kNonceOps, kBad, [](CurveRef c, Lane& L) { L.k = bnWord(0), c.encode(L); }},
    {"k = n", kNonceOps, kBad, [](CurveRef c, Lane& L) { L.k = c.n, c.encode(L); }},
    {"k = n + 1", kNonceOps, kBad, [](CurveRef c, Lane& L) { L.k = offset(c.n.get(), 1), c.encode(L); }},
    {"k = 1", kNonceOps, kOk, [](CurveRef c, Lane& L) { L.k = bnWord(1), c.derive(L); }},
    {"k = n - 1", kNonceOps, kOk, [](CurveRef c, Lane& L) { L.k = offset(c.n.get(), -1), c.derive(L); }},
    {"k^-1 = 0", bit(kComplete), kBad, [](CurveRef c, Lane& L) { L.kinv = bnWord(0), c.encode(L); }},
    {"k^-1 = n", bit(kComplete), kBad, [](CurveRef c, Lane& L) { L.kinv = c.n, c.encode(L); }},
    {"precomputed r = 0", bit(kComplete), kBad, [](CurveRef c, Lane& L) { L.rk = bnWord(0), c.encode(L); }},
    {"precomputed r = n", bit(kComplete), kBad, [](CurveRef c, Lane& L) { L.rk = c.n, c.encode(L); }},
    // sign complete's inputs need not come from sign setup
    {"k^-1 = 1", bit(kComplete), kOk, [](CurveRef c, Lane& L) { L.kinv = bnWord(1), c.ecdsa(L), c.encode(L); }},
    {"precomputed r = n - 1", bit(kComplete), kOk, [](CurveRef c, Lane& L) { L.rk = offset(c.n.get(), -1), c.ecdsa(L), c.encode(L); }},
    {"e = 0", kDigestOps, kOk, [](CurveRef c, Lane& L) { L.e = bnWord(0), c.derive(L); }},
    {"e = n - 1", kDigestOps, kOk, [](CurveRef c, Lane& L) { L.e = offset(c.n.get(), -1), c.derive(L); }},
    {"e above n, within the order's bit length", kDigestOps, kOk, [](CurveRef c, Lane& L) {
         BN_rshift(L.e.get(), L.e.get(), c.orderBits - 128), BN_add(L.e.get(), L.e.get(), c.n.get()), c.derive(L);
     }},
    {"e = 2^bits - 1", kDigestOps, kOk, [](CurveRef c, Lane& L) {
         L.e = bnFromBytes(Bytes(c.orderBytes, 0xFF)), BN_mask_bits(L.e.get(), c.orderBits), c.derive(L);
     }},
    {"e = 2^(8·bytes) - 1, beyond the order's bit length", kDigestOps, kOk, [](CurveRef c, Lane& L) {
         L.e = bnFromBytes(Bytes(c.orderBytes, 0xFF)), c.derive(L);
     }},
    {"d = -e/r: s = 0, and u1·G + u2·Q at infinity", kDigestOps, kSig, [](CurveRef c, Lane& L) {
         c.setKey(L, c.neg(c.div(L.e.get(), L.rk.get())));
     }},
    {"SM2 key with s·G + (r + s)·Q at infinity", bit(kSm2Verify), kSig, [](CurveRef c, Lane& L) {
         Bn t;
         BN_mod_add(t.get(), L.r.get(), L.s.get(), c.n.get(), c.ctx());
         c.setKey(L, c.neg(c.div(L.s.get(), t.get())));
     }},
    {"x + p, not canonical (p where that does not fit)", kPointOps, kBad, [](CurveRef c, Lane& L) {
         BN_add(L.qx.get(), L.qx.get(), c.p.get());
         if (BN_num_bits(L.qx.get()) > 64 * c.words) L.qx = c.p;
         c.encode(L);
     }},
    {"x = p - 1", kPointOps, kBad, [](CurveRef c, Lane& L) { L.qx = offset(c.p.get(), -1), c.encode(L); }},
    {"y + 1: off the curve", kPointOps, kBad, [](CurveRef c, Lane& L) { L.qy = offset(L.qy.get(), 1), c.encode(L); }},
    {"y = 0", kPointOps, kBad, [](CurveRef c, Lane& L) { L.qy = bnWord(0), c.encode(L); }},
    {"Q = (0, 0)", kPointOps, kBad, [](CurveRef c, Lane& L) { L.qx = L.qy = bnWord(0), c.encode(L); }},
    {"Z = 0", kPointOps, kBad, [](CurveRef c, Lane& L) { L.Z.assign(c.words, 0); }, true},
    {"Z = p", kPointOps, kBad, [](CurveRef c, Lane& L) { L.Z = toWords(c.p.get(), c.words); }, true},
    {"Z = 2 + p, not canonical", kPointOps, kBad, [](CurveRef c, Lane& L) {
         L.z = bnWord(2), c.encode(L), L.Z = toWords(offset(c.p.get(), 2).get(), c.words);
     }, true},
    {"Z = 1", kPointOps, kOk, [](CurveRef c, Lane& L) { L.z = bnWord(1), c.encode(L); }, true},
    {"Z = p - 1", kPointOps, kOk, [](CurveRef c, Lane& L) { L.z = offset(c.p.get(), -1), c.encode(L); }, true},
    // x(d·(-Q)) = x(d·Q); a signature by Q does not verify with -Q.
    {"-Q", bit(kEcdh), kOk, [](CurveRef c, Lane& L) { BN_sub(L.qy.get(), c.p.get(), L.qy.get()), c.encode(L); }},
    {"-Q", kVerifyOps, kSig, [](CurveRef c, Lane& L) { BN_sub(L.qy.get(), c.p.get(), L.qy.get()), c.encode(L); }},
    {"Q with x = 0 where it exists", bit(kEcdh), kOk, [](CurveRef c, Lane& L) {
         Bn y; // none where b is no square
         if (BN_mod_sqrt(y.get(), c.b.get(), c.p.get(), c.ctx())) L.qx = bnWord(0), L.qy = y, L.shared = c.ecdh(L), c.encode(L);
     }},
    {"r = 0", kVerifyOps, kSig, [](CurveRef c, Lane& L) { L.r = bnWord(0), c.encode(L); }},
    {"s = 0", kVerifyOps, kSig, [](CurveRef c, Lane& L) { L.s = bnWord(0), c.encode(L); }},
    {"r = n", kVerifyOps, kSig, [](CurveRef c, Lane& L) { L.r = c.n, c.encode(L); }},
    {"s = n", kVerifyOps, kSig, [](CurveRef c, Lane& L) { L.s = c.n, c.encode(L); }},
    {"s = n - 1", kVerifyOps, kSig, [](CurveRef c, Lane& L) { L.s = offset(c.n.get(), -1), c.encode(L); }},
    {"s changed", kVerifyOps, kSig, [](CurveRef c, Lane& L) { L.s = c.div(offset(L.s.get(), 1).get()), c.encode(L); }},
    // x(R) may lie in [n, p), and then r = x(R) - n: rare for real signatures, so built here. With R
    // chosen first, Q = (s/r)·R - (e/r)·G makes u1·G + u2·Q = R.
    {"r from an x(R) at or above n", bit(kVerify), kOk, [](CurveRef c, Lane& L) {
         Owned<EC_POINT, EC_POINT_free> R(EC_POINT_new(c.group())), Q(EC_POINT_new(c.group()));
         Bn x = offset(c.n.get(), 1); // r = 0 is no signature
         while (!EC_POINT_set_compressed_coordinates(c.group(), R.get(), x.get(), 0, c.ctx())) BN_add_word(x.get(), 1);
         ERR_clear_error();
         BN_sub(L.r.get(), x.get(), c.n.get());
         Bn g = c.neg(c.div(L.e.get(), L.r.get())), r = c.div(L.s.get(), L.r.get());
         EC_POINT_mul(c.group(), Q.get(), g.get(), R.get(), r.get(), c.ctx());
         EC_POINT_get_affine_coordinates(c.group(), Q.get(), L.qx.get(), L.qy.get(), c.ctx());
         c.encode(L);
     }},
    // With Q = G and e = r, u1 = u2: verification's accumulator meets G's table entry (a doubling).
    {"Q = G and e = r", bit(kVerify), kOk, [](CurveRef c, Lane& L) {
         L.d = bnWord(1), c.derive(L), L.e = bnCopy(L.rk.get()), c.derive(L);
     }},
    // G's table in verification has windows 15 bits wide on P-384 and 10 on the others.
    {"u1 reads the last entry of 10-bit windows of G", bit(kVerify), kOk, lastEntryOfG<10>},
    {"u1 reads the last entry of 15-bit windows of G", bit(kVerify), kOk, lastEntryOfG<15>},
    {"digest changed", bit(kVerify), kSig, [](CurveRef c, Lane& L) { L.e = offset(L.e.get(), 1), c.encode(L); }},
    {"message changed", bit(kSm2Verify), kSig, [](CurveRef c, Lane& L) { L.msg.push_back(0x61), c.encode(L); }},
    {"identifier changed", bit(kSm2Verify), kSig, [](CurveRef c, Lane& L) { L.id.push_back(0x61), c.encode(L); }},
    {"SM2 r + s = n", bit(kSm2Verify), kSig, [](CurveRef c, Lane& L) { BN_sub(L.s.get(), c.n.get(), L.r.get()), c.encode(L); }},
    {"empty identifier and message", kSm2Ops, kOk, [](CurveRef c, Lane& L) { L.id.clear(), L.msg.clear(), c.derive(L); }},
    {"identifier of 8191 bytes, the most", kSm2Ops, kOk, [](CurveRef c, Lane& L) { L.id.resize(8191, 0x33), c.derive(L); }},
    {"identifier of 8192 bytes", kSm2Ops, kBad, [](CurveRef c, Lane& L) { L.id.resize(8192, 0x41), c.encode(L); }},
    {"identifier length -1", kSm2Ops, kBad, [](CurveRef, Lane& L) { L.idLen = -1; }},
    {"message length -1", kSm2Ops, kBad, [](CurveRef, Lane& L) { L.msgLen = -1; }},
};

// ---- one call ----
template <typename T>
std::array<T*, kLanes> laneOutputs(std::array<std::vector<T>, kLanes>& v, size_t size)
{
    std::array<T*, kLanes> p{};
    for (int i = 0; i < kLanes; ++i) {
        v[i].assign(size, (T)0xA5A5A5A5A5A5A5A5ull); // no stale result passes
        p[i] = v[i].data();
    }
    return p;
}
template <typename T>
std::array<const T*, kLanes> laneInputs(const Lanes& L, std::vector<T> Lane::*field)
{
    static const T kEmpty[1] = {}; // an empty identifier or message still has an address
    std::array<const T*, kLanes> p{};
    for (int i = 0; i < kLanes; ++i) p[i] = (L[i].*field).empty() ? kEmpty : (L[i].*field).data();
    return p;
}

// Calls function `op` of the curve on the lanes' encodings; affine keys when `affine` (a null Z array).
inline tzv_status run(const Api& api, const TestCurve& c, Op op, const Lanes& L, Out& o, bool affine, Nulls nl = {})
{
    auto d = laneInputs(L, &Lane::dw), k = laneInputs(L, &Lane::kw), X = laneInputs(L, affine ? &Lane::x : &Lane::X),
         Y = laneInputs(L, affine ? &Lane::y : &Lane::Y), Z = laneInputs(L, &Lane::Z), kinv = laneInputs(L, &Lane::kinvw),
         rk = laneInputs(L, &Lane::rkw);
    auto e = laneInputs(L, &Lane::eb), r = laneInputs(L, &Lane::rb), s = laneInputs(L, &Lane::sb),
         id = laneInputs(L, &Lane::id), msg = laneInputs(L, &Lane::msg);
    auto oX = laneOutputs(o.X, c.words), oY = laneOutputs(o.Y, c.words), oZ = laneOutputs(o.Z, c.words),
         oKinv = laneOutputs(o.kinv, c.words), oRk = laneOutputs(o.rk, c.words);
    auto oShared = laneOutputs(o.shared, c.fieldBytes), oR = laneOutputs(o.r, c.orderBytes), oS = laneOutputs(o.s, c.orderBytes);
    std::array<int, kLanes> idLen, msgLen;
    for (int i = 0; i < kLanes; ++i) idLen[i] = L[i].idLen, msgLen[i] = L[i].msgLen;
    auto z = [&](int i, auto& p) { return affine ? nullptr : nl.at(i, p); };
    switch (op) {
    case kPubKey: return api.pubKey(nl.at(0, oX), nl.at(1, oY), z(2, oZ), nl.at(3, d), nullptr);
    case kEcdh: return api.ecdh(nl.at(0, oShared), nl.at(1, d), nl.at(2, X), nl.at(3, Y), z(4, Z), nullptr);
    case kSetup: return api.setup(nl.at(0, oKinv), nl.at(1, oRk), nl.at(2, k), nullptr);
    case kComplete: return api.complete(nl.at(0, oR), nl.at(1, oS), nl.at(2, e), nl.at(3, rk), nl.at(4, kinv), nl.at(5, d), nullptr);
    case kSign: return api.sign(nl.at(0, oR), nl.at(1, oS), nl.at(2, e), nl.at(3, k), nl.at(4, d), nullptr);
    case kVerify: return api.verify(nl.at(0, r), nl.at(1, s), nl.at(2, e), nl.at(3, X), nl.at(4, Y), z(5, Z), nullptr);
    case kSm2Sign:
        return tzv_sm2_ecdsa_sign_mb8(nl.at(0, oR), nl.at(1, oS), nl.at(2, id), nl.at(3, idLen), nl.at(4, msg),
                                      nl.at(5, msgLen), nl.at(6, k), nl.at(7, d), nl.at(8, X), nl.at(9, Y), z(10, Z), nullptr);
    case kSm2Verify:
        return tzv_sm2_ecdsa_verify_mb8(nl.at(0, r), nl.at(1, s), nl.at(2, id), nl.at(3, idLen), nl.at(4, msg),
                                        nl.at(5, msgLen), nl.at(6, X), nl.at(7, Y), z(8, Z), nullptr);
    default: return 0;
    }
}

// Whether the call wrote any output of lane i (run() fills them with 0xA5 first).
inline bool written(const Out& o, int i)
{
    for (const auto* w : {&o.X, &o.Y, &o.Z, &o.kinv, &o.rk})
        for (uint64_t v : (*w)[i]) if (v != 0xA5A5A5A5A5A5A5A5ull) return true;
    for (const auto* b : {&o.shared, &o.r, &o.s})
        for (uint8_t v : (*b)[i]) if (v != 0xA5) return true;
    return false;
}

// Calls function `op` and returns "" when every lane has its status in `want`, every lane that
// succeeded gives its results and no other lane wrote anything; else a line for each lane that does not.
inline std::string compare(const Api& api, const TestCurve& c, Op op, const Lanes& L, bool affine,
                           const std::array<unsigned, kLanes>& want, Nulls nl = {})
{
    Out o;
    const tzv_status sts = run(api, c, op, L, o, affine, nl);
    std::string out;
    for (int i = 0; i < kLanes; ++i) {
        const unsigned got = tzv_get_lane_sts(sts, i);
        std::string wrong = got == kOk && want[i] == kOk ? c.wrong(op, L[i], o, i, affine) : "";
        if (got != kOk && written(o, i)) wrong = "outputs written";
        if (got != want[i] || !wrong.empty())
            out += "lane " + std::to_string(i) + ": status " + std::to_string(got) + ", not " + std::to_string(want[i]) +
                   (wrong.empty() ? "" : "; " + wrong) + "\n";
    }
    return out;
}

} // namespace ectest

#endif
