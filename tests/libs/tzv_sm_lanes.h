// Runs libtzvcrypto's 16-lane SM4 modes and SM3 over per-lane inputs, and OpenSSL's independent SM4
// and SM3 on one lane as the reference: shared by the library tests, the differential fuzzer and the
// constant-time check. Every output buffer is followed by sentinel bytes that no call may touch.
#ifndef TZV_SM_LANES_H
#define TZV_SM_LANES_H

#include <openssl/evp.h>
#include <openssl/modes.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "tzvcrypto.h"

namespace smlanes {

using Bytes = std::vector<uint8_t>;
constexpr int kLanes = 16;
constexpr uint8_t kSentinel = 0xA5;
constexpr std::size_t kGuard = 16;

// The SM4 modes, and SM3: for it, "encrypt" means streamed (init, the pieces, final).
enum class Mode { Ecb, Cbc, Cfb, Ofb, Ctr, Xts, Gcm, Ccm, Sm3 };
inline bool isAead(Mode m) { return m == Mode::Gcm || m == Mode::Ccm; }

// One lane's inputs. The key has 16 bytes, 32 for XTS (data key, then tweak key); iv is the IV,
// counter, tweak or nonce (unused by ECB).
struct Lane {
    Bytes key, iv, aad, in;
    int tagLen = 0;                  // GCM and CCM; 32 for SM3 (set by run())
    std::optional<int> len;          // passed instead of in.size(); streamed, a negative one in every call
    std::optional<uint64_t> total;   // CCM's announced length, in.size() when unset
    bool null = false;               // every pointer of the lane null
    bool inPlace = false;            // out and in are one buffer
    std::size_t piece = 0;           // GCM, CCM and streamed SM3: the text in calls of this size
    bool refuseOnce = false;         // GCM, CCM and streamed SM3: one call gives a negative length
};

// What a lane ends with: its status or-ed over the calls, the text (in.size() bytes), the IV block
// after the call, the tag (tagLen bytes) or digest.
struct LaneResult {
    unsigned status = 0;
    Bytes out, iv, tag;
    bool guardKept = true;
    bool operator==(const LaneResult& o) const
    {
        return status == o.status && out == o.out && iv == o.iv && tag == o.tag && guardKept == o.guardKept;
    }
};

[[noreturn]] inline void referenceFailed(const char* what)
{
    std::fprintf(stderr, "OpenSSL reference failed: %s\n", what);
    std::abort();
}

// A copy followed by guard sentinel bytes, whose data() is never null, also when empty.
inline Bytes buffer(Bytes b, std::size_t guard = 0)
{
    b.reserve(b.size() + guard + 1);
    b.resize(b.size() + guard, kSentinel);
    return b;
}

// The calls of the lanes: pointer and length arrays over owned per-lane buffers.
struct Calls {
    Bytes out[kLanes], in[kLanes], iv[kLanes], tag[kLanes], key[kLanes], aad[kLanes];
    uint8_t *outP[kLanes], *ivP[kLanes], *tagP[kLanes];
    const uint8_t *inP[kLanes], *keyP[kLanes], *aadP[kLanes];
    int len[kLanes], ivLen[kLanes], aadLen[kLanes], tagLen[kLanes];
    uint64_t total[kLanes];
    std::size_t done[kLanes] = {};
    unsigned status[kLanes] = {};

    explicit Calls(const std::vector<Lane>& lanes)
    {
        for (int i = 0; i < kLanes; ++i) {
            const Lane& l = lanes[i];
            out[i] = buffer(l.inPlace ? l.in : Bytes(l.in.size(), kSentinel), kGuard);
            in[i] = buffer(l.in), iv[i] = buffer(l.iv), key[i] = buffer(l.key), aad[i] = buffer(l.aad);
            tag[i] = buffer(Bytes((std::size_t)l.tagLen, kSentinel), kGuard);
            auto at = [&](Bytes& b) { return l.null ? nullptr : b.data(); };
            outP[i] = at(out[i]), ivP[i] = at(iv[i]), tagP[i] = at(tag[i]);
            inP[i] = at(l.inPlace ? out[i] : in[i]), keyP[i] = at(key[i]), aadP[i] = at(aad[i]);
            len[i] = l.len.value_or((int)l.in.size());
            ivLen[i] = (int)l.iv.size(), aadLen[i] = (int)l.aad.size(), tagLen[i] = l.tagLen;
            total[i] = l.total.value_or(l.in.size());
        }
    }
    void add(uint64_t sts)
    {
        for (int i = 0; i < kLanes; ++i) status[i] |= (unsigned)(sts >> (4 * i)) & 0xFu;
    }
    const tzv_sm4_key** keys() { return reinterpret_cast<const tzv_sm4_key**>(keyP); }

