// Constant time of the eight-lane curve code: key generation, ECDH and signing on the plain C++ backend,
// run under valgrind memcheck with every secret (private keys, nonces, k⁻¹) marked undefined, so that a
// branch or a memory index that depends on a secret fails the run (--error-exitcode). The results are
// made defined again and checked against OpenSSL: a backend that computes nothing cannot pass either.
// Verification, on public data, runs too: the plain backend's reads by address are checked here.
// X25519's ladder runs likewise, its private keys undefined.
#include <openssl/evp.h>
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

// X25519 public keys and shared secrets with the private keys undefined; each lane's secret against
// OpenSSL's from the same keys.
int runX25519()
{
    const ec::X25519Consts* cc = ec::x25519Consts();
    if (!cc) return std::printf("FAIL X25519: no field constants\n"), 1;
    std::mt19937_64 rng(7);
    std::array<std::array<int8u, 32>, kLanes> priv, peerPriv, peer, out;
    const int8u* k[kLanes];
    const int8u* u[kLanes];
    int8u* o[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        for (int b = 0; b < 32; ++b) priv[i][b] = (int8u)rng(), peerPriv[i][b] = (int8u)rng();
        u[i] = peer[i].data();
    }
    const ec::X25519Engine& engine = ec::x25519EnginePlain();
    const unsigned all = 0xFF;
    // The peers' public keys, checked by the shared secrets below.
    for (int i = 0; i < kLanes; ++i) {
        VALGRIND_MAKE_MEM_UNDEFINED(peerPriv[i].data(), 32);
        k[i] = peerPriv[i].data(), o[i] = peer[i].data();
    }
    tzv_status sts = engine.publicKey(*cc, o, k, all);
    for (auto& p : peer) VALGRIND_MAKE_MEM_DEFINED(p.data(), 32);
    for (int i = 0; i < kLanes; ++i) {
        VALGRIND_MAKE_MEM_UNDEFINED(priv[i].data(), 32);
        k[i] = priv[i].data(), o[i] = out[i].data();
    }
    sts |= engine.sharedSecret(*cc, o, k, u, all);
    VALGRIND_MAKE_MEM_DEFINED(&sts, sizeof sts);
    int failures = sts != 0;
    for (int i = 0; i < kLanes; ++i) {
        VALGRIND_MAKE_MEM_DEFINED(out[i].data(), 32);
        VALGRIND_MAKE_MEM_DEFINED(priv[i].data(), 32);
        EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, priv[i].data(), 32);
        EVP_PKEY* peerKey = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peer[i].data(), 32);
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
        std::array<int8u, 32> want{};
        size_t len = want.size();
        if (!ctx || EVP_PKEY_derive_init(ctx) != 1 || EVP_PKEY_derive_set_peer(ctx, peerKey) != 1 ||
            EVP_PKEY_derive(ctx, want.data(), &len) != 1 || want != out[i])
            ++failures;
        EVP_PKEY_CTX_free(ctx);
        EVP_PKEY_free(key);
        EVP_PKEY_free(peerKey);
    }
    if (failures) std::printf("FAIL X25519: status %#x, %d lanes wrong\n", sts, failures);
    return failures;
}

} // namespace

int main()
{
    const int failures = runCurve(ec::CurveId::P256, NID_X9_62_prime256v1, "P-256") +
                         runCurve(ec::CurveId::P384, NID_secp384r1, "P-384") +
                         runCurve(ec::CurveId::P521, NID_secp521r1, "P-521") + runCurve(ec::CurveId::SM2, NID_sm2, "SM2") +
                         runX25519();
    std::printf("constant-time run: %s\n", failures ? "results wrong" : "results agree with OpenSSL");
    return failures ? 1 : 0;
}
