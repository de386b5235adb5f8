// Clocks per lane of the 8-lane RSA, exponentiation, Ed25519 and X25519 functions of libtzvcrypto
// ("tzv/...", one 8-lane call divided by 8) next to what OpenSSL itself spends on one such operation
// ("openssl/..."), with the heap allocations each call makes through OpenSSL as a second counter.
//   bench_tzv_pk [--benchmark_filter=rsa/2048] [--benchmark_format=json] ...
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_clocks.h"
#include "tzvcrypto.h"

namespace {

constexpr int kLanes = 8;

// Allocations through OpenSSL, counted once the counting functions are installed (only possible
// before OpenSSL's first allocation).
std::atomic<unsigned long> g_allocs{0};
bool g_counting = false;

void* countMalloc(size_t n, const char*, int)
{
    g_allocs.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n);
}
void* countRealloc(void* p, size_t n, const char*, int)
{
    g_allocs.fetch_add(1, std::memory_order_relaxed);
    return std::realloc(p, n);
}
void countFree(void* p, const char*, int) { std::free(p); }

// A measured call returns its status (0 for OpenSSL's side). `make` gives the call the first time
// the benchmark runs, after setting up its data (key generation is not timed).
using Call = std::function<unsigned()>;
using Maker = std::function<Call()>;

// Clocks per unit as clockLoop gives them, OpenSSL's allocations per call over the same loop, and
// an error when a call returned a status other than 0.
void addCounted(const std::string& name, Maker make, double units)
{
    bench::withMin(benchmark::RegisterBenchmark(name.c_str(), [make, units](benchmark::State& state) {
        Call call = make();
        unsigned sts = 0;
        unsigned long a0 = g_allocs.load();
        bench::clockLoop(state, [&] { sts |= call(); }, units, bench::kPerOp);
        if (g_counting)
            state.counters["openssl_allocs_per_call"] =
                benchmark::Counter((double)(g_allocs.load() - a0) / (double)(state.iterations() + 1));
        if (sts) state.SkipWithError("the library returned an error status");
    }));
}

// Our 8-lane call ("tzv/<name>") and OpenSSL's single operation ("openssl/<name>").
void report(const std::string& name, Maker lib, Maker ossl)
{
    addCounted("tzv/" + name, std::move(lib), kLanes);
    addCounted("openssl/" + name, std::move(ossl), 1);
}

// The RSA key's component as a little-endian word number of `words` words.
std::vector<int64u> words(EVP_PKEY* key, const char* name, int count)
{
    BIGNUM* b = nullptr;
    EVP_PKEY_get_bn_param(key, name, &b);
    std::vector<int64u> w(count, 0);
    BN_bn2lebinpad(b, reinterpret_cast<unsigned char*>(w.data()), 8 * count);
    BN_free(b);
    return w;
}

// One RSA size: a key made by OpenSSL, its components as word numbers in every lane, and OpenSSL's
// contexts for the same operations. Made when a benchmark of that size first runs.
struct RsaCase {
    int bits, len, idx;
    EVP_PKEY* key = nullptr;
    std::vector<int64u> n, d, p, q, dp, dq, iq;
    std::vector<unsigned char> ptxt, ctxt, out;
    EVP_PKEY_CTX *pctx = nullptr, *dctx = nullptr;
    const int8u* from[kLanes];
    const int8u* cfrom[kLanes];
    int8u* to[kLanes];
    const int64u *nl[kLanes], *dl[kLanes], *pl[kLanes], *ql[kLanes], *dpl[kLanes], *dql[kLanes], *iql[kLanes];
    const tzv_rsa_method *pubM, *privM, *crtM;
    std::vector<int8u> work;
    BN_CTX* bctx = BN_CTX_new();
    BIGNUM *bn_n, *bn_d, *bn_c, *bn_m = BN_new();
    BN_MONT_CTX* mont = BN_MONT_CTX_new();
    // Exponentiation as the harness runs it: 0 to an all-ones exponent modulo an all-ones modulus.
    std::vector<int64u> zero, ones, res;
    const int64u *bl[kLanes], *el[kLanes], *ml[kLanes];
    int64u* ol[kLanes];
    std::vector<int8u> ework;
    BIGNUM *bz = BN_new(), *bo = BN_new();
    BN_MONT_CTX* mo = BN_MONT_CTX_new();
    unsigned sts = 0;

