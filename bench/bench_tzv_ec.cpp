// Clocks per operation of libtzvcrypto's elliptic-curve functions (one 8-lane call divided by 8)
// next to OpenSSL's own cost of the same operation on this machine, as Google Benchmark benchmarks
// "tzv/<curve>/<operation>" and "openssl/<curve>/<operation>" with the counter clocks_per_op.
//
//   bench_tzv_ec [--benchmark_filter=nistp256] [--benchmark_format=json] ...
//
// OpenSSL's side uses its EC_KEY-level calls (the raw operation, without DER or EVP overhead where a
// lower-level call exists); the SM2 signature uses the EVP DigestSign/DigestVerify path, the only
// one OpenSSL offers, which hashes Z and e like ours. Public keys are passed in Jacobian coordinates
// with Z != 1 ("projective") and in affine form.
#define OPENSSL_SUPPRESS_DEPRECATED // EC_KEY-level ECDSA is the fair counterpart of the raw operation

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_clocks.h"
#include "tzvcrypto.h"

namespace {

constexpr int kLanes = 8;
using Bytes = std::vector<uint8_t>;
using Words = std::vector<uint64_t>;

Words toWords(const BIGNUM* b, int count)
{
    Bytes le(8 * count);
    BN_bn2lebinpad(b, le.data(), (int)le.size());
    Words w(count);
    for (int i = 0; i < count; ++i)
        for (int j = 7; j >= 0; --j) w[i] = (w[i] << 8) | le[8 * i + j];
    return w;
}

template <typename T>
std::array<const T*, kLanes> in(const std::array<std::vector<T>, kLanes>& v)
{
    std::array<const T*, kLanes> p{};
    for (int i = 0; i < kLanes; ++i) p[i] = v[i].data();
    return p;
}
template <typename T>
std::array<T*, kLanes> out(std::array<std::vector<T>, kLanes>& v)
{
    std::array<T*, kLanes> p{};
    for (int i = 0; i < kLanes; ++i) p[i] = v[i].data();
    return p;
}

// `ours` makes one 8-lane call, `openssl` one operation.
void report(const std::string& name, std::function<void()> ours, std::function<void()> openssl)
{
    bench::addPair(name, std::move(ours), kLanes, std::move(openssl), 1, bench::kPerOp);
}

// The data of one curve: eight key pairs, ephemeral keys, digests and signatures, in the library's
// encodings and as OpenSSL objects.
struct CurveData {
    EC_GROUP* group = nullptr;
    BN_CTX* ctx = BN_CTX_new();
    int words = 0, bytes = 0;
    std::array<EC_KEY*, kLanes> key{};
    std::array<Words, kLanes> d, k, x, y, one, X, Y, Z, outX, outY, outZ, kinv, rp;
    std::array<Bytes, kLanes> digest, r, s, shared, outR, outS;

    CurveData(int nid, std::mt19937_64& rng)
    {
        group = EC_GROUP_new_by_curve_name(nid);
        const BIGNUM* n = EC_GROUP_get0_order(group);
        BIGNUM* p = BN_new();
        EC_GROUP_get_curve(group, p, nullptr, nullptr, ctx);
        bytes = BN_num_bytes(n);
        words = (std::max(BN_num_bits(p), BN_num_bits(n)) + 63) / 64;
        BIGNUM *bx = BN_new(), *by = BN_new(), *z = BN_new(), *t = BN_new(), *kk = BN_new();
        for (int i = 0; i < kLanes; ++i) {
            key[i] = EC_KEY_new_by_curve_name(nid);
            EC_KEY_generate_key(key[i]);
            EC_POINT_get_affine_coordinates(group, EC_KEY_get0_public_key(key[i]), bx, by, ctx);
            d[i] = toWords(EC_KEY_get0_private_key(key[i]), words);
            BN_rand_range(kk, n);
            k[i] = toWords(kk, words);
            x[i] = toWords(bx, words);
            y[i] = toWords(by, words);
            one[i] = Words(words, 0);
            one[i][0] = 1;
            // Jacobian: X = x·Z², Y = y·Z³ with a random Z.
            BN_rand_range(z, p);
            BN_mod_sqr(t, z, p, ctx);
            BN_mod_mul(t, t, bx, p, ctx);
            X[i] = toWords(t, words);
            BN_mod_sqr(t, z, p, ctx);
            BN_mod_mul(t, t, z, p, ctx);
            BN_mod_mul(t, t, by, p, ctx);
            Y[i] = toWords(t, words);
            Z[i] = toWords(z, words);
            // A SHA-2-sized digest (at most 64 bytes) as the library's operand of the order's length;
            // OpenSSL gets the digest itself (it would truncate a 66-byte operand by 7 bits).
            digest[i] = Bytes(bytes, 0);
            for (int j = bytes - digestLen(); j < bytes; ++j) digest[i][j] = (uint8_t)rng();
            outX[i] = outY[i] = outZ[i] = kinv[i] = rp[i] = Words(words);
            r[i] = s[i] = outR[i] = outS[i] = Bytes(bytes);
            shared[i] = Bytes(bytes);
        }
        BN_free(bx);
        BN_free(by);
        BN_free(z);
        BN_free(t);
        BN_free(kk);
        BN_free(p);
    }
    int digestLen() const { return std::min(bytes, 64); }
    const uint8_t* sslDigest(int lane) const { return digest[lane].data() + bytes - digestLen(); }

