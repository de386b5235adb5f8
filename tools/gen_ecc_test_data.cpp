// Generates the fixed key material of the elliptic-curve tests (perf_tests/tzvcrypto/src/
// p_tzv_ecc_data.h) with OpenSSL, and checks every signature with OpenSSL's own verification.
//
// Built with the tests (target gen_ecc_test_data); the test tools.gen_ecc_test_data checks that it
// still prints the header byte for byte. To regenerate the constants:
//   build/tools/gen_ecc_test_data > perf_tests/tzvcrypto/src/p_tzv_ecc_data.h
//
// The values are derived from fixed labels with SHA-512, so every run prints the same file.
// Encodings (those of the multi-buffer library): keys, coordinates, r and k^-1 of the complete step
// are word numbers (64-bit words, least significant first); the digest and the signature (r, s)
// are big-endian byte strings of the order's byte length. The public key is given in Jacobian
// coordinates X = x*Z^2, Y = y*Z^3 with Z != 1, so that the tests exercise the general input.
//
// Per NIST curve: reg_skey d and eph_skey k in [1, n-1]; pub = d*G; msg e in [1, n-1];
// sgn_rp = x(k*G) mod n and inv_eph_skey = k^-1 mod n; sign = (r, s) with s = k^-1 (e + r d) mod n.
// For SM2 (GB/T 32918.2), empty identifier and empty message:
// Z = SM3(ENTL || ID || a || b || xG || yG || xA || yA), e = SM3(Z), r = (e + x(k*G)) mod n,
// s = (1 + d)^-1 (k - r d) mod n.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "gen_ecc_test_data: %s\n", what.c_str());
    std::exit(1);
}

void check(bool ok, const char* what)
{
    if (!ok) fail(what);
}

Bytes sha512(const std::string& text)
{
    Bytes out(64);
    unsigned len = 0;
    check(EVP_Digest(text.data(), text.size(), out.data(), &len, EVP_sha512(), nullptr) == 1, "SHA-512");
    return out;
}

Bytes sm3(const Bytes& data)
{
    Bytes out(32);
    unsigned len = 0;
    check(EVP_Digest(data.data(), data.size(), out.data(), &len, EVP_sm3(), nullptr) == 1, "SM3");
    return out;
}

Bytes toBytes(const BIGNUM* v, int len)
{
    Bytes out(len);
    check(BN_bn2binpad(v, out.data(), len) == len, "value longer than its byte string");
    return out;
}

std::vector<uint64_t> toWords(const BIGNUM* v, int words)
{
    Bytes be = toBytes(v, 8 * words);
    std::vector<uint64_t> w(words, 0);
    for (int i = 0; i < words; ++i)
        for (int j = 0; j < 8; ++j) w[i] = (w[i] << 8) | be[8 * (words - 1 - i) + j];
    return w;
}

struct Curve {
    const char* name;   // the prefix of the constants
    const char* title;  // for the comments
    int nid;
    bool sm2;
    EC_GROUP* group;
    BN_CTX* ctx;
    BIGNUM *p, *a, *b, *n;
    int words;
    int orderBytes;
    int fieldBytes;
};

Curve makeCurve(const char* name, const char* title, int nid, bool sm2)
{
    Curve c{name, title, nid, sm2, EC_GROUP_new_by_curve_name(nid), BN_CTX_new(), BN_new(), BN_new(), BN_new(),
            BN_new(), 0, 0, 0};
    check(c.group && c.ctx, "curve");
    check(EC_GROUP_get_curve(c.group, c.p, c.a, c.b, c.ctx) == 1, "curve parameters");
    BN_copy(c.n, EC_GROUP_get0_order(c.group));
    c.words = (BN_num_bits(c.p) + 63) / 64;
    c.orderBytes = BN_num_bytes(c.n);
    c.fieldBytes = BN_num_bytes(c.p);
    return c;
}

// A value in [1, limit - 1] from the label.
BIGNUM* derive(const Curve& c, const std::string& label, const BIGNUM* limit)
{
    Bytes h = sha512(std::string("ps_tzvcrypto fixed test data ") + c.title + " " + label);
    BIGNUM* v = BN_bin2bn(h.data(), (int)h.size(), nullptr);
    BIGNUM* m = BN_dup(limit);
    BN_sub_word(m, 1);
    check(BN_mod(v, v, m, c.ctx) == 1, "reduce");
    BN_add_word(v, 1);
    BN_free(m);
    return v;
}

void pointOf(const Curve& c, const BIGNUM* k, BIGNUM* x, BIGNUM* y)
{
    EC_POINT* q = EC_POINT_new(c.group);
    check(EC_POINT_mul(c.group, q, k, nullptr, nullptr, c.ctx) == 1, "scalar multiplication");
    check(EC_POINT_get_affine_coordinates(c.group, q, x, y, c.ctx) == 1, "affine coordinates");
    EC_POINT_free(q);
}