    explicit RsaCase(int size) : bits(size), len(size / 8), idx(size / 1024 - 1)
    {
        EVP_PKEY_CTX* kctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
        BIGNUM* e = BN_new();
        BN_set_word(e, 65537);
        EVP_PKEY_keygen_init(kctx);
        EVP_PKEY_CTX_set_rsa_keygen_bits(kctx, bits);
        EVP_PKEY_CTX_set1_rsa_keygen_pubexp(kctx, e);
        if (EVP_PKEY_keygen(kctx, &key) <= 0) {
            std::printf("key generation failed\n");
            std::exit(1);
        }
        EVP_PKEY_CTX_free(kctx);
        BN_free(e);
        n = words(key, "n", bits / 64), d = words(key, "d", bits / 64);
        p = words(key, "rsa-factor1", bits / 128), q = words(key, "rsa-factor2", bits / 128);
        dp = words(key, "rsa-exponent1", bits / 128), dq = words(key, "rsa-exponent2", bits / 128);
        iq = words(key, "rsa-coefficient1", bits / 128);
        ptxt.resize(len), ctxt.resize(len), out.resize(len);
        for (int i = 0; i < len; ++i) ptxt[i] = (unsigned char)(i * 7 + 1);
        ptxt[0] = 0x01; // below n
        pctx = EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr);
        size_t outLen = len;
        EVP_PKEY_encrypt_init(pctx);
        EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_NO_PADDING);
        EVP_PKEY_encrypt(pctx, ctxt.data(), &outLen, ptxt.data(), len);
        dctx = EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr);
        EVP_PKEY_decrypt_init(dctx);
        EVP_PKEY_CTX_set_rsa_padding(dctx, RSA_NO_PADDING);
        for (int i = 0; i < kLanes; ++i) {
            from[i] = ptxt.data(), cfrom[i] = ctxt.data(), to[i] = out.data();
            nl[i] = n.data(), dl[i] = d.data(), pl[i] = p.data(), ql[i] = q.data();
            dpl[i] = dp.data(), dql[i] = dq.data(), iql[i] = iq.data();
        }
        const tzv_rsa_method* pubs[] = {tzv_RSA1K_pub65537_Method(), tzv_RSA2K_pub65537_Method(),
                                        tzv_RSA3K_pub65537_Method(), tzv_RSA4K_pub65537_Method()};
        const tzv_rsa_method* privs[] = {tzv_RSA1K_private_Method(), tzv_RSA2K_private_Method(),
                                         tzv_RSA3K_private_Method(), tzv_RSA4K_private_Method()};
        const tzv_rsa_method* crts[] = {tzv_RSA1K_private_crt_Method(), tzv_RSA2K_private_crt_Method(),
                                        tzv_RSA3K_private_crt_Method(), tzv_RSA4K_private_crt_Method()};
        pubM = pubs[idx], privM = privs[idx], crtM = crts[idx];
        work.resize(tzv_RSA_Method_BufSize(crtM));

        // OpenSSL's non-CRT private operation: the same constant-time exponentiation on a ready key.
        bn_n = BN_lebin2bn(reinterpret_cast<unsigned char*>(n.data()), len, nullptr);
        bn_d = BN_lebin2bn(reinterpret_cast<unsigned char*>(d.data()), len, nullptr);
        bn_c = BN_bin2bn(ctxt.data(), len, nullptr);
        BN_set_flags(bn_d, BN_FLG_CONSTTIME);
        BN_MONT_CTX_set(mont, bn_n, bctx);

        zero.assign(bits / 64, 0), ones.assign(bits / 64, ~0ull), res.assign(bits / 64, 0);
        for (int i = 0; i < kLanes; ++i) bl[i] = zero.data(), el[i] = ones.data(), ml[i] = ones.data(), ol[i] = res.data();
        ework.resize(tzv_exp_BufferSize(bits));
        BN_lebin2bn(reinterpret_cast<unsigned char*>(ones.data()), len, bo);
        BN_set_flags(bo, BN_FLG_CONSTTIME);
        BN_MONT_CTX_set(mo, bo, bctx);
    }

    static RsaCase& of(int bits)
    {
        static std::map<int, std::unique_ptr<RsaCase>> cases;
        auto& c = cases[bits];
        if (!c) c.reset(new RsaCase(bits));
        return *c;
    }
};

