// RSA tests of the multi-buffer library: raw public (exponent 65537), private and private-CRT
// operations for moduli of 1024 to 4096 bits, 8 lanes per call, every lane on the same key and
// text. Each size gets a fresh OpenSSL key, so the private operations decrypt a real ciphertext of
// a full-length random message. The figure is clocks per single operation.
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>

#include "ky_tzv_wrappers.h"
#include "ps_malloc.h"
#include "ps_parameter.h"
#include "tzvcrypto.h"

class TimRSA_TZV : public kycpTest {
public:
    using kycpTest::kycpTest;

    bool canStart() override;
    bool initData() override;
    void flushData() override;
    double getDivisor() override { return 8.0; }
    psString getUnit() override { return " "; }
};

KY_REG_KYN_ENVIRONMENT()

// ---- data shared by the three tests and all lanes ----

// The key is read by the library as 64-bit word numbers; on this little-endian host a
// little-endian byte string of 512 bytes is exactly such a number.
static int64u n[64], d[64], p[64], q[64], dp[64], dq[64], invq[64];
// Texts are big-endian byte strings of the modulus length.
static int8u ptxt[512], ctxt[512];
// The output of every call; nothing reads it back.
static int8u buffer8[512];

static const tzv_rsa_method* rsa_method = nullptr;
static int8u* rsa_buffer = nullptr;
// The modulus size of the current parameter set, kept as a plain int so that the timed call does
// not ask the parameter object for it.
static int rsa_bits = 0;

static psIterator<int> N_bitLength;

#define RSA_LANES(x) {x, x, x, x, x, x, x, x}
static const int8u* const ptxt_lanes[8] = RSA_LANES(ptxt);
static const int8u* const ctxt_lanes[8] = RSA_LANES(ctxt);
static int8u* const buffer8_lanes[8] = RSA_LANES(buffer8);
static const int64u* const n_lanes[8] = RSA_LANES(n);
static const int64u* const d_lanes[8] = RSA_LANES(d);
static const int64u* const p_lanes[8] = RSA_LANES(p);
static const int64u* const q_lanes[8] = RSA_LANES(q);
static const int64u* const dp_lanes[8] = RSA_LANES(dp);
static const int64u* const dq_lanes[8] = RSA_LANES(dq);
static const int64u* const invq_lanes[8] = RSA_LANES(invq);

// ---- the 3 tests, in registration order ----

KY_TZV_TEST_MB8(TimRSA_TZV, tzv_rsa_public_mb8, (ptxt_lanes, buffer8_lanes, n_lanes, rsa_bits, rsa_method, rsa_buffer))
KY_TZV_TEST_MB8(TimRSA_TZV, tzv_rsa_private_mb8,
                (ctxt_lanes, buffer8_lanes, d_lanes, n_lanes, rsa_bits, rsa_method, rsa_buffer))
KY_TZV_TEST_MB8(TimRSA_TZV, tzv_rsa_private_crt_mb8,
                (ctxt_lanes, buffer8_lanes, p_lanes, q_lanes, dp_lanes, dq_lanes, invq_lanes, rsa_bits, rsa_method,
                 rsa_buffer))

// ---- data preparation ----

typedef const tzv_rsa_method* (*RsaMethodGetter)();

