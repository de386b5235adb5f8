// Constant time of the eight-lane curve code: key generation, ECDH and signing on the plain C++
// backend, run under valgrind memcheck with every secret (private keys, nonces, k⁻¹) marked
// undefined. A branch or a memory index that depends on a secret shows up as a memcheck error,
// which fails the run (--error-exitcode). The results are made defined again and checked against
// OpenSSL, so that a backend that computes nothing cannot pass either.
#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>

#include "../libs/ec_test_support.h"
#include "ec/ec_engine.h"

namespace {

using namespace ectest;
namespace ec = tzv::ec;

int g_failures = 0;
std::mt19937_64 g_rng(0x9E3779B97F4A7C15ull);

void check(bool ok, const char* curve, const char* what)
{
    if (ok) return;
    std::printf("FAIL %s %s\n", curve, what);
    ++g_failures;
}

template <typename T>
std::array<std::vector<T>, kLanes> lanesOf(size_t size)
{
    std::array<std::vector<T>, kLanes> v;
    for (auto& lane : v) lane.assign(size, 0);
    return v;
}
template <typename T>
void hide(const std::array<std::vector<T>, kLanes>& v)
{
    for (auto& lane : v) VALGRIND_MAKE_MEM_UNDEFINED(lane.data(), lane.size() * sizeof(T));
}
template <typename T>
void reveal(const std::array<std::vector<T>, kLanes>& v)
{
    for (auto& lane : v) VALGRIND_MAKE_MEM_DEFINED(lane.data(), lane.size() * sizeof(T));
}

// A number below 2^(bits − 1), so below the order.
Bn randomBelow(int bits)
{
    Bytes raw((bits + 7) / 8);
    for (auto& c : raw) c = (uint8_t)g_rng();
    Bn v = bnFromBytes(raw);
    BN_mask_bits(v.get(), bits - 1);
    return v;
}

void runCurve(ec::CurveId id, const char* name)
{
    const ec::Curve* curve = ec::curveOf(id);
    const ec::CurveConsts* c = ec::curveConsts(id);
    if (!curve || !c) return check(false, name, "curve constants");
    const ec::EcEngine& engine = ec::ecEnginePlain(id);
    const bool sm2 = id == ec::CurveId::SM2;
    const int words = c->words, len = c->orderBytes;
    const BIGNUM* n = EC_GROUP_get0_order(curve->group);
    Owned<BN_CTX, BN_CTX_free> ctx(BN_CTX_new());
    auto mulG = [&](const BIGNUM* k, Bn& x, Bn& y) {
        Owned<EC_POINT, EC_POINT_free> p(EC_POINT_new(curve->group));
        EC_POINT_mul(curve->group, p.get(), k, nullptr, nullptr, ctx.get());
        EC_POINT_get_affine_coordinates(curve->group, p.get(), x.get(), y.get(), ctx.get());
    };

    // The lanes' secrets and digests, and OpenSSL's results: d·G; ECDH of lane i's key with lane
    // i+1's public key, x((d_i·d_i+1)·G); the NIST signature r = x(k·G) mod n, s = k⁻¹·(e + r·d),
    // or the SM2 one r = (e + x(k·G)) mod n, s = (1 + d)⁻¹·(k − r·d).
    std::array<Bn, kLanes> d, k, e;
    auto dw = lanesOf<int64u>(0), kw = dw, wantX = dw, wantY = dw;
    auto eb = lanesOf<int8u>(0), wantShared = eb, wantR = eb, wantS = eb;
    for (int i = 0; i < kLanes; ++i) {
        d[i] = randomBelow(c->n.bits), k[i] = randomBelow(c->n.bits), e[i] = randomBelow(c->n.bits);
        dw[i] = toWords(d[i].get(), words), kw[i] = toWords(k[i].get(), words), eb[i] = toBytes(e[i].get(), len);
    }
    for (int i = 0; i < kLanes; ++i) {
        Bn x, y, r, s, inv;
        mulG(d[i].get(), x, y);
        wantX[i] = toWords(x.get(), words), wantY[i] = toWords(y.get(), words);
        BN_mod_mul(s.get(), d[i].get(), d[(i + 1) % kLanes].get(), n, ctx.get());
        mulG(s.get(), x, y);
        wantShared[i] = toBytes(x.get(), c->fieldBytes);
        mulG(k[i].get(), x, y);
        if (sm2) {
            BN_mod_add(r.get(), e[i].get(), x.get(), n, ctx.get());
            BN_mod_mul(s.get(), r.get(), d[i].get(), n, ctx.get());
            BN_mod_sub(s.get(), k[i].get(), s.get(), n, ctx.get());
            inv = offset(d[i].get(), 1);
        } else {
            BN_nnmod(r.get(), x.get(), n, ctx.get());
            BN_mod_mul(s.get(), r.get(), d[i].get(), n, ctx.get());
            BN_mod_add(s.get(), s.get(), e[i].get(), n, ctx.get());
            inv = k[i];
        }
        BN_mod_inverse(inv.get(), inv.get(), n, ctx.get());
        BN_mod_mul(s.get(), s.get(), inv.get(), n, ctx.get());
        wantR[i] = toBytes(r.get(), len), wantS[i] = toBytes(s.get(), len);
    }

    const unsigned all = 0xFF;
    hide(dw);
    hide(kw);
    auto X = lanesOf<int64u>(words), Y = X, Z = X, kinv = X, rp = X;
    tzv_status sts = engine.publicKey(*c, outLanes(X).data(), outLanes(Y).data(), outLanes(Z).data(),
                                      inLanes(dw).data(), all);
    auto done = [&](auto&... outputs) {
        VALGRIND_MAKE_MEM_DEFINED(&sts, sizeof sts);
        (reveal(outputs), ...);
        return sts == 0;
    };
    Words one(words, 0);
    one[0] = 1;
    const bool ok = done(X, Y, Z);
    check(ok && X == wantX && Y == wantY && std::all_of(Z.begin(), Z.end(), [&](auto& z) { return z == one; }), name,
          "public key");

    auto shared = lanesOf<int8u>(c->fieldBytes);
    std::array<const int64u*, kLanes> peerX, peerY;
    for (int i = 0; i < kLanes; ++i) {
        peerX[i] = wantX[(i + 1) % kLanes].data();
        peerY[i] = wantY[(i + 1) % kLanes].data();
    }
    sts = engine.sharedSecret(*c, outLanes(shared).data(), inLanes(dw).data(), peerX.data(), peerY.data(), nullptr,
                              all);
    check(done(shared) && shared == wantShared, name, "ECDH");

    auto r = lanesOf<int8u>(len), s = r;
    if (sm2) {
        int8u digest[kLanes][ec::kSm2DigestBytes];
        for (int i = 0; i < kLanes; ++i) std::memcpy(digest[i], eb[i].data(), ec::kSm2DigestBytes);
        sts = engine.sm2Sign(*c, outLanes(r).data(), outLanes(s).data(), digest, inLanes(kw).data(),
                             inLanes(dw).data(), all);
        check(done(r, s) && r == wantR && s == wantS, name, "SM2 sign");
        return;
    }
    sts = engine.sign(*c, outLanes(r).data(), outLanes(s).data(), inLanes(eb).data(), inLanes(kw).data(),
                      inLanes(dw).data(), all);
    check(done(r, s) && r == wantR && s == wantS, name, "sign");
    r = s = lanesOf<int8u>(len);
    sts = engine.signSetup(*c, outLanes(kinv).data(), outLanes(rp).data(), inLanes(kw).data(), all);
    check(done(rp), name, "sign setup"); // r is public; k⁻¹ stays secret
    sts = engine.signComplete(*c, outLanes(r).data(), outLanes(s).data(), inLanes(eb).data(), inLanes(rp).data(),
                              inLanes(kinv).data(), inLanes(dw).data(), all);
    check(done(r, s) && r == wantR && s == wantS, name, "sign setup + complete");
}

} // namespace

int main()
{
    runCurve(ec::CurveId::P256, "P-256");
    runCurve(ec::CurveId::P384, "P-384");
    runCurve(ec::CurveId::P521, "P-521");
    runCurve(ec::CurveId::SM2, "SM2");
    std::printf("constant-time run: %s\n", g_failures ? "results wrong" : "results agree with OpenSSL");
    return g_failures ? 1 : 0;
}
