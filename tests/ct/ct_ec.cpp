// Constant time of the eight-lane curve code: key generation, ECDH and signing on the plain C++ backend,
// run under valgrind memcheck with every secret (private keys, nonces, k⁻¹) marked undefined, so that a
// branch or a memory index that depends on a secret fails the run (--error-exitcode). The results are
// made defined again and checked against OpenSSL: a backend that computes nothing cannot pass either.
// Verification, on public data, runs too: the plain backend's reads by address are checked here.
// Curve25519's products (X25519, Ed25519's k·B and its arithmetic modulo L) run likewise.
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>

#include "../libs/ec_lanes.h"
#include "ec/ec_engine.h"

namespace {

using namespace ectest;
namespace ec = tzv::ec;

// Failures of one curve: its eight lanes of random keys, nonces and digests through each function.
int runCurve(ec::CurveId id, int nid, const char* name)
{
    const ec::CurveConsts* cc = ec::curveConsts(id);
    if (!cc) return std::printf("FAIL %s: no curve constants\n", name), 1;
    const ec::EcEngine& engine = ec::ecEnginePlain(id);
    const TestCurve c(nid);
    std::mt19937_64 rng(0x9E3779B97F4A7C15ull);
    Lanes L;
    int8u digest[kLanes][ec::kSm2DigestBytes];
    for (int i = 0; i < kLanes; ++i) {
        L[i] = c.randomLane(rng, i);
        if (c.sm2) std::memcpy(digest[i], toBytes(c.sm2Digest(L[i]).get(), ec::kSm2DigestBytes).data(), sizeof digest[i]);
        for (Words* secret : {&L[i].dw, &L[i].kw, &L[i].kinvw}) VALGRIND_MAKE_MEM_UNDEFINED(secret->data(), 8 * secret->size());
    }
    auto d = laneInputs(L, &Lane::dw), k = laneInputs(L, &Lane::kw), kinv = laneInputs(L, &Lane::kinvw),
         rk = laneInputs(L, &Lane::rkw), x = laneInputs(L, &Lane::x), y = laneInputs(L, &Lane::y);
    auto e = laneInputs(L, &Lane::eb);
    Out o;
    auto W = [&](std::array<Words, kLanes>& v) { return laneOutputs(v, c.words); };
    auto R = [&] { return laneOutputs(o.r, c.orderBytes); };
    auto S = [&] { return laneOutputs(o.s, c.orderBytes); };
    int failures = 0;
    auto check = [&](Op op, tzv_status sts) {
        VALGRIND_MAKE_MEM_DEFINED(&sts, sizeof sts);
        for (auto* w : {&o.X, &o.Y, &o.Z, &o.kinv, &o.rk})
            for (auto& v : *w) VALGRIND_MAKE_MEM_DEFINED(v.data(), v.size() * sizeof(uint64_t));
        for (auto* b : {&o.shared, &o.r, &o.s})
            for (auto& v : *b) VALGRIND_MAKE_MEM_DEFINED(v.data(), v.size());
        std::string wrong = sts ? "statuses not OK; " : "";
        for (int i = 0; i < kLanes; ++i) wrong += c.wrong(op, L[i], o, i, false);
        if (!wrong.empty()) std::printf("FAIL %s %s: %s\n", name, kOpNames[op], wrong.c_str()), ++failures;
    };
    const unsigned all = 0xFF;
    // The lanes' signatures verify; with r changed in lane 3, that lane alone fails.
    auto r = laneInputs(L, &Lane::rb), s = laneInputs(L, &Lane::sb);
    auto verify = [&] {
        return c.sm2 ? engine.sm2Verify(*cc, r.data(), s.data(), digest, x.data(), y.data(), nullptr, all)
                     : engine.verify(*cc, r.data(), s.data(), e.data(), x.data(), y.data(), nullptr, all);
    };
    const tzv_status valid = verify();
    Bytes changed = L[3].rb;
    changed.back() ^= 1;
    r[3] = changed.data();
    const tzv_status oneChanged = verify();
    if (valid != TZV_STS_OK || oneChanged != (tzv_status)TZV_STS_SIGNATURE << 12)
        std::printf("FAIL %s verification: statuses %#x and %#x\n", name, valid, oneChanged), ++failures;
    check(kPubKey, engine.publicKey(*cc, W(o.X).data(), W(o.Y).data(), W(o.Z).data(), d.data(), all));
    check(kEcdh, engine.sharedSecret(*cc, laneOutputs(o.shared, c.fieldBytes).data(), d.data(), x.data(), y.data(), nullptr, all));
    if (c.sm2) {
        check(kSm2Sign, engine.sm2Sign(*cc, R().data(), S().data(), digest, k.data(), d.data(), all));
        return failures;
    }
    check(kSign, engine.sign(*cc, R().data(), S().data(), e.data(), k.data(), d.data(), all));
    check(kSetup, engine.signSetup(*cc, W(o.kinv).data(), W(o.rk).data(), k.data(), all));
    check(kComplete, engine.signComplete(*cc, R().data(), S().data(), e.data(), rk.data(),
                                         kinv.data(), d.data(), all));
    return failures;
}

// Curve25519 with the secrets undefined: X25519 public keys (k·B, u) and shared secrets against
// OpenSSL's; Ed25519's k·B against OpenSSL's public keys of the seeds, and s = (r + k·a) mod L, with
// r mod L, against OpenSSL's big numbers.
int runCurve25519()
{
    const ec::Curve25519Consts* cc = ec::curve25519Consts();
    if (!cc) return std::printf("FAIL Curve25519: no field constants\n"), 1;
    const ec::Curve25519Engine& engine = ec::curve25519EnginePlain();
    const unsigned all = 0xFF;
    std::mt19937_64 rng(7);
    auto random = [&](int8u* p, int n) {
        for (int b = 0; b < n; ++b) p[b] = (int8u)rng();
    };
    int8u priv[kLanes][32], peerPriv[kLanes][32], a[kLanes][32], peer[kLanes][32], out[kLanes][32], edPub[kLanes][32];
    int8u seed[kLanes][32], rw[kLanes][64], kw[kLanes][64], rs[kLanes][32], s[kLanes][32];
    const int8u *k[kLanes], *u[kLanes];
    int8u* o[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        random(priv[i], 32), random(peerPriv[i], 32), random(seed[i], 32), random(rw[i], 64), random(kw[i], 64);
        std::memcpy(out[i], peerPriv[i], 32);
        ec::clampScalar(out[i]);
        int8u h[64];
        SHA512(seed[i], 32, h);
        std::memcpy(a[i], h, 32);
        ec::clampScalar(a[i]);
        k[i] = priv[i], u[i] = peer[i], o[i] = out[i];
    }
    for (auto* secret : {&out, &priv, &a}) VALGRIND_MAKE_MEM_UNDEFINED(secret, sizeof *secret);
    VALGRIND_MAKE_MEM_UNDEFINED(rw, sizeof rw);
    engine.basePoints(*cc, peer, out, all, true);
    VALGRIND_MAKE_MEM_DEFINED(peer, sizeof peer);
    tzv_status sts = engine.x25519(*cc, o, k, u, all);
    engine.basePoints(*cc, edPub, a, all, false);
    engine.reduceScalars(*cc, rs, rw, all);
    engine.signScalars(*cc, s, rw, kw, a, all);
    for (auto* result : {&out, &edPub, &rs, &s, &a, &priv}) VALGRIND_MAKE_MEM_DEFINED(result, sizeof *result);
    VALGRIND_MAKE_MEM_DEFINED(&sts, sizeof sts);
    VALGRIND_MAKE_MEM_DEFINED(rw, sizeof rw);
    int failures = sts != 0;
    Owned<BN_CTX, BN_CTX_free> ctx(BN_CTX_new());
    const Bn l = bnFromHex("1000000000000000000000000000000014def9dea2f79cd65812631a5cf5d3ed");
    for (int i = 0; i < kLanes; ++i) {
        // r mod L and (r + k·a) mod L, little-endian.
        Bn r(BN_lebin2bn(rw[i], 64, nullptr)), sum(BN_lebin2bn(kw[i], 64, nullptr)), aa(BN_lebin2bn(a[i], 32, nullptr));
        Key32 wantR{}, wantS{};
        BN_nnmod(r.get(), r.get(), l.get(), ctx.get());
        BN_mod_mul(sum.get(), sum.get(), aa.get(), l.get(), ctx.get());
        BN_mod_add(sum.get(), sum.get(), r.get(), l.get(), ctx.get());
        BN_bn2lebinpad(r.get(), wantR.data(), 32);
        BN_bn2lebinpad(sum.get(), wantS.data(), 32);
        failures += std::memcmp(x25519Secret(priv[i], peer[i]).data(), out[i], 32) != 0 ||
                    std::memcmp(peer[i], rawPublicKey(EVP_PKEY_X25519, peerPriv[i]).data(), 32) != 0 ||
                    std::memcmp(edPub[i], rawPublicKey(EVP_PKEY_ED25519, seed[i]).data(), 32) != 0 ||
                    std::memcmp(rs[i], wantR.data(), 32) != 0 || std::memcmp(s[i], wantS.data(), 32) != 0;
    }
    if (failures) std::printf("FAIL Curve25519: status %#x, %d lanes wrong\n", sts, failures);
    return failures;
}

} // namespace

int main()
{
    const int failures = runCurve(ec::CurveId::P256, NID_X9_62_prime256v1, "P-256") +
                         runCurve(ec::CurveId::P384, NID_secp384r1, "P-384") +
                         runCurve(ec::CurveId::P521, NID_secp521r1, "P-521") + runCurve(ec::CurveId::SM2, NID_sm2, "SM2") +
                         runCurve25519();
    std::printf("constant-time run: %s\n", failures ? "results wrong" : "results agree with OpenSSL");
    return failures ? 1 : 0;
}
