// Clocks per lane of the 8-lane RSA, exponentiation, Ed25519 and X25519 functions of libtzvcrypto,
// set against what OpenSSL itself spends on one such operation, and the heap allocations each call
// makes through OpenSSL. Usage: bench_tzv_pk
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <x86intrin.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

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

struct Figure {
    double cycles;  // per call
    double allocs;  // OpenSSL allocations per call
};

// The fewest cycles of a single call among `calls` calls, after one warming call. Each call is
// timed on its own: on a shared machine the quickest single call is the figure least disturbed by
// other processes.
Figure measure(const std::function<void()>& call, int calls)
{
    call();
    unsigned long long best = ~0ull;
    unsigned long a0 = g_allocs.load();
    for (int c = 0; c < calls; ++c) {
        unsigned long long t0 = __rdtsc();
        call();
        best = std::min(best, __rdtsc() - t0);
    }
    double allocs = (double)(g_allocs.load() - a0) / calls;
    return {(double)best, allocs};
}

void report(const char* name, const Figure& lib, const Figure& ossl)
{
    double lane = lib.cycles / kLanes;
    if (g_counting)
        std::printf("  %-26s %12.0f %12.0f %7.2f   %7.1f %7.1f\n", name, lane, ossl.cycles, lane / ossl.cycles,
                    lib.allocs, ossl.allocs);
    else
        std::printf("  %-26s %12.0f %12.0f %7.2f   %7s %7s\n", name, lane, ossl.cycles, lane / ossl.cycles, "-", "-");
}