void printWords(const Curve& c, const char* item, const BIGNUM* v, const char* comment)
{
    std::vector<uint64_t> w = toWords(v, c.words);
    std::printf("// %s\n", comment);
    std::printf("static const uint64_t %s_%s[%d] = {", c.name, item, c.words);
    for (int i = 0; i < c.words; ++i)
        std::printf("%s0x%016llxull,", i % 3 == 0 ? "\n    " : " ", (unsigned long long)w[i]);
    std::printf("\n};\n");
}

void printBytes(const Curve& c, const char* item, const Bytes& b, const char* comment)
{
    std::printf("// %s\n", comment);
    std::printf("static const uint8_t %s_%s[%d] = {", c.name, item, (int)b.size());
    for (size_t i = 0; i < b.size(); ++i) std::printf("%s0x%02x,", i % 12 == 0 ? "\n    " : " ", b[i]);
    std::printf("\n};\n");
}

EVP_PKEY* publicKey(const Curve& c, const BIGNUM* x, const BIGNUM* y)
{
    Bytes point(1 + 2 * c.fieldBytes);
    point[0] = 4;
    Bytes bx = toBytes(x, c.fieldBytes), by = toBytes(y, c.fieldBytes);
    std::copy(bx.begin(), bx.end(), point.begin() + 1);
    std::copy(by.begin(), by.end(), point.begin() + 1 + c.fieldBytes);
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    check(OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, OBJ_nid2sn(c.nid), 0) == 1 &&
              OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()) == 1,
          "key parameters");
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY_CTX* kctx = EVP_PKEY_CTX_new_from_name(nullptr, c.sm2 ? "SM2" : "EC", nullptr);
    EVP_PKEY* key = nullptr;
    check(kctx && EVP_PKEY_fromdata_init(kctx) == 1 && EVP_PKEY_fromdata(kctx, &key, EVP_PKEY_PUBLIC_KEY, params) == 1,
          "public key");
    EVP_PKEY_CTX_free(kctx);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    return key;
}

// The signature as DER, for OpenSSL's verification.
Bytes der(const BIGNUM* r, const BIGNUM* s)
{
    ECDSA_SIG* sig = ECDSA_SIG_new();
    check(ECDSA_SIG_set0(sig, BN_dup(r), BN_dup(s)) == 1, "signature");
    unsigned char* out = nullptr;
    int len = i2d_ECDSA_SIG(sig, &out);
    check(len > 0, "DER");
    Bytes b(out, out + len);
    OPENSSL_free(out);
    ECDSA_SIG_free(sig);
    return b;
}

// OpenSSL takes the leftmost order-bits of the digest: the byte string is shifted left so that
// the value it takes is exactly e (this matters only when the order's bit length is not a
// multiple of 8, as for P-521).
void verifyNist(const Curve& c, const BIGNUM* x, const BIGNUM* y, const BIGNUM* e, const BIGNUM* r, const BIGNUM* s)
{
    BIGNUM* shifted = BN_new();
    BN_lshift(shifted, e, 8 * c.orderBytes - BN_num_bits(c.n));
    Bytes digest = toBytes(shifted, c.orderBytes);
    EVP_PKEY* key = publicKey(c, x, y);
    EVP_PKEY_CTX* vctx = EVP_PKEY_CTX_new(key, nullptr);
    Bytes sig = der(r, s);
    check(vctx && EVP_PKEY_verify_init(vctx) == 1 &&
              EVP_PKEY_verify(vctx, sig.data(), sig.size(), digest.data(), digest.size()) == 1,
          "OpenSSL rejects the signature");
    EVP_PKEY_CTX_free(vctx);
    EVP_PKEY_free(key);
    BN_free(shifted);
}

void verifySm2(const Curve& c, const BIGNUM* x, const BIGNUM* y, const BIGNUM* r, const BIGNUM* s)
{
    EVP_PKEY* key = publicKey(c, x, y);
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    EVP_PKEY_CTX* pctx = EVP_PKEY_CTX_new(key, nullptr);
    const unsigned char none = 0;
    check(md && pctx && EVP_PKEY_CTX_set1_id(pctx, &none, 0) == 1, "SM2 context");
    EVP_MD_CTX_set_pkey_ctx(md, pctx);
    Bytes sig = der(r, s);
    check(EVP_DigestVerifyInit(md, nullptr, EVP_sm3(), nullptr, key) == 1 &&
              EVP_DigestVerify(md, sig.data(), sig.size(), &none, 0) == 1,
          "OpenSSL rejects the SM2 signature");
    EVP_MD_CTX_free(md);
    EVP_PKEY_CTX_free(pctx);
    EVP_PKEY_free(key);
}