// Rows: 1024, 2048, 3072, 4096 bits; columns: public, private, private with CRT.
static const RsaMethodGetter rsa_methods[4][3] = {
    {tzv_RSA1K_pub65537_Method, tzv_RSA1K_private_Method, tzv_RSA1K_private_crt_Method},
    {tzv_RSA2K_pub65537_Method, tzv_RSA2K_private_Method, tzv_RSA2K_private_crt_Method},
    {tzv_RSA3K_pub65537_Method, tzv_RSA3K_private_Method, tzv_RSA3K_private_crt_Method},
    {tzv_RSA4K_pub65537_Method, tzv_RSA4K_private_Method, tzv_RSA4K_private_crt_Method},
};
#define RSA_NEEDS(k) KY_TZV_FN(tzv_RSA##k##_pub65537_Method), KY_TZV_FN(tzv_RSA##k##_private_Method), \
                     KY_TZV_FN(tzv_RSA##k##_private_crt_Method)
KY_TZV_NEEDS(TimRSA_TZV, RSA_NEEDS(1K), RSA_NEEDS(2K), RSA_NEEDS(3K), RSA_NEEDS(4K), KY_TZV_FN(tzv_RSA_Method_BufSize))

bool TimRSA_TZV::canStart()
{
    regParm(N_bitLength);
    N_bitLength.reset();
    N_bitLength.init("N-bitLength");
    N_bitLength.setValue(0);
    N_bitLength.add(1024);
    N_bitLength.add(2048);
    N_bitLength.add(3072);
    N_bitLength.add(4096);
    return true;
}

// Writes one key component into its 512-byte buffer least significant byte first.
static bool putKeyComponent(const EVP_PKEY* key, const char* name, int64u* buffer)
{
    BIGNUM* value = nullptr;
    if (EVP_PKEY_get_bn_param(key, name, &value) != 1) return false;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(buffer);
    std::memset(bytes, 0, 512);
    BN_bn2bin(value, bytes);
    int bits = BN_num_bits(value);
    if (bits >= 9) std::reverse(bytes, bytes + (bits + 7) / 8);
    BN_free(value);
    return true;
}

static EVP_PKEY* generateRsaKey(int bits)
{
    EVP_PKEY* key = nullptr;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "rsa", nullptr);
    BIGNUM* e = BN_new();
    bool ok = ctx && e && BN_set_word(e, 65537) == 1 && EVP_PKEY_keygen_init(ctx) > 0 &&
              EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, bits) > 0 && EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx, e) > 0 &&
              EVP_PKEY_keygen(ctx, &key) > 0;
    BN_free(e);
    EVP_PKEY_CTX_free(ctx);
    if (!ok) {
        EVP_PKEY_free(key);
        return nullptr;
    }
    return key;
}

// A random message below n of exactly len bytes (top byte not zero), big-endian into ptxt.
static bool makePlaintext(const EVP_PKEY* key, int len)
{
    BIGNUM* modulus = nullptr;
    BIGNUM* r = BN_new();
    bool ok = r && EVP_PKEY_get_bn_param(key, "n", &modulus) == 1;
    while (ok) {
        ok = BN_rand_range(r, modulus) == 1;
        if (ok && BN_num_bytes(r) == len) break;
    }
    if (ok) BN_bn2bin(r, ptxt);
    BN_free(r);
    BN_free(modulus);
    return ok;
}

// Raw (unpadded) encryption of ptxt into ctxt; true when it gave exactly len bytes.
static bool encryptPlaintext(EVP_PKEY* key, int len)
{
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    size_t outLen = sizeof ctxt;
    bool ok = ctx && EVP_PKEY_encrypt_init(ctx) > 0 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) > 0 &&
              EVP_PKEY_encrypt(ctx, ctxt, &outLen, ptxt, (size_t)len) > 0 && outLen == (size_t)len;
    EVP_PKEY_CTX_free(ctx);
    return ok;
}

bool TimRSA_TZV::initData()
{
    // A name with both words counts as public.
    int operation = m_name.found("public") ? 0 : m_name.found("crt") ? 2 : 1;
    int bits = N_bitLength.value();
    if (bits != 1024 && bits != 2048 && bits != 3072 && bits != 4096) return false;
    rsa_bits = bits;
    rsa_method = rsa_methods[(bits - 1024) / 1024][operation]();
    if (!rsa_method) {
        setCurrentResult(resWRNG_NOT_SUPPORTED_CPU);
        return false;
    }
    rsa_buffer = static_cast<int8u*>(psMalloc(tzv_RSA_Method_BufSize(rsa_method)));
    if (!kytzvTest::acceptBuffers(rsa_buffer != nullptr)) return false;
    const int len = (bits + 7) / 8;

    int64u* const components[7] = {n, d, p, q, dp, dq, invq};
    for (int64u* component : components) std::memset(component, 0, 512);
    EVP_PKEY* key = generateRsaKey(bits);
    if (!key) return false;
    const char* const names[7] = {"n", "d", "rsa-factor1", "rsa-factor2", "rsa-exponent1", "rsa-exponent2",
                                  "rsa-coefficient1"};
    bool ok = true;
    for (int i = 0; i < 7 && ok; ++i) ok = putKeyComponent(key, names[i], components[i]);
    ok = ok && makePlaintext(key, len) && encryptPlaintext(key, len);
    EVP_PKEY_free(key);
    return ok;
}

void TimRSA_TZV::flushData()
{
    if (rsa_buffer) psFree(rsa_buffer);
    rsa_buffer = nullptr;
}