void header(const char* title)
{
    std::printf("%s\n  %-26s %12s %12s %7s   %7s %7s\n", title, "operation", "lib/lane", "openssl/op", "ratio",
                "lib/call", "ossl/op");
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

void benchRsa(int bits)
{
    EVP_PKEY_CTX* kctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    EVP_PKEY* key = nullptr;
    BIGNUM* e = BN_new();
    BN_set_word(e, 65537);
    EVP_PKEY_keygen_init(kctx);
    EVP_PKEY_CTX_set_rsa_keygen_bits(kctx, bits);
    EVP_PKEY_CTX_set1_rsa_keygen_pubexp(kctx, e);
    if (EVP_PKEY_keygen(kctx, &key) <= 0) {
        std::printf("key generation failed\n");
        return;
    }
    const int len = bits / 8;
    std::vector<int64u> n = words(key, "n", bits / 64), d = words(key, "d", bits / 64),
                        p = words(key, "rsa-factor1", bits / 128), q = words(key, "rsa-factor2", bits / 128),
                        dp = words(key, "rsa-exponent1", bits / 128), dq = words(key, "rsa-exponent2", bits / 128),
                        iq = words(key, "rsa-coefficient1", bits / 128);
    std::vector<unsigned char> ptxt(len), ctxt(len), out(len);
    for (int i = 0; i < len; ++i) ptxt[i] = (unsigned char)(i * 7 + 1);
    ptxt[0] = 0x01; // below n
    EVP_PKEY_CTX* pctx = EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr);
    size_t outLen = len;
    EVP_PKEY_encrypt_init(pctx);
    EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_NO_PADDING);
    EVP_PKEY_encrypt(pctx, ctxt.data(), &outLen, ptxt.data(), len);
    EVP_PKEY_CTX* dctx = EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr);
    EVP_PKEY_decrypt_init(dctx);
    EVP_PKEY_CTX_set_rsa_padding(dctx, RSA_NO_PADDING);

    const int8u* from[kLanes];
    const int8u* cfrom[kLanes];
    int8u* to[kLanes];
    const int64u *nl[kLanes], *dl[kLanes], *pl[kLanes], *ql[kLanes], *dpl[kLanes], *dql[kLanes], *iql[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        from[i] = ptxt.data(), cfrom[i] = ctxt.data(), to[i] = out.data();
        nl[i] = n.data(), dl[i] = d.data(), pl[i] = p.data(), ql[i] = q.data();
        dpl[i] = dp.data(), dql[i] = dq.data(), iql[i] = iq.data();
    }
    const tzv_rsa_method* pubM[] = {tzv_RSA1K_pub65537_Method(), tzv_RSA2K_pub65537_Method(),
                                    tzv_RSA3K_pub65537_Method(), tzv_RSA4K_pub65537_Method()};
    const tzv_rsa_method* privM[] = {tzv_RSA1K_private_Method(), tzv_RSA2K_private_Method(),
                                     tzv_RSA3K_private_Method(), tzv_RSA4K_private_Method()};
    const tzv_rsa_method* crtM[] = {tzv_RSA1K_private_crt_Method(), tzv_RSA2K_private_crt_Method(),
                                    tzv_RSA3K_private_crt_Method(), tzv_RSA4K_private_crt_Method()};
    int idx = bits / 1024 - 1;
    std::vector<int8u> work(tzv_RSA_Method_BufSize(crtM[idx]));

    // OpenSSL's non-CRT private operation: the same constant-time exponentiation on a ready key.
    BN_CTX* bctx = BN_CTX_new();
    BIGNUM *bn_n = BN_lebin2bn(reinterpret_cast<unsigned char*>(n.data()), len, nullptr),
           *bn_d = BN_lebin2bn(reinterpret_cast<unsigned char*>(d.data()), len, nullptr),
           *bn_c = BN_bin2bn(ctxt.data(), len, nullptr), *bn_m = BN_new();
    BN_set_flags(bn_d, BN_FLG_CONSTTIME);
    BN_MONT_CTX* mont = BN_MONT_CTX_new();
    BN_MONT_CTX_set(mont, bn_n, bctx);

    int calls = bits <= 2048 ? 30 : 10;
    char title[64];
    std::snprintf(title, sizeof title, "RSA-%d (clocks)", bits);
    header(title);
    unsigned sts = 0;
    report("public 65537", measure([&] { sts |= tzv_rsa_public_mb8(from, to, nl, bits, pubM[idx], work.data()); }, calls * 10),
           measure([&] {
               size_t l = len;
               EVP_PKEY_encrypt(pctx, out.data(), &l, ptxt.data(), len);
           }, calls * 10));
    report("private (d)", measure([&] { sts |= tzv_rsa_private_mb8(cfrom, to, dl, nl, bits, privM[idx], work.data()); }, calls),
           measure([&] { BN_mod_exp_mont_consttime(bn_m, bn_c, bn_d, bn_n, bctx, mont); }, calls));
    report("private CRT", measure([&] {
               sts |= tzv_rsa_private_crt_mb8(cfrom, to, pl, ql, dpl, dql, iql, bits, crtM[idx], work.data());
           }, calls),
           measure([&] {
               size_t l = len;
               EVP_PKEY_decrypt(dctx, out.data(), &l, ctxt.data(), len);
           }, calls));
    if (sts) std::printf("  unexpected status %08x\n", sts);

    // Exponentiation as the harness runs it: 0 to an all-ones exponent modulo an all-ones modulus.
    std::vector<int64u> zero(bits / 64, 0), ones(bits / 64, ~0ull), res(bits / 64);
    const int64u *bl[kLanes], *el[kLanes], *ml[kLanes];
    int64u* ol[kLanes];
    for (int i = 0; i < kLanes; ++i) bl[i] = zero.data(), el[i] = ones.data(), ml[i] = ones.data(), ol[i] = res.data();
    std::vector<int8u> ework(tzv_exp_BufferSize(bits));
    BIGNUM *bz = BN_new(), *bo = BN_new();
    BN_lebin2bn(reinterpret_cast<unsigned char*>(ones.data()), len, bo);
    BN_set_flags(bo, BN_FLG_CONSTTIME);
    BN_MONT_CTX* mo = BN_MONT_CTX_new();
    BN_MONT_CTX_set(mo, bo, bctx);
    report("exp (harness operands)",
           measure([&] { sts |= tzv_exp_mb8(ol, bl, el, bits, ml, bits, ework.data(), (int)ework.size()); }, calls),
           measure([&] { BN_mod_exp_mont_consttime(bn_m, bz, bo, bo, bctx, mo); }, calls));

    BN_MONT_CTX_free(mo);
    BN_free(bz);
    BN_free(bo);
    BN_MONT_CTX_free(mont);
    BN_free(bn_n);
    BN_free(bn_d);
    BN_free(bn_c);
    BN_free(bn_m);
    BN_CTX_free(bctx);
    EVP_PKEY_CTX_free(pctx);
    EVP_PKEY_CTX_free(dctx);
    EVP_PKEY_CTX_free(kctx);
    EVP_PKEY_free(key);
    BN_free(e);
}