void generate(Curve& c)
{
    BN_CTX* ctx = c.ctx;
    BIGNUM* d = derive(c, "reg_skey", c.n);
    BIGNUM* k = derive(c, "eph_skey", c.n);
    BIGNUM* z = derive(c, "pubz", c.p);
    check(!BN_is_one(z), "Z = 1");

    BIGNUM *x = BN_new(), *y = BN_new(), *X = BN_new(), *Y = BN_new(), *t = BN_new();
    pointOf(c, d, x, y);
    BN_mod_sqr(t, z, c.p, ctx);
    BN_mod_mul(X, x, t, c.p, ctx);
    BN_mod_mul(t, t, z, c.p, ctx);
    BN_mod_mul(Y, y, t, c.p, ctx);

    BIGNUM *kx = BN_new(), *ky = BN_new(), *r = BN_new(), *s = BN_new(), *kinv = BN_new(), *e = nullptr;
    pointOf(c, k, kx, ky);
    check(BN_mod_inverse(kinv, k, c.n, ctx) != nullptr, "k^-1");

    std::printf("\n// ---- %s ----\n", c.title);
    printWords(c, "reg_skey", d, "regular private key d");
    printWords(c, "eph_skey", k, "ephemeral private key k of the signature");
    printWords(c, "pubx", X, "public key d*G, Jacobian X = x*Z^2");
    printWords(c, "puby", Y, "public key d*G, Jacobian Y = y*Z^3");
    printWords(c, "pubz", z, "public key d*G, Jacobian Z (not 1)");

    if (!c.sm2) {
        e = derive(c, "msg", c.n);
        BN_nnmod(r, kx, c.n, ctx);
        // s = k^-1 (e + r d) mod n
        BN_mod_mul(t, r, d, c.n, ctx);
        BN_mod_add(t, t, e, c.n, ctx);
        BN_mod_mul(s, kinv, t, c.n, ctx);
        check(!BN_is_zero(r) && !BN_is_zero(s), "zero r or s");
        verifyNist(c, x, y, e, r, s);

        printBytes(c, "msg", toBytes(e, c.orderBytes), "message digest e, in [1, n-1]");
        printWords(c, "sgn_rp", r, "r = x(k*G) mod n, for the complete step");
        printWords(c, "inv_eph_skey", kinv, "k^-1 mod n, for the complete step");
    } else {
        // Z of the signer with an empty identifier (ENTL = 0), then e = SM3(Z || empty message).
        Bytes za = {0, 0};
        BIGNUM *gx = BN_new(), *gy = BN_new();
        check(EC_POINT_get_affine_coordinates(c.group, EC_GROUP_get0_generator(c.group), gx, gy, ctx) == 1,
              "generator");
        for (const BIGNUM* v : {(const BIGNUM*)c.a, (const BIGNUM*)c.b, (const BIGNUM*)gx, (const BIGNUM*)gy,
                                (const BIGNUM*)x, (const BIGNUM*)y}) {
            Bytes part = toBytes(v, c.fieldBytes);
            za.insert(za.end(), part.begin(), part.end());
        }
        Bytes digest = sm3(sm3(za));
        e = BN_bin2bn(digest.data(), (int)digest.size(), nullptr);
        // r = (e + x1) mod n, s = (1 + d)^-1 (k - r d) mod n
        BN_mod_add(r, e, kx, c.n, ctx);
        BN_add(t, r, k);
        check(!BN_is_zero(r) && BN_cmp(t, c.n) != 0, "SM2 r");
        BIGNUM* inv = BN_new();
        BN_copy(t, d);
        BN_add_word(t, 1);
        check(BN_mod_inverse(inv, t, c.n, ctx) != nullptr, "(1 + d)^-1");
        BN_mod_mul(t, r, d, c.n, ctx);
        BN_mod_sub(t, k, t, c.n, ctx);
        BN_mod_mul(s, inv, t, c.n, ctx);
        check(!BN_is_zero(s), "SM2 s");
        verifySm2(c, x, y, r, s);
        BN_free(inv);
        BN_free(gx);
        BN_free(gy);
    }
    const char* what = c.sm2 ? "signature r of the empty message with the empty identifier"
                             : "signature r of msg with k and d";
    printBytes(c, "sign_r", toBytes(r, c.orderBytes), what);
    printBytes(c, "sign_s", toBytes(s, c.orderBytes), "signature s");

    for (BIGNUM* v : {d, k, z, x, y, X, Y, t, kx, ky, r, s, kinv, e}) BN_free(v);
}

} // namespace

int main()
{
    std::printf(
        "// Fixed key material of the elliptic-curve tests: valid keys, a public key in Jacobian\n"
        "// coordinates with Z != 1, and signatures that verify. Generated by tools/gen_ecc_test_data.cpp\n"
        "// (OpenSSL, values derived from fixed labels); regenerate or check it with that program.\n"
        "// Word numbers: 64-bit words, least significant first. Byte strings: big-endian.\n"
        "#ifndef P_TZV_ECC_DATA_H\n"
        "#define P_TZV_ECC_DATA_H\n"
        "\n"
        "#include <cstdint>\n");
    Curve curves[] = {makeCurve("p256", "P-256", NID_X9_62_prime256v1, false),
                      makeCurve("p384", "P-384", NID_secp384r1, false),
                      makeCurve("p521", "P-521", NID_secp521r1, false), makeCurve("sm2", "SM2", NID_sm2, true)};
    for (Curve& c : curves) generate(c);
    std::printf("\n#endif\n");
    return 0;
}