    ~CurveData()
    {
        for (EC_KEY* k : key) EC_KEY_free(k);
        EC_GROUP_free(group);
        BN_CTX_free(ctx);
    }
};

struct NistFunctions {
    const char* name;
    int nid;
    decltype(&tzv_nistp256_ecpublic_key_mb8) publicKey;
    decltype(&tzv_nistp256_ecdh_mb8) ecdh;
    decltype(&tzv_nistp256_ecdsa_sign_setup_mb8) signSetup;
    decltype(&tzv_nistp256_ecdsa_sign_complete_mb8) signComplete;
    decltype(&tzv_nistp256_ecdsa_sign_mb8) sign;
    decltype(&tzv_nistp256_ecdsa_verify_mb8) verify;
};

#define TZV_BENCH_NIST(curve, nid)                                                                     \
    {#curve, nid, tzv_##curve##_ecpublic_key_mb8, tzv_##curve##_ecdh_mb8,                             \
     tzv_##curve##_ecdsa_sign_setup_mb8, tzv_##curve##_ecdsa_sign_complete_mb8, tzv_##curve##_ecdsa_sign_mb8, \
     tzv_##curve##_ecdsa_verify_mb8}

// OpenSSL's side of one curve: the objects its calls need, and one operation per call, cycling
// through the eight keys.
struct OpensslSide {
    CurveData& c;
    int lane = 0;
    EC_POINT* point = EC_POINT_new(c.group);
    BIGNUM* x = BN_new();
    BIGNUM* y = BN_new();
    std::array<EVP_PKEY*, kLanes> pkey{};
    std::array<EVP_PKEY_CTX*, kLanes> derive{};
    std::array<BIGNUM*, kLanes> kinv{}, rp{};
    std::array<ECDSA_SIG*, kLanes> sig{};

    explicit OpensslSide(CurveData& data) : c(data)
    {
        for (int i = 0; i < kLanes; ++i) {
            pkey[i] = EVP_PKEY_new();
            EVP_PKEY_set1_EC_KEY(pkey[i], c.key[i]);
        }
    }
    ~OpensslSide()
    {
        for (int i = 0; i < kLanes; ++i) {
            EVP_PKEY_CTX_free(derive[i]);
            EVP_PKEY_free(pkey[i]);
            BN_free(kinv[i]);
            BN_free(rp[i]);
            ECDSA_SIG_free(sig[i]);
        }
        EC_POINT_free(point);
        BN_free(x);
        BN_free(y);
    }
    void next() { lane = (lane + 1) % kLanes; }

    // A public key from a private key: d·G in affine coordinates.
    void publicKey()
    {
        EC_POINT_mul(c.group, point, EC_KEY_get0_private_key(c.key[lane]), nullptr, nullptr, c.ctx);
        EC_POINT_get_affine_coordinates(c.group, point, x, y, c.ctx);
        next();
    }
    // ECDH with the next lane's key: EVP derive where OpenSSL offers it (not for SM2 keys), else the
    // point product and its affine x, which is what the derive computes.
    void ecdh()
    {
        EC_POINT_mul(c.group, point, nullptr, EC_KEY_get0_public_key(c.key[(lane + 1) % kLanes]),
                     EC_KEY_get0_private_key(c.key[lane]), c.ctx);
        EC_POINT_get_affine_coordinates(c.group, point, x, nullptr, c.ctx);
        next();
    }
    void ecdhDerive()
    {
        if (!derive[lane]) {
            derive[lane] = EVP_PKEY_CTX_new(pkey[lane], nullptr);
            EVP_PKEY_derive_init(derive[lane]);
            EVP_PKEY_derive_set_peer(derive[lane], pkey[(lane + 1) % kLanes]);
        }
        uint8_t secret[80];
        size_t len = sizeof secret;
        EVP_PKEY_derive(derive[lane], secret, &len);
        next();
    }
    void signSetup()
    {
        BIGNUM *ki = nullptr, *r = nullptr;
        ECDSA_sign_setup(c.key[lane], c.ctx, &ki, &r);
        BN_free(ki);
        BN_free(r);
        next();
    }
    void signComplete()
    {
        if (!kinv[lane]) ECDSA_sign_setup(c.key[lane], c.ctx, &kinv[lane], &rp[lane]);
        ECDSA_SIG_free(ECDSA_do_sign_ex(c.sslDigest(lane), c.digestLen(), kinv[lane], rp[lane], c.key[lane]));
        next();
    }
    void sign()
    {
        ECDSA_SIG_free(ECDSA_do_sign(c.sslDigest(lane), c.digestLen(), c.key[lane]));
        next();
    }
    void verify()
    {
        if (!sig[lane]) {
            sig[lane] = ECDSA_SIG_new();
            ECDSA_SIG_set0(sig[lane], BN_bin2bn(c.r[lane].data(), c.bytes, nullptr),
                           BN_bin2bn(c.s[lane].data(), c.bytes, nullptr));
        }
        if (ECDSA_do_verify(c.sslDigest(lane), c.digestLen(), sig[lane], c.key[lane]) != 1) {
            std::printf("OpenSSL rejected the library's signature\n");
            std::exit(1);
        }
        next();
    }
};

// The benchmarks keep their data to the end of the program: the curve data and OpenSSL's objects
// are made once here and never freed; the lambdas hold copies of the pointer arrays.
void benchNist(const NistFunctions& f, std::mt19937_64& rng)
{
    CurveData& c = *new CurveData(f.nid, rng);
    OpensslSide* ssl = new OpensslSide(c);
    const std::string n = std::string(f.name) + "/";
    auto d = in(c.d), k = in(c.k), x = in(c.x), y = in(c.y), X = in(c.X), Y = in(c.Y), Z = in(c.Z);
    auto msg = in(c.digest);
    auto ox = out(c.outX), oy = out(c.outY), oz = out(c.outZ), okinv = out(c.kinv), orp = out(c.rp);
    auto r = out(c.r), s = out(c.s), sh = out(c.shared), oR = out(c.outR), oS = out(c.outS);

    // Valid inputs of verify and complete, from the library's own sign and setup.
    if (f.sign(r.data(), s.data(), msg.data(), k.data(), d.data(), nullptr) != 0 ||
        f.signSetup(okinv.data(), orp.data(), k.data(), nullptr) != 0) {
        bench::addMissing("tzv/" + n + "ecdsa_sign", "set-up failed");
        return;
    }
    auto sr = in(c.r), ss = in(c.s);
    auto kinv = in(c.kinv), rp = in(c.rp);

    report(n + "ecpublic_key", [=]() mutable { f.publicKey(ox.data(), oy.data(), oz.data(), d.data(), nullptr); },
           [=] { ssl->publicKey(); });
    report(n + "ecdh/projective",
           [=]() mutable { f.ecdh(sh.data(), d.data(), X.data(), Y.data(), Z.data(), nullptr); },
           [=] { ssl->ecdhDerive(); });
    report(n + "ecdh/affine", [=]() mutable { f.ecdh(sh.data(), d.data(), x.data(), y.data(), nullptr, nullptr); },
           [=] { ssl->ecdhDerive(); });
    report(n + "ecdsa_sign_setup", [=]() mutable { f.signSetup(okinv.data(), orp.data(), k.data(), nullptr); },
           [=] { ssl->signSetup(); });
    report(n + "ecdsa_sign_complete",
           [=]() mutable {
               f.signComplete(oR.data(), oS.data(), msg.data(), rp.data(), kinv.data(), d.data(), nullptr);
           },
           [=] { ssl->signComplete(); });
    report(n + "ecdsa_sign", [=]() mutable { f.sign(oR.data(), oS.data(), msg.data(), k.data(), d.data(), nullptr); },
           [=] { ssl->sign(); });
    report(n + "ecdsa_verify/projective",
           [=] { f.verify(sr.data(), ss.data(), msg.data(), X.data(), Y.data(), Z.data(), nullptr); },
           [=] { ssl->verify(); });
    report(n + "ecdsa_verify/affine",
           [=] { f.verify(sr.data(), ss.data(), msg.data(), x.data(), y.data(), nullptr, nullptr); },
           [=] { ssl->verify(); });
}

// OpenSSL's SM2 signature: DigestSign / DigestVerify with SM3 and the identifier, cycling through
// the eight keys.
struct OpensslSm2 {
    OpensslSide& ssl;
    std::array<Bytes, kLanes> msg, der;
    std::array<EVP_MD_CTX*, kLanes> md{};
    int lane = 0;

    OpensslSm2(OpensslSide& side, const std::array<Bytes, kLanes>& id, const std::array<Bytes, kLanes>& messages)
        : ssl(side), msg(messages)
    {
        for (int i = 0; i < kLanes; ++i) {
            md[i] = EVP_MD_CTX_new();
            EVP_PKEY_CTX* pctx = EVP_PKEY_CTX_new(ssl.pkey[i], nullptr);
            EVP_PKEY_CTX_set1_id(pctx, id[i].data(), id[i].size());
            EVP_MD_CTX_set_pkey_ctx(md[i], pctx); // the digest context keeps it to the end
            ECDSA_SIG* sig = ECDSA_SIG_new();
            ECDSA_SIG_set0(sig, BN_bin2bn(ssl.c.r[i].data(), 32, nullptr), BN_bin2bn(ssl.c.s[i].data(), 32, nullptr));
            unsigned char* p = nullptr;
            int len = i2d_ECDSA_SIG(sig, &p);
            der[i].assign(p, p + len);
            OPENSSL_free(p);
            ECDSA_SIG_free(sig);
        }
    }
    void sign()
    {
        unsigned char buf[128];
        size_t len = sizeof buf;
        EVP_DigestSignInit(md[lane], nullptr, EVP_sm3(), nullptr, ssl.pkey[lane]);
        EVP_DigestSign(md[lane], buf, &len, msg[lane].data(), msg[lane].size());
        lane = (lane + 1) % kLanes;
    }
    void verify()
    {
        EVP_DigestVerifyInit(md[lane], nullptr, EVP_sm3(), nullptr, ssl.pkey[lane]);
        if (EVP_DigestVerify(md[lane], der[lane].data(), der[lane].size(), msg[lane].data(), msg[lane].size()) != 1) {
            std::printf("OpenSSL rejected the library's SM2 signature\n");
            std::exit(1);
        }
        lane = (lane + 1) % kLanes;
    }
};

void benchSm2(std::mt19937_64& rng)
{
    CurveData& c = *new CurveData(NID_sm2, rng);
    OpensslSide* ssl = new OpensslSide(c);
    auto d = in(c.d), k = in(c.k), x = in(c.x), y = in(c.y), X = in(c.X), Y = in(c.Y), Z = in(c.Z);
    auto ox = out(c.outX), oy = out(c.outY), oz = out(c.outZ);
    auto r = out(c.r), s = out(c.s), sh = out(c.shared);
    // The customary 16-byte identifier and a 64-byte message per lane.
    auto& id = *new std::array<Bytes, kLanes>();
    auto& msg = *new std::array<Bytes, kLanes>();
    std::array<int, kLanes> idLen{}, msgLen{};
    for (int i = 0; i < kLanes; ++i) {
        id[i] = Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '1', '2', '3', '4', '5', '6', '7', '8'};
        msg[i] = Bytes(64);
        for (auto& b : msg[i]) b = (uint8_t)rng();
        idLen[i] = (int)id[i].size();
        msgLen[i] = (int)msg[i].size();
    }
    auto idp = in(id), mp = in(msg);
    if (tzv_sm2_ecdsa_sign_mb8(r.data(), s.data(), idp.data(), idLen.data(), mp.data(), msgLen.data(), k.data(), d.data(),
                               x.data(), y.data(), nullptr, nullptr) != 0) {
        bench::addMissing("tzv/sm2/ecdsa_sign", "set-up failed");
        return;
    }
    auto sr = in(c.r), ss = in(c.s);
    OpensslSm2* sm2 = new OpensslSm2(*ssl, id, msg);

    report("sm2/ecpublic_key", [=]() mutable { tzv_sm2_ecpublic_key_mb8(ox.data(), oy.data(), oz.data(), d.data(), nullptr); },
           [=] { ssl->publicKey(); });
    report("sm2/ecdh/projective",
           [=]() mutable { tzv_sm2_ecdh_mb8(sh.data(), d.data(), X.data(), Y.data(), Z.data(), nullptr); },
           [=] { ssl->ecdh(); });
    report("sm2/ecdsa_sign/projective",
           [=]() mutable {
               tzv_sm2_ecdsa_sign_mb8(r.data(), s.data(), idp.data(), idLen.data(), mp.data(), msgLen.data(), k.data(),
                                      d.data(), X.data(), Y.data(), Z.data(), nullptr);
           },
           [=] { sm2->sign(); });
    report("sm2/ecdsa_verify/projective",
           [=]() mutable {
               tzv_sm2_ecdsa_verify_mb8(sr.data(), ss.data(), idp.data(), idLen.data(), mp.data(), msgLen.data(),
                                        X.data(), Y.data(), Z.data(), nullptr);
           },
           [=] { sm2->verify(); });
}

} // namespace

int main(int argc, char** argv)
{
    return bench::run(argc, argv, [] {
        std::mt19937_64 rng(2024);
        const NistFunctions nist[] = {TZV_BENCH_NIST(nistp256, NID_X9_62_prime256v1),
                                      TZV_BENCH_NIST(nistp384, NID_secp384r1),
                                      TZV_BENCH_NIST(nistp521, NID_secp521r1)};
        for (const auto& f : nist) benchNist(f, rng);
        benchSm2(rng);
    });
}