void bench25519()
{
    int8u seed[32], pub[32], r[kLanes][32], s[kLanes][32], pubOut[kLanes][32], sig[64];
    for (int i = 0; i < 32; ++i) seed[i] = (int8u)(3 * i + 5);
    EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, 32);
    size_t l = 32;
    EVP_PKEY_get_raw_public_key(key, pub, &l);
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    size_t sl = 64;
    EVP_DigestSignInit(md, nullptr, nullptr, nullptr, key);
    static const int8u empty[1] = {0};
    EVP_DigestSign(md, sig, &sl, empty, 0);
    EVP_MD_CTX_reset(md);

    const tzv_ed25519_private_key* privL[kLanes];
    const tzv_ed25519_public_key* pubL[kLanes];
    tzv_ed25519_public_key* pubOutL[kLanes];
    tzv_ed25519_sign_component *rL[kLanes], *sL[kLanes];
    const tzv_ed25519_sign_component *rIn[kLanes], *sIn[kLanes];
    const int8u* msg[kLanes];
    int32u len[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        privL[i] = reinterpret_cast<const tzv_ed25519_private_key*>(seed);
        pubL[i] = reinterpret_cast<const tzv_ed25519_public_key*>(pub);
        pubOutL[i] = &pubOut[i];
        rL[i] = &r[i], sL[i] = &s[i];
        rIn[i] = reinterpret_cast<const tzv_ed25519_sign_component*>(sig);
        sIn[i] = reinterpret_cast<const tzv_ed25519_sign_component*>(sig + 32);
        msg[i] = empty, len[i] = 0;
    }
    EVP_PKEY* pkey = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, pub, 32);
    unsigned sts = 0;
    header("Ed25519, empty message (clocks; OpenSSL with its key objects made once)");
    report("public key", measure([&] { sts |= tzv_ed25519_public_key_mb8(pubOutL, privL); }, 50),
           measure([&] {
               EVP_PKEY* k = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, 32);
               size_t n = 32;
               EVP_PKEY_get_raw_public_key(k, pub, &n);
               EVP_PKEY_free(k);
           }, 200));
    report("sign", measure([&] { sts |= tzv_ed25519_sign_mb8(rL, sL, msg, len, privL, pubL); }, 50),
           measure([&] {
               size_t n = 64;
               EVP_DigestSignInit(md, nullptr, nullptr, nullptr, key);
               EVP_DigestSign(md, sig, &n, empty, 0);
           }, 200));
    report("verify", measure([&] { sts |= tzv_ed25519_verify_mb8(rIn, sIn, msg, len, pubL); }, 50),
           measure([&] {
               EVP_DigestVerifyInit(md, nullptr, nullptr, nullptr, pkey);
               EVP_DigestVerify(md, sig, 64, empty, 0);
           }, 200));

    int8u xpriv[32], xpeer[32], xout[32];
    for (int i = 0; i < 32; ++i) xpriv[i] = (int8u)(11 * i + 1), xpeer[i] = (int8u)(5 * i + 9);
    xpeer[31] &= 0x7f;
    const int8u *xk[kLanes], *xu[kLanes];
    int8u* xo[kLanes];
    for (int i = 0; i < kLanes; ++i) xk[i] = xpriv, xu[i] = xpeer, xo[i] = xout;
    EVP_PKEY* xkey = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, xpriv, 32);
    EVP_PKEY* xpeerKey = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, xpeer, 32);
    EVP_PKEY_CTX* dctx = EVP_PKEY_CTX_new_from_pkey(nullptr, xkey, nullptr);
    EVP_PKEY_derive_init(dctx);
    EVP_PKEY_derive_set_peer_ex(dctx, xpeerKey, 0);
    header("X25519 (clocks; OpenSSL with its key objects made once)");
    report("public key", measure([&] { sts |= tzv_x25519_public_key_mb8(xo, xk); }, 50),
           measure([&] {
               EVP_PKEY* k = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, xpriv, 32);
               size_t n = 32;
               EVP_PKEY_get_raw_public_key(k, xout, &n);
               EVP_PKEY_free(k);
           }, 200));
    report("shared secret", measure([&] { sts |= tzv_x25519_mb8(xo, xk, xu); }, 50),
           measure([&] {
               size_t n = 32;
               EVP_PKEY_derive(dctx, xout, &n);
           }, 200));
    if (sts) std::printf("  unexpected status %08x\n", sts);
    EVP_PKEY_CTX_free(dctx);
    EVP_PKEY_free(xkey);
    EVP_PKEY_free(xpeerKey);
    EVP_PKEY_free(pkey);
    EVP_PKEY_free(key);
    EVP_MD_CTX_free(md);
}

} // namespace

int main()
{
    g_counting = CRYPTO_set_mem_functions(countMalloc, countRealloc, countFree) == 1;
    std::printf("lib/lane = clocks of one 8-lane call / 8; openssl/op = clocks of one OpenSSL operation;\n"
                "lib/call and ossl/op = heap allocations through OpenSSL%s\n\n",
                g_counting ? "" : " (not counted: OpenSSL allocated before main)");
    for (int bits : {1024, 2048, 3072, 4096}) benchRsa(bits);
    bench25519();
    return 0;
}
