// Clocks per byte of the 16-lane SM4 modes and SM3 of libtzvcrypto, called the way the harness
// calls them (16 lanes of equal length; the figure is clocks per call / (16 x length)), next to
// OpenSSL's same mode on one buffer of that length. Lengths 1024 and 16384 bytes.
//   bench_tzv_sm [--benchmark_filter=sm4_ecb] [--benchmark_format=json] ...
#include <openssl/evp.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench_clocks.h"
#include "tzvcrypto.h"

namespace {

constexpr int kLanes = 16;
constexpr const char* kCounter = bench::kPerByte;

// The buffers, keys and contexts of one length; they live as long as the program.
struct Lanes {
    int length;
    std::vector<std::vector<uint8_t>> txt, enc, iv, aad;
    uint8_t key[kLanes][16], xkey[kLanes][32], hash[kLanes][32];
    uint8_t* out[kLanes];
    const uint8_t* in[kLanes];
    uint8_t* ivp[kLanes];
    const uint8_t* civ[kLanes];
    const uint8_t* caad[kLanes];
    const tzv_sm4_key* k[kLanes];
    const tzv_sm4_xts_key* xk[kLanes];
    uint8_t* h[kLanes];
    int len[kLanes], ivLen[kLanes], tagLen[kLanes];
    int64u total[kLanes];
    tzv_sm4_key_schedule rkey, key1, key2;
    tzv_sm4_gcm_ctx_mb16 gcm;
    tzv_sm4_ccm_ctx_mb16 ccm;
    tzv_sm3_ctx_mb16 sm3;

    explicit Lanes(int n)
        : length(n), txt(kLanes, std::vector<uint8_t>((size_t)n, 1)), enc(kLanes, std::vector<uint8_t>((size_t)n, 2)),
          iv(kLanes, std::vector<uint8_t>((size_t)n, 3)), aad(kLanes, std::vector<uint8_t>((size_t)n, 4))
    {
        for (int i = 0; i < kLanes; ++i) {
            std::memset(key[i], i + 1, 16);
            std::memset(xkey[i], i + 7, 32);
            out[i] = enc[i].data(), in[i] = txt[i].data(), ivp[i] = iv[i].data(), civ[i] = iv[i].data();
            caad[i] = aad[i].data(), k[i] = &key[i], xk[i] = &xkey[i], h[i] = hash[i];
            len[i] = n, ivLen[i] = 7, tagLen[i] = 12, total[i] = ~0ull;
        }
        tzv_sm4_set_key_mb16(&rkey, k);
        tzv_sm4_xts_set_keys_mb16(&key1, &key2, xk);
        tzv_sm4_gcm_init_mb16(k, civ, len, &gcm);
        tzv_sm4_gcm_update_aad_mb16(caad, len, &gcm);
        tzv_sm4_ccm_init_mb16(k, civ, ivLen, tagLen, total, &ccm);
        tzv_sm4_ccm_update_aad_mb16(caad, len, &ccm);
        tzv_sm3_init_mb16(&sm3);
    }
};

// OpenSSL's side of one cipher mode: a context set up once; XTS, GCM and CCM start a new message
// per call, as each of our calls does.
struct OpensslCipher {
    EVP_CIPHER* cipher;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::vector<uint8_t> in, out;
    uint8_t key[32], iv[16];
    bool perCall;
    bool ccm;