    // Streams the text: calls of each lane's piece size until every lane is done; the second call
    // gives the refusing lanes -1 and the others nothing. fn(out, in, len) for each call.
    template <typename Fn>
    void stream(const std::vector<Lane>& lanes, Fn fn)
    {
        bool more = true;
        for (int call = 0; more || call < 2; ++call) {
            uint8_t* o[kLanes];
            const uint8_t* p[kLanes];
            int n[kLanes];
            more = false;
            for (int i = 0; i < kLanes; ++i) {
                std::size_t size = lanes[i].in.size(), piece = lanes[i].piece ? lanes[i].piece : size;
                n[i] = call == 1 ? (lanes[i].refuseOnce ? -1 : 0) : (int)std::min(piece, size - done[i]);
                o[i] = outP[i] ? outP[i] + done[i] : nullptr;
                p[i] = inP[i] ? inP[i] + done[i] : nullptr;
                if (lanes[i].len && *lanes[i].len < 0) {
                    n[i] = *lanes[i].len;
                    continue;
                }
                done[i] += (std::size_t)std::max(n[i], 0);
                more = more || done[i] < size;
            }
            add(fn(o, p, n));
        }
    }

    std::vector<LaneResult> results(const std::vector<Lane>& lanes) const
    {
        std::vector<LaneResult> r(kLanes);
        for (int i = 0; i < kLanes; ++i) {
            std::size_t n = lanes[i].in.size(), t = (std::size_t)lanes[i].tagLen;
            r[i].status = status[i];
            r[i].out.assign(out[i].begin(), out[i].begin() + (long)n);
            r[i].iv.assign(iv[i].begin(), iv[i].begin() + (long)lanes[i].iv.size());
            r[i].tag.assign(tag[i].begin(), tag[i].begin() + (long)t);
            auto kept = [](const Bytes& b, std::size_t from) {
                return std::all_of(b.begin() + (long)from, b.end(), [](uint8_t x) { return x == kSentinel; });
            };
            r[i].guardKept = kept(out[i], n) && kept(tag[i], t);
        }
        return r;
    }
};

// One pass of the library over the 16 lanes into the calls' buffers, key set-up included. GCM and
// CCM: init, the additional data (GCM's in two calls cut at its middle), the text streamed, the tag.
inline void run(Calls& c, Mode m, bool encrypt, const std::vector<Lane>& lanes)
{
    if (m == Mode::Sm3 && !encrypt) {
        c.add(tzv_sm3_msg_digest_mb16(c.inP, c.len, c.tagP));
    } else if (m == Mode::Sm3) {
        tzv_sm3_ctx_mb16 ctx;
        c.add(tzv_sm3_init_mb16(&ctx));
        c.stream(lanes, [&](uint8_t**, const uint8_t** p, int* n) { return tzv_sm3_update_mb16(p, n, &ctx); });
        c.add(tzv_sm3_final_mb16(c.tagP, &ctx));
    } else if (m == Mode::Gcm) {
        tzv_sm4_gcm_ctx_mb16 ctx;
        c.add(tzv_sm4_gcm_init_mb16(c.keys(), c.ivP, c.ivLen, &ctx));
        int half[kLanes];
        const uint8_t* rest[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            half[i] = c.aadLen[i] / 2, c.aadLen[i] -= half[i];
            rest[i] = c.aadP[i] ? c.aadP[i] + half[i] : nullptr;
        }
        c.add(tzv_sm4_gcm_update_aad_mb16(c.aadP, half, &ctx));
        c.add(tzv_sm4_gcm_update_aad_mb16(rest, c.aadLen, &ctx));
        c.stream(lanes, [&](uint8_t** o, const uint8_t** p, const int* n) {
            return (encrypt ? tzv_sm4_gcm_encrypt_mb16 : tzv_sm4_gcm_decrypt_mb16)(o, p, n, &ctx);
        });
        c.add(tzv_sm4_gcm_get_tag_mb16(c.tagP, c.tagLen, &ctx));
    } else if (m == Mode::Ccm) {
        tzv_sm4_ccm_ctx_mb16 ctx;
        c.add(tzv_sm4_ccm_init_mb16(c.keys(), c.ivP, c.ivLen, c.tagLen, c.total, &ctx));
        c.add(tzv_sm4_ccm_update_aad_mb16(c.aadP, c.aadLen, &ctx));
        c.stream(lanes, [&](uint8_t** o, const uint8_t** p, const int* n) {
            return (encrypt ? tzv_sm4_ccm_encrypt_mb16 : tzv_sm4_ccm_decrypt_mb16)(o, p, n, &ctx);
        });
        c.add(tzv_sm4_ccm_get_tag_mb16(c.tagP, c.tagLen, &ctx));
    } else {
        tzv_sm4_key_schedule rk, rk2;
        if (m == Mode::Xts)
            c.add(tzv_sm4_xts_set_keys_mb16(&rk, &rk2, reinterpret_cast<const tzv_sm4_xts_key**>(c.keyP)));
        else
            c.add(tzv_sm4_set_key_mb16(&rk, c.keys()));
        const int8u** civ = const_cast<const int8u**>(c.ivP);
        auto call = [&](auto enc, auto dec, auto... more) { c.add((encrypt ? enc : dec)(c.outP, c.inP, c.len, &rk, more...)); };
        switch (m) {
        case Mode::Ecb: call(tzv_sm4_encrypt_ecb_mb16, tzv_sm4_decrypt_ecb_mb16); break;
        case Mode::Cbc: call(tzv_sm4_encrypt_cbc_mb16, tzv_sm4_decrypt_cbc_mb16, civ); break;
        case Mode::Cfb: call(tzv_sm4_encrypt_cfb128_mb16, tzv_sm4_decrypt_cfb128_mb16, civ); break;
        case Mode::Ofb: call(tzv_sm4_encrypt_ofb_mb16, tzv_sm4_decrypt_ofb_mb16, c.ivP); break;
        case Mode::Ctr: call(tzv_sm4_encrypt_ctr128_mb16, tzv_sm4_decrypt_ctr128_mb16, c.ivP); break;
        default: call(tzv_sm4_xts_encrypt_mb16, tzv_sm4_xts_decrypt_mb16, &rk2, civ); break;
        }
    }
}

// The same with buffers of its own; SM3's results carry the digest only.
inline std::vector<LaneResult> run(Mode m, bool encrypt, std::vector<Lane> lanes)
{
    if (m == Mode::Sm3) for (Lane& l : lanes) l.tagLen = 32;
    Calls c(lanes);
    run(c, m, encrypt, lanes);
    std::vector<LaneResult> r = c.results(lanes);
    if (m == Mode::Sm3) for (LaneResult& x : r) x.out.clear();
    return r;
}

// ---- OpenSSL, one lane ---------------------------------------------------------------------------

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

// OpenSSL's SM4 on single blocks, as the block function of its generic mode code.
inline CipherCtx blockKey(const uint8_t* key, bool encrypt)
{
    CipherCtx c(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    if (!EVP_CipherInit_ex(c.get(), EVP_sm4_ecb(), nullptr, key, nullptr, encrypt)) referenceFailed("SM4 key");
    EVP_CIPHER_CTX_set_padding(c.get(), 0);
    return c;
}
inline void block(const unsigned char in[16], unsigned char out[16], const void* key)
{
    int n = 0;
    EVP_CipherUpdate((EVP_CIPHER_CTX*)key, out, &n, in, 16);
}

// XTS128_CONTEXT is opaque in <openssl/modes.h>; its layout (two keys, then two block functions)
// has been the same since OpenSSL 1.0.1.
struct OpensslXtsContext {
    void *key1, *key2;
    block128_f block1, block2;
};

// What the library should give for a valid lane.
inline LaneResult reference(Mode m, bool encrypt, const Lane& l)
{
    LaneResult r{0, Bytes(m == Mode::Sm3 ? 0 : l.in.size()), l.iv, Bytes(m == Mode::Sm3 ? 32 : isAead(m) ? 16 : 0)};
    Bytes in = buffer(l.in), iv = l.iv;
    if (m == Mode::Sm3) {
        if (!EVP_Digest(in.data(), in.size(), r.tag.data(), nullptr, EVP_sm3(), nullptr)) referenceFailed("SM3");
        return r;
    }
    const uint8_t* p = in.data();
    uint8_t* out = r.out.data();
    const std::size_t n = in.size();
    // Only ECB, CBC and XTS decryption run SM4 backwards.
    CipherCtx k = blockKey(l.key.data(), encrypt || (m != Mode::Ecb && m != Mode::Cbc && m != Mode::Xts));
    int num = 0;
    unsigned ctrNum = 0;
    unsigned char ecount[16];
    if (m == Mode::Ecb) {
        for (std::size_t i = 0; i < n; i += 16) block(p + i, out + i, k.get());
    } else if (m == Mode::Cbc) {
        (encrypt ? CRYPTO_cbc128_encrypt : CRYPTO_cbc128_decrypt)(p, out, n, k.get(), iv.data(), block);
    } else if (m == Mode::Cfb) {
        CRYPTO_cfb128_encrypt(p, out, n, k.get(), iv.data(), &num, encrypt, block);
    } else if (m == Mode::Ofb) {
        CRYPTO_ofb128_encrypt(p, out, n, k.get(), r.iv.data(), &num, block);
    } else if (m == Mode::Ctr) {
        CRYPTO_ctr128_encrypt(p, out, n, k.get(), r.iv.data(), ecount, &ctrNum, block);
    } else if (m == Mode::Xts) {
        CipherCtx k2 = blockKey(l.key.data() + 16, true);
        OpensslXtsContext x{k.get(), k2.get(), block, block};
        if (CRYPTO_xts128_encrypt(reinterpret_cast<const XTS128_CONTEXT*>(&x), iv.data(), p, out, n, encrypt))
            referenceFailed("XTS");
    } else if (m == Mode::Gcm) {
        GCM128_CONTEXT* g = CRYPTO_gcm128_new(k.get(), block);
        CRYPTO_gcm128_setiv(g, iv.data(), iv.size());
        if (!l.aad.empty() && CRYPTO_gcm128_aad(g, l.aad.data(), l.aad.size())) referenceFailed("GCM aad");
        if ((encrypt ? CRYPTO_gcm128_encrypt : CRYPTO_gcm128_decrypt)(g, p, out, n)) referenceFailed("GCM text");
        CRYPTO_gcm128_tag(g, r.tag.data(), 16);
        CRYPTO_gcm128_release(g);
    } else {
        // CCM128_CONTEXT is opaque and has no constructor: CRYPTO_ccm128_init fills a caller's block
        // (56 bytes in OpenSSL 3.0), for which a generous aligned buffer stands in.
        alignas(64) unsigned char storage[512];
        CCM128_CONTEXT* c = reinterpret_cast<CCM128_CONTEXT*>(storage);
        CRYPTO_ccm128_init(c, (unsigned)l.tagLen, 15 - (unsigned)iv.size(), k.get(), block);
        if (CRYPTO_ccm128_setiv(c, iv.data(), iv.size(), n)) referenceFailed("CCM nonce");
        if (!l.aad.empty()) CRYPTO_ccm128_aad(c, l.aad.data(), l.aad.size());
        if ((encrypt ? CRYPTO_ccm128_encrypt : CRYPTO_ccm128_decrypt)(c, p, out, n)) referenceFailed("CCM text");
        if (CRYPTO_ccm128_tag(c, r.tag.data(), (std::size_t)l.tagLen) != (std::size_t)l.tagLen)
            referenceFailed("CCM tag");
    }
    if (isAead(m)) r.tag.resize((std::size_t)l.tagLen);
    return r;
}

} // namespace smlanes

#endif