// The call `f` makes on the data of the RSA size `bits`.
template <typename F>
Maker onRsa(int bits, F f)
{
    return [bits, f] {
        RsaCase* c = &RsaCase::of(bits);
        return Call([c, f] { return f(*c); });
    };
}

void benchRsa(int bits)
{
    const std::string n = "rsa/" + std::to_string(bits) + "/";
    report(n + "public_65537",
           onRsa(bits, [](RsaCase& c) { return tzv_rsa_public_mb8(c.from, c.to, c.nl, c.bits, c.pubM, c.work.data()); }),
           onRsa(bits, [](RsaCase& c) {
               size_t l = c.len;
               EVP_PKEY_encrypt(c.pctx, c.out.data(), &l, c.ptxt.data(), c.len);
               return 0u;
           }));
    report(n + "private",
           onRsa(bits, [](RsaCase& c) {
               return tzv_rsa_private_mb8(c.cfrom, c.to, c.dl, c.nl, c.bits, c.privM, c.work.data());
           }),
           onRsa(bits, [](RsaCase& c) {
               BN_mod_exp_mont_consttime(c.bn_m, c.bn_c, c.bn_d, c.bn_n, c.bctx, c.mont);
               return 0u;
           }));
    report(n + "private_crt",
           onRsa(bits, [](RsaCase& c) {
               return tzv_rsa_private_crt_mb8(c.cfrom, c.to, c.pl, c.ql, c.dpl, c.dql, c.iql, c.bits, c.crtM,
                                              c.work.data());
           }),
           onRsa(bits, [](RsaCase& c) {
               size_t l = c.len;
               EVP_PKEY_decrypt(c.dctx, c.out.data(), &l, c.ctxt.data(), c.len);
               return 0u;
           }));
    report("exp/" + std::to_string(bits),
           onRsa(bits, [](RsaCase& c) {
               return tzv_exp_mb8(c.ol, c.bl, c.el, c.bits, c.ml, c.bits, c.ework.data(), (int)c.ework.size());
           }),
           onRsa(bits, [](RsaCase& c) {
               BN_mod_exp_mont_consttime(c.bn_m, c.bz, c.bo, c.bo, c.bctx, c.mo);
               return 0u;
           }));
}

// Ed25519 on the empty message and X25519, every lane on the same key; OpenSSL with its key objects
// made once, except where it must make one from raw bytes (the public key from a private key).
struct Curve25519Case {
    int8u seed[32], pub[32], r[kLanes][32], s[kLanes][32], pubOut[kLanes][32], sig[64];
    EVP_PKEY *key, *pkey;
    // Signing and verification each keep their own context: with one shared, the benchmarks'
    // interleaved order left signing's initialisation failing after a verification.
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    EVP_MD_CTX* vmd = EVP_MD_CTX_new();
    const tzv_ed25519_private_key* privL[kLanes];
    const tzv_ed25519_public_key* pubL[kLanes];
    tzv_ed25519_public_key* pubOutL[kLanes];
    tzv_ed25519_sign_component *rL[kLanes], *sL[kLanes];
    const tzv_ed25519_sign_component *rIn[kLanes], *sIn[kLanes];
    const int8u* msg[kLanes];
    int32u len[kLanes];
    int8u xpriv[32], xpeer[32], xout[32];
    const int8u *xk[kLanes], *xu[kLanes];
    int8u* xo[kLanes];
    EVP_PKEY *xkey, *xpeerKey;
    EVP_PKEY_CTX* dctx;
    static constexpr int8u empty[1] = {0};