    OpensslCipher(const char* name, bool encrypt, int length)
        : cipher(EVP_CIPHER_fetch(nullptr, name, nullptr)), in((size_t)length, 1), out((size_t)length + 16)
    {
        std::memset(key, 5, sizeof key);
        std::memset(iv, 6, sizeof iv);
        const int mode = cipher ? EVP_CIPHER_get_mode(cipher) : 0;
        perCall = mode == EVP_CIPH_XTS_MODE || mode == EVP_CIPH_GCM_MODE || mode == EVP_CIPH_CCM_MODE;
        ccm = mode == EVP_CIPH_CCM_MODE;
        if (cipher) {
            EVP_CipherInit_ex2(ctx, cipher, key, iv, encrypt ? 1 : 0, nullptr);
            EVP_CIPHER_CTX_set_padding(ctx, 0);
        }
    }
    void call()
    {
        int n = 0;
        if (perCall) EVP_CipherInit_ex2(ctx, nullptr, nullptr, iv, -1, nullptr);
        if (ccm) EVP_CipherUpdate(ctx, nullptr, &n, nullptr, (int)in.size());
        EVP_CipherUpdate(ctx, out.data(), &n, in.data(), (int)in.size());
    }
};

struct OpensslDigest {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    std::vector<uint8_t> msg;
    uint8_t hash[32];
    explicit OpensslDigest(int length) : msg((size_t)length, 1) { EVP_DigestInit_ex(ctx, EVP_sm3(), nullptr); }
    void update() { EVP_DigestUpdate(ctx, msg.data(), msg.size()); }
    void digest()
    {
        unsigned n = 0;
        EVP_Digest(msg.data(), msg.size(), hash, &n, EVP_sm3(), nullptr);
    }
};

template <typename T>
T* keep(T* p)
{
    static std::vector<std::shared_ptr<void>> kept;
    kept.emplace_back(p);
    return p;
}

void registerLength(int length)
{
    Lanes* l = keep(new Lanes(length));
    const double ours = 16.0 * length;
    const std::string suffix = "/" + std::to_string(length);

    struct Cipher {
        const char* name;
        const char* openssl; // OpenSSL's cipher name
        bool encrypt;
        std::function<void()> call;
    };
    const Cipher ciphers[] = {
        {"sm4_ecb_encrypt", "SM4-ECB", true, [l] { tzv_sm4_encrypt_ecb_mb16(l->out, l->in, l->len, &l->rkey); }},
        {"sm4_ecb_decrypt", "SM4-ECB", false, [l] { tzv_sm4_decrypt_ecb_mb16(l->out, l->in, l->len, &l->rkey); }},
        {"sm4_cbc_encrypt", "SM4-CBC", true, [l] { tzv_sm4_encrypt_cbc_mb16(l->out, l->in, l->len, &l->rkey, l->civ); }},
        {"sm4_cbc_decrypt", "SM4-CBC", false, [l] { tzv_sm4_decrypt_cbc_mb16(l->out, l->in, l->len, &l->rkey, l->civ); }},
        {"sm4_ctr128", "SM4-CTR", true, [l] { tzv_sm4_encrypt_ctr128_mb16(l->out, l->in, l->len, &l->rkey, l->ivp); }},
        {"sm4_ofb", "SM4-OFB", true, [l] { tzv_sm4_encrypt_ofb_mb16(l->out, l->in, l->len, &l->rkey, l->ivp); }},
        {"sm4_cfb128_encrypt", "SM4-CFB", true,
         [l] { tzv_sm4_encrypt_cfb128_mb16(l->out, l->in, l->len, &l->rkey, l->civ); }},
        {"sm4_cfb128_decrypt", "SM4-CFB", false,
         [l] { tzv_sm4_decrypt_cfb128_mb16(l->out, l->in, l->len, &l->rkey, l->civ); }},
        {"sm4_xts_encrypt", "SM4-XTS", true,
         [l] { tzv_sm4_xts_encrypt_mb16(l->out, l->in, l->len, &l->key1, &l->key2, l->civ); }},
        {"sm4_xts_decrypt", "SM4-XTS", false,
         [l] { tzv_sm4_xts_decrypt_mb16(l->out, l->in, l->len, &l->key1, &l->key2, l->civ); }},
        {"sm4_gcm_encrypt", "SM4-GCM", true, [l] { tzv_sm4_gcm_encrypt_mb16(l->out, l->in, l->len, &l->gcm); }},
        {"sm4_gcm_decrypt", "SM4-GCM", false, [l] { tzv_sm4_gcm_decrypt_mb16(l->out, l->in, l->len, &l->gcm); }},
        {"sm4_ccm_encrypt", "SM4-CCM", true, [l] { tzv_sm4_ccm_encrypt_mb16(l->out, l->in, l->len, &l->ccm); }},
        {"sm4_ccm_decrypt", "SM4-CCM", false, [l] { tzv_sm4_ccm_decrypt_mb16(l->out, l->in, l->len, &l->ccm); }},
    };
    for (const Cipher& c : ciphers) {
        OpensslCipher* ssl = keep(new OpensslCipher(c.openssl, c.encrypt, length));
        if (ssl->cipher) {
            bench::addPair(c.name + suffix, c.call, ours, [ssl] { ssl->call(); }, length, kCounter);
        } else {
            bench::add(std::string("tzv/") + c.name + suffix, c.call, ours, kCounter);
            bench::addMissing(std::string("openssl/") + c.name + suffix,
                              std::string("this OpenSSL has no ") + c.openssl);
        }
    }
    OpensslDigest* sm3 = keep(new OpensslDigest(length));
    bench::addPair("sm3_update" + suffix, [l] { tzv_sm3_update_mb16(l->in, l->len, &l->sm3); }, ours,
                   [sm3] { sm3->update(); }, length, kCounter);
    bench::addPair("sm3_msg_digest" + suffix, [l] { tzv_sm3_msg_digest_mb16(l->in, l->len, l->h); }, ours,
                   [sm3] { sm3->digest(); }, length, kCounter);
}

} // namespace

int main(int argc, char** argv)
{
    return bench::run(argc, argv, [] {
        for (int length : {1024, 16384}) registerLength(length);
    });
}