    Curve25519Case()
    {
        for (int i = 0; i < 32; ++i) seed[i] = (int8u)(3 * i + 5);
        key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, 32);
        size_t l = 32, sl = 64;
        EVP_PKEY_get_raw_public_key(key, pub, &l);
        EVP_DigestSignInit(md, nullptr, nullptr, nullptr, key);
        EVP_DigestSign(md, sig, &sl, empty, 0);
        EVP_MD_CTX_reset(md);
        for (int i = 0; i < kLanes; ++i) {
            privL[i] = reinterpret_cast<const tzv_ed25519_private_key*>(seed);
            pubL[i] = reinterpret_cast<const tzv_ed25519_public_key*>(pub);
            pubOutL[i] = &pubOut[i];
            rL[i] = &r[i], sL[i] = &s[i];
            rIn[i] = reinterpret_cast<const tzv_ed25519_sign_component*>(sig);
            sIn[i] = reinterpret_cast<const tzv_ed25519_sign_component*>(sig + 32);
            msg[i] = empty, len[i] = 0;
        }
        pkey = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, pub, 32);

        for (int i = 0; i < 32; ++i) xpriv[i] = (int8u)(11 * i + 1), xpeer[i] = (int8u)(5 * i + 9);
        xpeer[31] &= 0x7f;
        for (int i = 0; i < kLanes; ++i) xk[i] = xpriv, xu[i] = xpeer, xo[i] = xout;
        xkey = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, xpriv, 32);
        xpeerKey = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, xpeer, 32);
        dctx = EVP_PKEY_CTX_new_from_pkey(nullptr, xkey, nullptr);
        EVP_PKEY_derive_init(dctx);
        EVP_PKEY_derive_set_peer_ex(dctx, xpeerKey, 0);
    }
    static Curve25519Case& the()
    {
        static Curve25519Case c;
        return c;
    }
    // OpenSSL's public key from raw private-key bytes.
    static unsigned publicKey(int type, const int8u* priv, int8u* out)
    {
        EVP_PKEY* k = EVP_PKEY_new_raw_private_key(type, nullptr, priv, 32);
        size_t n = 32;
        EVP_PKEY_get_raw_public_key(k, out, &n);
        EVP_PKEY_free(k);
        return 0;
    }
};

template <typename F>
Maker on25519(F f)
{
    return [f] {
        Curve25519Case* c = &Curve25519Case::the();
        return Call([c, f] { return f(*c); });
    };
}

void bench25519()
{
    using C = Curve25519Case;
    report("ed25519/public_key", on25519([](C& c) { return tzv_ed25519_public_key_mb8(c.pubOutL, c.privL); }),
           on25519([](C& c) { return C::publicKey(EVP_PKEY_ED25519, c.seed, c.pub); }));
    report("ed25519/sign", on25519([](C& c) { return tzv_ed25519_sign_mb8(c.rL, c.sL, c.msg, c.len, c.privL, c.pubL); }),
           on25519([](C& c) {
               size_t n = 64;
               return EVP_DigestSignInit(c.md, nullptr, nullptr, nullptr, c.key) == 1 &&
                              EVP_DigestSign(c.md, c.sig, &n, C::empty, 0) == 1
                          ? 0u
                          : 1u;
           }));
    report("ed25519/verify", on25519([](C& c) { return tzv_ed25519_verify_mb8(c.rIn, c.sIn, c.msg, c.len, c.pubL); }),
           on25519([](C& c) {
               EVP_DigestVerifyInit(c.vmd, nullptr, nullptr, nullptr, c.pkey);
               return EVP_DigestVerify(c.vmd, c.sig, 64, C::empty, 0) == 1 ? 0u : 1u;
           }));
    report("x25519/public_key", on25519([](C& c) { return tzv_x25519_public_key_mb8(c.xo, c.xk); }),
           on25519([](C& c) { return C::publicKey(EVP_PKEY_X25519, c.xpriv, c.xout); }));
    report("x25519/shared_secret", on25519([](C& c) { return tzv_x25519_mb8(c.xo, c.xk, c.xu); }),
           on25519([](C& c) {
               size_t n = 32;
               EVP_PKEY_derive(c.dctx, c.xout, &n);
               return 0u;
           }));
}

} // namespace

int main(int argc, char** argv)
{
    // Counting OpenSSL's allocations is only possible before its first one.
    g_counting = CRYPTO_set_mem_functions(countMalloc, countRealloc, countFree) == 1;
    return bench::run(argc, argv, [] {
        for (int bits : {1024, 2048, 3072, 4096}) benchRsa(bits);
        bench25519();
    });
}
