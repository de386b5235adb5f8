// Known-answer tests of the 16-lane SM4 functions of libtzvcrypto.so.13: the standard's examples
// and the SM4 mode vectors of python3-cryptography-vectors, and, for other data,
// OpenSSL's independent SM4 (its EVP modes; its generic XTS, GCM and CCM code over its SM4 block).
// Every call runs all 16 lanes with different data and lengths, and bad lanes beside good ones.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/modes.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tzv_sm_test_support.h"
#include "tzvcrypto.h"

using namespace smtest;

namespace {

constexpr int kLanes = 16;
constexpr uint8_t kSentinel = 0xA5;

// One pass of an OpenSSL EVP cipher without padding; ivOut receives the IV as OpenSSL leaves it.
Bytes evpRun(const EVP_CIPHER* cipher, const Bytes& key, const Bytes& iv, const Bytes& in, bool encrypt,
             Bytes* ivOut = nullptr)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EXPECT_EQ(EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), iv.empty() ? nullptr : iv.data(), encrypt), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(in.size() + 16);
    int n = 0, m = 0;
    EXPECT_EQ(EVP_CipherUpdate(ctx, out.data(), &n, in.data(), (int)in.size()), 1);
    EXPECT_EQ(EVP_CipherFinal_ex(ctx, out.data() + n, &m), 1);
    out.resize((std::size_t)(n + m));
    if (ivOut) {
        ivOut->assign(16, 0);
        EVP_CIPHER_CTX_get_updated_iv(ctx, ivOut->data(), 16);
    }
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

// OpenSSL's SM4 on single blocks, as the block function of OpenSSL's own mode code
// (CRYPTO_gcm128_*, CRYPTO_ccm128_*, CRYPTO_xts128_encrypt).
class OpensslSm4Block {
public:
    OpensslSm4Block(const Bytes& key, bool encrypt)
    {
        m_ctx = EVP_CIPHER_CTX_new();
        EVP_CipherInit_ex(m_ctx, EVP_sm4_ecb(), nullptr, key.data(), nullptr, encrypt);
        EVP_CIPHER_CTX_set_padding(m_ctx, 0);
    }
    ~OpensslSm4Block() { EVP_CIPHER_CTX_free(m_ctx); }
    OpensslSm4Block(const OpensslSm4Block&) = delete;
    OpensslSm4Block& operator=(const OpensslSm4Block&) = delete;

    void* key() { return m_ctx; }
    static void block(const unsigned char in[16], unsigned char out[16], const void* key)
    {
        int n = 0;
        EVP_CipherUpdate((EVP_CIPHER_CTX*)key, out, &n, in, 16);
    }

private:
    EVP_CIPHER_CTX* m_ctx;
};

tzv_sm4_key_schedule setKeys(const LaneBuffers& keys)
{
    tzv_sm4_key_schedule rkey;
    std::memset(&rkey, 0, sizeof rkey);
    const tzv_sm4_key* k[kLanes];
    for (int i = 0; i < kLanes; ++i) k[i] = (const tzv_sm4_key*)keys.cptr[i];
    uint64_t sts = tzv_sm4_set_key_mb16(&rkey, k);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(laneStatus(sts, i), keys.cptr[i] ? 0u : 2u) << "lane " << i;
    return rkey;
}

} // namespace

// ---- The block cipher ---------------------------------------------------------------------------

TEST(Sm4, BlockCipherMatchesTheStandardExamplesInEveryLane)
{
    std::vector<VectorCase> kats = readVectorFile(vectorPath("ciphers/SM4/draft-ribose-cfrg-sm4-10-ecb.txt"));
    ASSERT_EQ(kats.size(), 4u);
    LaneBuffers key, in, out;
    int len[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        // Every vector in four lanes, each time shifted along a different lane position.
        const VectorCase& c = kats[(i + i / 4) % 4];
        key.set(i, c.bytes("KEY"));
        in.set(i, c.bytes("PLAINTEXT"));
        out.set(i, Bytes(in.data[i].size(), kSentinel));
        len[i] = (int)in.data[i].size();
    }
    tzv_sm4_key_schedule rkey = setKeys(key);
    EXPECT_EQ(tzv_sm4_encrypt_ecb_mb16(out.ptr, in.cptr, len, &rkey), 0u);
    for (int i = 0; i < kLanes; ++i)
        EXPECT_EQ(toHex(out.data[i]), kats[(i + i / 4) % 4].str("CIPHERTEXT")) << "lane " << i;
    EXPECT_EQ(tzv_sm4_decrypt_ecb_mb16(in.ptr, out.cptr, len, &rkey), 0u);
    for (int i = 0; i < kLanes; ++i)
        EXPECT_EQ(toHex(in.data[i]), kats[(i + i / 4) % 4].str("PLAINTEXT")) << "lane " << i;
}

TEST(Sm4, MillionFoldEncryptionMatchesTheStandardExample2)
{
    // Example 2 of the standard: the plain text 0123...3210 encrypted 1 000 000 times under the same key.
    LaneBuffers key, buf;
    int len[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        len[i] = 16;
        key.set(i, i == 9 ? fromHex("0123456789abcdeffedcba9876543210") : Bytes(16, (uint8_t)i));
        buf.setNull(i); // the other lanes report 2 and cost nothing
    }
    buf.set(9, key.data[9]);
    tzv_sm4_key_schedule rkey = setKeys(key);
    for (int n = 0; n < 1000000; ++n) {
        uint64_t sts = tzv_sm4_encrypt_ecb_mb16(buf.ptr, buf.cptr, len, &rkey);
        if (sts != 0x2222220222222222ull) FAIL() << std::hex << sts;
    }
    EXPECT_EQ(toHex(buf.data[9]), "595298c7c6fd271f0402f804c33d3f66");
}

// ---- ECB, CBC, CFB128, OFB, CTR128 ---------------------------------------------------------------

namespace {

using ModeFn = std::function<tzv_status16(int8u* out[16], const int8u* in[16], const int len[16],
                                          const tzv_sm4_key_schedule* rkey, int8u* iv[16])>;

struct ModeCase {
    const char* vectorFile;           // under ciphers/SM4/
    const EVP_CIPHER* (*evp)();       // OpenSSL's SM4 in the same mode
    bool wholeBlocks;                 // lengths must be multiples of 16
    bool hasIv;
    bool ivUpdated;                   // the IV block is left as the next one
    ModeFn encrypt, decrypt;
};

// Lanes 0..12 carry data: the file's vectors first, then random keys, IVs and texts of different
// lengths checked against OpenSSL. Lane 13 has a null output, lane 14 a null IV (or input), lane 15 a
// bad length.
void checkMode(const ModeCase& m, bool encrypt)
{
    std::vector<VectorCase> kats = readVectorFile(vectorPath(std::string("ciphers/SM4/") + m.vectorFile));
    ASSERT_GE(kats.size(), 2u);
    static const int kLens[kLanes] = {32, 32, 0, 64, 16, 112, 48, 160, 256, 4096, 32, 1024, 32768, 32, 32, 80};
    Random rnd(encrypt ? 11 : 12);
    LaneBuffers key, iv, in, out, expect, expectIv;
    int len[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        Bytes k, v, pt, ct;
        if (i < (int)kats.size()) {
            k = kats[i].bytes("KEY");
            if (m.hasIv) v = kats[i].bytes("IV");
            pt = kats[i].bytes("PLAINTEXT");
            ct = kats[i].bytes("CIPHERTEXT");
        } else {
            k = rnd.bytes(16);
            if (m.hasIv) v = rnd.bytes(16);
            int n = kLens[i] + (m.wholeBlocks ? 0 : (i * 5) % 16);
            pt = rnd.bytes((std::size_t)n);
            ct = evpRun(m.evp(), k, v, pt, true);
        }
        Bytes updatedIv;
        evpRun(m.evp(), k, v, encrypt ? pt : ct, encrypt, &updatedIv);
        key.set(i, k);
        iv.set(i, v.empty() ? Bytes(16, 0) : v);
        in.set(i, encrypt ? pt : ct);
        expect.set(i, encrypt ? ct : pt);
        expectIv.set(i, m.ivUpdated ? updatedIv : iv.data[i]);
        out.set(i, Bytes(pt.size(), kSentinel));
        len[i] = (int)pt.size();
    }
    out.setNull(13);
    if (m.hasIv)
        iv.setNull(14);
    else
        in.setNull(14);
    len[15] = m.wholeBlocks ? len[15] + 1 : -1;

    tzv_sm4_key_schedule rkey = setKeys(key);
    uint64_t sts = (encrypt ? m.encrypt : m.decrypt)(out.ptr, in.cptr, len, &rkey, m.hasIv ? iv.ptr : nullptr);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(laneStatus(sts, i), 0u) << "lane " << i;
        EXPECT_EQ(toHex(out.data[i]), toHex(expect.data[i])) << "lane " << i << ", length " << len[i];
        EXPECT_EQ(toHex(iv.data[i]), toHex(expectIv.data[i])) << "IV of lane " << i;
    }
    EXPECT_EQ(laneStatus(sts, 13), 2u);
    EXPECT_EQ(laneStatus(sts, 14), 2u);
    EXPECT_EQ(laneStatus(sts, 15), 1u);
    EXPECT_EQ(toHex(out.data[15]), toHex(Bytes(out.data[15].size(), kSentinel))) << "bad lane untouched";
}

using IvFn = tzv_status16 (*)(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*, const int8u**);
using NoIvFn = tzv_status16 (*)(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*);
ModeFn withConstIv(IvFn fn)
{
    return [fn](int8u** out, const int8u** in, const int* len, auto rkey, int8u** iv) {
        return fn(out, in, len, rkey, const_cast<const int8u**>(iv));
    };
}
ModeFn withoutIv(NoIvFn fn)
{
    return [fn](int8u** out, const int8u** in, const int* len, auto rkey, int8u**) { return fn(out, in, len, rkey); };
}

const ModeCase kEcb{"draft-ribose-cfrg-sm4-10-ecb.txt", EVP_sm4_ecb, true, false, false,
                    withoutIv(tzv_sm4_encrypt_ecb_mb16), withoutIv(tzv_sm4_decrypt_ecb_mb16)};
const ModeCase kCbc{"draft-ribose-cfrg-sm4-10-cbc.txt", EVP_sm4_cbc, true, true, false,
                    withConstIv(tzv_sm4_encrypt_cbc_mb16), withConstIv(tzv_sm4_decrypt_cbc_mb16)};
const ModeCase kCfb{"draft-ribose-cfrg-sm4-10-cfb.txt", EVP_sm4_cfb128, false, true, false,
                    withConstIv(tzv_sm4_encrypt_cfb128_mb16), withConstIv(tzv_sm4_decrypt_cfb128_mb16)};
const ModeCase kOfb{"draft-ribose-cfrg-sm4-10-ofb.txt", EVP_sm4_ofb, false, true, true,
                    tzv_sm4_encrypt_ofb_mb16, tzv_sm4_decrypt_ofb_mb16};
const ModeCase kCtr{"draft-ribose-cfrg-sm4-10-ctr.txt", EVP_sm4_ctr, false, true, true,
                    tzv_sm4_encrypt_ctr128_mb16, tzv_sm4_decrypt_ctr128_mb16};
const ModeCase* const kModes[] = {&kEcb, &kCbc, &kCfb, &kOfb, &kCtr};

} // namespace

TEST(Sm4Modes, EveryModeMatchesVectorsAndOpensslAndLeavesItsIv)
{
    for (const ModeCase* m : kModes)
        for (bool encrypt : {true, false}) {
            SCOPED_TRACE(std::string(m->vectorFile) + (encrypt ? " encrypt" : " decrypt"));
            checkMode(*m, encrypt);
        }
}

TEST(Sm4Modes, CtrCarriesAcrossAllCounterBytes)
{
    // A counter of all ones wraps to zero: the whole 128 bits count, not only the low 32 or 64.
    LaneBuffers key, iv, in, out;
    int len[kLanes];
    Random rnd(5);
    Bytes k = rnd.bytes(16), pt = rnd.bytes(48);
    Bytes start = fromHex("00ffffffffffffffffffffffffffffff");
    Bytes expect = evpRun(EVP_sm4_ctr(), k, start, pt, true);
    for (int i = 0; i < kLanes; ++i) key.set(i, k), iv.set(i, start), in.set(i, pt), out.set(i, Bytes(48, 0)), len[i] = 48;
    tzv_sm4_key_schedule rkey = setKeys(key);
    EXPECT_EQ(tzv_sm4_encrypt_ctr128_mb16(out.ptr, in.cptr, len, &rkey, iv.ptr), 0u);
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(toHex(out.data[i]), toHex(expect));
        EXPECT_EQ(toHex(iv.data[i]), "01000000000000000000000000000002");
    }
}

TEST(Sm4Modes, InPlaceCallsGiveTheSameTextAsSeparateBuffers)
{
    Random rnd(21);
    LaneBuffers key, iv, buf;
    int len[kLanes];
    std::vector<Bytes> pt(kLanes);
    for (int i = 0; i < kLanes; ++i) {
        key.set(i, rnd.bytes(16));
        pt[i] = rnd.bytes(16 * (std::size_t)(i + 1));
        len[i] = (int)pt[i].size();
    }
    tzv_sm4_key_schedule rkey = setKeys(key);
    for (const ModeCase* m : kModes) {
        for (int i = 0; i < kLanes; ++i) {
            iv.set(i, Bytes(16, (uint8_t)(3 * i)));
            buf.set(i, pt[i]);
        }
        int8u** ivp = m->hasIv ? iv.ptr : nullptr;
        ASSERT_EQ(m->encrypt(buf.ptr, buf.cptr, len, &rkey, ivp), 0u);
        for (int i = 0; i < kLanes; ++i) {
            Bytes v = m->hasIv ? Bytes(16, (uint8_t)(3 * i)) : Bytes();
            ASSERT_EQ(toHex(buf.data[i]), toHex(evpRun(m->evp(), key.data[i], v, pt[i], true))) << m->vectorFile;
            iv.set(i, Bytes(16, (uint8_t)(3 * i)));
        }
        ASSERT_EQ(m->decrypt(buf.ptr, buf.cptr, len, &rkey, ivp), 0u);
        for (int i = 0; i < kLanes; ++i) ASSERT_EQ(toHex(buf.data[i]), toHex(pt[i])) << m->vectorFile;
    }
}

TEST(Sm4Modes, NullLanesAndNullArraysInKeySetupAndEveryMode)
{
    LaneBuffers key, data;
    int len[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        key.set(i, Bytes(16, (uint8_t)i));
        data.set(i, Bytes(16, 2));
        len[i] = 16;
    }
    key.setNull(4);
    tzv_sm4_key_schedule rkey = setKeys(key); // checks lane 4 gives 2 and the others 0
    const uint64_t all2 = 0x2222222222222222ull;
    const tzv_sm4_key* k[kLanes] = {};
    EXPECT_EQ(tzv_sm4_set_key_mb16(nullptr, k), all2);
    EXPECT_EQ(tzv_sm4_set_key_mb16(&rkey, nullptr), all2);
    const tzv_sm4_xts_key* xk[kLanes] = {};
    EXPECT_EQ(tzv_sm4_xts_set_keys_mb16(&rkey, nullptr, xk), all2);
    EXPECT_EQ(tzv_sm4_xts_set_keys_mb16(&rkey, &rkey, xk), all2);
    for (const ModeCase* m : kModes) {
        int8u** iv = m->hasIv ? data.ptr : nullptr;
        EXPECT_EQ(m->encrypt(nullptr, data.cptr, len, &rkey, iv), all2);
        EXPECT_EQ(m->encrypt(data.ptr, nullptr, len, &rkey, iv), all2);
        EXPECT_EQ(m->encrypt(data.ptr, data.cptr, nullptr, &rkey, iv), all2);
        EXPECT_EQ(m->decrypt(data.ptr, data.cptr, len, nullptr, iv), all2);
        if (m->hasIv) { EXPECT_EQ(m->decrypt(data.ptr, data.cptr, len, &rkey, nullptr), all2); }
    }
}

// ---- XTS ---------------------------------------------------------------------------------------

namespace {

// OpenSSL's XTS over SM4. XTS128_CONTEXT is opaque in <openssl/modes.h> and has no constructor; its
// layout (two keys, then two block functions) has been the same since OpenSSL 1.0.1.
struct OpensslXtsContext {
    void* key1;
    void* key2;
    block128_f block1;
    block128_f block2;
};

Bytes opensslSm4Xts(const Bytes& key, const Bytes& tweak, const Bytes& in, bool encrypt)
{
    OpensslSm4Block k1(Bytes(key.begin(), key.begin() + 16), encrypt);
    OpensslSm4Block k2(Bytes(key.begin() + 16, key.end()), true);
    OpensslXtsContext ctx{k1.key(), k2.key(), OpensslSm4Block::block, OpensslSm4Block::block};
    Bytes out(in.size());
    EXPECT_EQ(CRYPTO_xts128_encrypt(reinterpret_cast<const XTS128_CONTEXT*>(&ctx), tweak.data(), in.data(),
                                    out.data(), in.size(), encrypt),
              0);
    return out;
}

} // namespace

TEST(Sm4Xts, MatchesOpensslXtsOverSm4WithCipherTextStealing)
{
    static const int kLens[13] = {16, 17, 31, 32, 33, 47, 100, 255, 256, 4096 + 7, 512, 1 << 24, 48};
    Random rnd(31);
    LaneBuffers key, tweak, pt, ct, out;
    int len[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        Bytes k = rnd.bytes(32);
        if (i == 12) std::memcpy(k.data() + 16, k.data(), 16); // equal halves are allowed
        key.set(i, k);
        tweak.set(i, rnd.bytes(16));
        int n = i < 13 ? kLens[i] : 64;
        pt.set(i, rnd.bytes((std::size_t)n));
        ct.set(i, i < 13 ? opensslSm4Xts(k, tweak.data[i], pt.data[i], true) : Bytes((std::size_t)n, 0));
        out.set(i, Bytes((std::size_t)n, kSentinel));
        len[i] = n;
    }
    out.setNull(13);
    len[14] = 15;            // below one block
    len[15] = (1 << 24) + 1; // above 2^24 (never read: the lane fails first)
    tzv_sm4_key_schedule key1, key2;
    const tzv_sm4_xts_key* k[kLanes];
    for (int i = 0; i < kLanes; ++i) k[i] = (const tzv_sm4_xts_key*)key.cptr[i];
    k[13] = nullptr;
    EXPECT_EQ(tzv_sm4_xts_set_keys_mb16(&key1, &key2, k), 0x0020000000000000ull);

    uint64_t sts = tzv_sm4_xts_encrypt_mb16(out.ptr, pt.cptr, len, &key1, &key2, tweak.cptr);
    EXPECT_EQ(sts, 0x1120000000000000ull);
    for (int i = 0; i < 13; ++i) EXPECT_TRUE(sameBytes(out.data[i], ct.data[i])) << "lane " << i << ", length " << len[i];
    EXPECT_EQ(toHex(out.data[14]), toHex(Bytes(64, kSentinel)));

    for (int i = 0; i < 13; ++i) std::memset(out.ptr[i], kSentinel, (std::size_t)len[i]);
    sts = tzv_sm4_xts_decrypt_mb16(out.ptr, ct.cptr, len, &key1, &key2, tweak.cptr);
    EXPECT_EQ(sts, 0x1120000000000000ull);
    for (int i = 0; i < 13; ++i) EXPECT_TRUE(sameBytes(out.data[i], pt.data[i])) << "lane " << i;
}

// ---- GCM and CCM -------------------------------------------------------------------------------

namespace {

struct AeadLane {
    Bytes key, iv, aad, pt, ct, tag;
    int tagLen = 16;
};

// OpenSSL's GCM over SM4: fills the lane's ct and tag.
void opensslSm4Gcm(AeadLane& l)
{
    OpensslSm4Block blk(l.key, true);
    GCM128_CONTEXT* g = CRYPTO_gcm128_new(blk.key(), OpensslSm4Block::block);
    CRYPTO_gcm128_setiv(g, l.iv.data(), l.iv.size());
    if (!l.aad.empty()) { EXPECT_EQ(CRYPTO_gcm128_aad(g, l.aad.data(), l.aad.size()), 0); }
    l.ct.resize(l.pt.size());
    if (!l.pt.empty()) { EXPECT_EQ(CRYPTO_gcm128_encrypt(g, l.pt.data(), l.ct.data(), l.pt.size()), 0); }
    l.tag.resize(16);
    CRYPTO_gcm128_tag(g, l.tag.data(), 16);
    l.tag.resize((std::size_t)l.tagLen);
    CRYPTO_gcm128_release(g);
}

// OpenSSL's CCM over SM4. CCM128_CONTEXT is opaque and has no constructor; CRYPTO_ccm128_init
// fills a caller's block (56 bytes in OpenSSL 3.0), so a generous aligned buffer stands in for it.
void opensslSm4Ccm(AeadLane& l)
{
    OpensslSm4Block blk(l.key, true);
    alignas(64) unsigned char storage[512];
    CCM128_CONTEXT* c = reinterpret_cast<CCM128_CONTEXT*>(storage);
    CRYPTO_ccm128_init(c, (unsigned)l.tagLen, 15 - (unsigned)l.iv.size(), blk.key(), OpensslSm4Block::block);
    EXPECT_EQ(CRYPTO_ccm128_setiv(c, l.iv.data(), l.iv.size(), l.pt.size()), 0);
    if (!l.aad.empty()) CRYPTO_ccm128_aad(c, l.aad.data(), l.aad.size());
    l.ct.resize(l.pt.size());
    EXPECT_EQ(CRYPTO_ccm128_encrypt(c, l.pt.data(), l.ct.data(), l.pt.size()), 0);
    l.tag.resize((std::size_t)l.tagLen);
    EXPECT_EQ(CRYPTO_ccm128_tag(c, l.tag.data(), l.tag.size()), l.tag.size());
}

using LaneInts = int[kLanes];

// Random lanes of the given lengths, their text and tag from OpenSSL's reference.
std::vector<AeadLane> aeadLanes(uint32_t seed, const LaneInts& ivLens, const LaneInts& aadLens, const LaneInts& ptLens,
                                const LaneInts& tagLens, void (*reference)(AeadLane&))
{
    Random rnd(seed);
    std::vector<AeadLane> lanes(kLanes);
    for (int i = 0; i < kLanes; ++i) {
        AeadLane& l = lanes[i];
        l.key = rnd.bytes(16);
        l.iv = rnd.bytes((std::size_t)ivLens[i]);
        l.aad = rnd.bytes((std::size_t)aadLens[i]);
        l.pt = rnd.bytes((std::size_t)ptLens[i]);
        l.tagLen = tagLens[i];
        reference(l);
    }
    return lanes;
}

std::vector<AeadLane> gcmLanes()
{
    // IV lengths: 12 (J0 = IV || 1) and others (J0 = GHASH of the IV); additional data and text of
    // lengths around block boundaries; several tag lengths.
    static const LaneInts ivLens = {12, 1, 16, 60, 12, 13, 12, 64, 12, 8, 12, 17, 12, 32, 12, 12};
    static const LaneInts aadLens = {0, 20, 16, 1, 5, 0, 64, 33, 15, 17, 1000, 0, 3, 48, 90, 31};
    static const LaneInts ptLens = {0, 0, 1, 15, 16, 17, 31, 32, 33, 64, 100, 255, 256, 1000, 4099, 32768};
    static const LaneInts tagLens = {16, 12, 16, 4, 8, 16, 13, 14, 15, 16, 16, 12, 16, 16, 16, 16};
    return aeadLanes(41, ivLens, aadLens, ptLens, tagLens, opensslSm4Gcm);
}

std::vector<AeadLane> ccmLanes()
{
    static const LaneInts nonceLens = {7, 8, 9, 10, 11, 12, 13, 7, 13, 12, 7, 8, 11, 13, 7, 12};
    static const LaneInts aadLens = {0, 1, 14, 15, 16, 30, 0, 70000, 65279, 65280, 3, 0, 100, 17, 33, 5};
    static const LaneInts ptLens = {0, 1, 15, 16, 17, 100, 255, 256, 1000, 33, 4099, 32768, 64, 31, 48, 2};
    static const LaneInts tagLens = {4, 6, 8, 10, 12, 14, 16, 12, 16, 4, 12, 16, 8, 16, 12, 6};
    return aeadLanes(51, nonceLens, aadLens, ptLens, tagLens, opensslSm4Ccm);
}

// The 16 lanes' pointer and length arrays of whole-message calls over the lanes' fields, with
// output buffers two bytes longer than the text. An empty field points at the key, so that no
// pointer is null.
struct AeadArrays {
    const tzv_sm4_key* key[kLanes];
    const uint8_t *iv[kLanes], *aad[kLanes], *in[kLanes];
    uint8_t* out[kLanes];
    int ivLen[kLanes], aadLen[kLanes], len[kLanes], tagLen[kLanes];
    int64u total[kLanes];
    std::vector<Bytes> outBuf = std::vector<Bytes>(kLanes);

    explicit AeadArrays(const std::vector<AeadLane>& lanes)
    {
        for (int i = 0; i < kLanes; ++i) {
            const AeadLane& l = lanes[i];
            key[i] = (const tzv_sm4_key*)l.key.data();
            iv[i] = l.iv.data();
            aad[i] = l.aad.empty() ? l.key.data() : l.aad.data();
            in[i] = l.pt.empty() ? l.key.data() : l.pt.data();
            outBuf[i].assign(l.pt.size() + 2, kSentinel);
            out[i] = outBuf[i].data();
            ivLen[i] = (int)l.iv.size();
            aadLen[i] = (int)l.aad.size();
            len[i] = (int)l.pt.size();
            tagLen[i] = l.tagLen;
            total[i] = l.pt.size();
        }
    }
    std::string text(int lane) const { return toHex(outBuf[lane].data(), outBuf[lane].size() - 2); }
};

// GCM init, then the additional data in two calls cut at its middle.
tzv_status16 gcmStart(const std::vector<AeadLane>& lanes, tzv_sm4_gcm_ctx_mb16& ctx)
{
    AeadArrays a(lanes);
    tzv_status16 sts = tzv_sm4_gcm_init_mb16(a.key, a.iv, a.ivLen, &ctx);
    for (int half = 0; half < 2; ++half) {
        for (int i = 0; i < kLanes; ++i) {
            const std::size_t n = lanes[i].aad.size(), mid = n / 2;
            a.aadLen[i] = (int)(half ? n - mid : mid);
            if (half && n) a.aad[i] = lanes[i].aad.data() + mid;
        }
        sts |= tzv_sm4_gcm_update_aad_mb16(a.aad, a.aadLen, &ctx);
    }
    return sts;
}

// CCM init, announcing total (each lane's text length when empty), then the additional data.
tzv_status16 ccmStart(const std::vector<AeadLane>& lanes, tzv_sm4_ccm_ctx_mb16& ctx,
                      const std::vector<uint64_t>& total = {})
{
    AeadArrays a(lanes);
    if (!total.empty()) std::copy(total.begin(), total.end(), a.total);
    tzv_status16 sts = tzv_sm4_ccm_init_mb16(a.key, a.iv, a.ivLen, a.tagLen, a.total, &ctx);
    return sts | tzv_sm4_ccm_update_aad_mb16(a.aad, a.aadLen, &ctx);
}

// Splits each lane's text into three calls at a third and at two thirds, plus one byte, so that
// the pieces end inside blocks; runs fn(out, in, len) per piece and expects status 0.
template <typename Fn>
void inPieces(const std::vector<AeadLane>& lanes, bool encrypt, std::vector<Bytes>& result, Fn fn)
{
    result.assign(kLanes, Bytes());
    for (int i = 0; i < kLanes; ++i) result[i].assign(lanes[i].pt.size(), kSentinel);
    for (int piece = 0; piece < 3; ++piece) {
        uint8_t* out[kLanes];
        const uint8_t* in[kLanes];
        int len[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            std::size_t n = lanes[i].pt.size();
            std::size_t cuts[4] = {0, n / 3, std::min(n, 2 * n / 3 + 1), n};
            out[i] = result[i].data() + cuts[piece];
            in[i] = (encrypt ? lanes[i].pt : lanes[i].ct).data() + cuts[piece];
            len[i] = (int)(cuts[piece + 1] - cuts[piece]);
            // An empty text has no storage; its lane still gets non-null pointers.
            if (n == 0) out[i] = (uint8_t*)lanes[i].key.data(), in[i] = lanes[i].key.data();
        }
        ASSERT_EQ(fn(out, in, len), 0u) << "piece " << piece;
    }
}

// Every lane's tag, of the lane's length, through fn(tag, tagLen).
template <typename Fn>
std::vector<Bytes> tagsOf(const std::vector<AeadLane>& lanes, tzv_status16* sts, Fn fn)
{
    std::vector<Bytes> tags(kLanes, Bytes(16, kSentinel));
    uint8_t* tag[kLanes];
    int tagLen[kLanes];
    for (int i = 0; i < kLanes; ++i) tag[i] = tags[i].data(), tagLen[i] = lanes[i].tagLen;
    *sts = fn(tag, tagLen);
    for (int i = 0; i < kLanes; ++i) tags[i].resize((std::size_t)lanes[i].tagLen);
    return tags;
}

// One AEAD mode's calls: start (init and additional data), the text, the tag.
template <typename Ctx>
struct AeadApi {
    tzv_status16 (*start)(const std::vector<AeadLane>&, Ctx&);
    tzv_status16 (*encrypt)(int8u**, const int8u* const*, const int*, Ctx*);
    tzv_status16 (*decrypt)(int8u**, const int8u* const*, const int*, Ctx*);
    tzv_status16 (*getTag)(int8u**, const int*, Ctx*);
};

const AeadApi<tzv_sm4_gcm_ctx_mb16> kGcm{gcmStart, tzv_sm4_gcm_encrypt_mb16, tzv_sm4_gcm_decrypt_mb16,
                                         tzv_sm4_gcm_get_tag_mb16};
const AeadApi<tzv_sm4_ccm_ctx_mb16> kCcm{[](const std::vector<AeadLane>& l,
                                            tzv_sm4_ccm_ctx_mb16& c) { return ccmStart(l, c); },
                                         tzv_sm4_ccm_encrypt_mb16, tzv_sm4_ccm_decrypt_mb16, tzv_sm4_ccm_get_tag_mb16};

// Starts the lanes on ctx and encrypts or decrypts each lane's text in pieces, which must give the
// lanes' own text; returns the tags. Every call must give status 0.
template <typename Ctx>
std::vector<Bytes> runAead(const AeadApi<Ctx>& api, Ctx& ctx, const std::vector<AeadLane>& lanes, bool encrypt)
{
    SCOPED_TRACE(encrypt ? "encrypt" : "decrypt");
    EXPECT_EQ(api.start(lanes, ctx), 0u);
    std::vector<Bytes> text;
    inPieces(lanes, encrypt, text, [&](uint8_t** out, const uint8_t** in, int* len) {
        return (encrypt ? api.encrypt : api.decrypt)(out, in, len, &ctx);
    });
    for (int i = 0; i < kLanes; ++i)
        EXPECT_EQ(toHex(text[i]), toHex(encrypt ? lanes[i].ct : lanes[i].pt)) << "lane " << i;
    tzv_status16 sts;
    std::vector<Bytes> tags = tagsOf(lanes, &sts, [&](uint8_t** t, const int* n) { return api.getTag(t, n, &ctx); });
    EXPECT_EQ(sts, 0u);
    return tags;
}

// Encrypts, then decrypts on the same context set up again; both must give the lanes' tags.
template <typename Ctx>
void checkAead(const AeadApi<Ctx>& api, const std::vector<AeadLane>& lanes)
{
    Ctx ctx;
    for (bool encrypt : {true, false}) {
        std::vector<Bytes> tags = runAead(api, ctx, lanes, encrypt);
        for (int i = 0; i < kLanes; ++i)
            EXPECT_EQ(toHex(tags[i]), toHex(lanes[i].tag)) << (encrypt ? "encrypt" : "decrypt") << ", lane " << i;
    }
}

// The published SM4 GCM and CCM example message in every lane, with the expected text and tag.
std::vector<AeadLane> exampleLanes(const char* ct, const char* tag)
{
    AeadLane l;
    l.key = fromHex("0123456789abcdeffedcba9876543210");
    l.iv = fromHex("00001234567800000000abcd");
    l.aad = fromHex("feedfacedeadbeeffeedfacedeadbeefabaddad2");
    l.pt = fromHex("aaaaaaaaaaaaaaaabbbbbbbbbbbbbbbbccccccccccccccccdddddddddddddddd"
                   "eeeeeeeeeeeeeeeeffffffffffffffffeeeeeeeeeeeeeeeeaaaaaaaaaaaaaaaa");
    l.ct = fromHex(ct);
    l.tag = fromHex(tag);
    return std::vector<AeadLane>(kLanes, l);
}

} // namespace

TEST(Sm4Aead, PublishedGcmAndCcmExamplesInEveryLane)
{
    checkAead(kGcm, exampleLanes("17f399f08c67d5ee19d0dc9969c4bb7d5fd46fd3756489069157b282bb200735"
                                 "d82710ca5c22f0ccfa7cbf93d496ac15a56834cbcf98c397b4024a2691233b8d",
                                 "83de3541e4c2b58177e065a9bf7b62ec"));
    checkAead(kCcm, exampleLanes("48af93501fa62adbcd414cce6034d895dda1bf8f132f042098661572e7483094"
                                 "fd12e518ce062c98acee28d95df4416bed31a2f04476c18bb40c84a74b97dc5b",
                                 "16842d4fa186f56ab33256971fa110f4"));
}

TEST(Sm4Aead, EncryptAndDecryptInPiecesMatchOpensslGcmAndCcmOverSm4)
{
    checkAead(kGcm, gcmLanes());
    checkAead(kCcm, ccmLanes());
}

TEST(Sm4Gcm, BadLanesReportTheirStatusAndTheOthersStayCorrect)
{
    std::vector<AeadLane> lanes = gcmLanes();
    AeadArrays a(lanes);
    // Lane 3 gets no key, lane 7 an IV of length 0: both fail init and every later call.
    a.key[3] = nullptr;
    a.ivLen[7] = 0;
    tzv_sm4_gcm_ctx_mb16 ctx;
    EXPECT_EQ(tzv_sm4_gcm_init_mb16(a.key, a.iv, a.ivLen, &ctx), 0x0000000010002000ull);

    a.aadLen[9] = -1; // refused, and the lane's state is left as it was
    EXPECT_EQ(tzv_sm4_gcm_update_aad_mb16(a.aad, a.aadLen, &ctx), 0x0000001010001000ull);
    for (int i = 0; i < kLanes; ++i) a.aadLen[i] = i == 9 ? (int)lanes[9].aad.size() : 0;
    EXPECT_EQ(tzv_sm4_gcm_update_aad_mb16(a.aad, a.aadLen, &ctx), 0x0000000010001000ull);

    a.out[12] = nullptr; // 2, and the lane's state is left as it was
    EXPECT_EQ(tzv_sm4_gcm_encrypt_mb16(a.out, a.in, a.len, &ctx), 0x0002000010001000ull);
    for (int i = 0; i < kLanes; ++i)
        if (i != 3 && i != 7 && i != 12) { EXPECT_EQ(a.text(i), toHex(lanes[i].ct)) << "lane " << i; }
    for (int i = 0; i < kLanes; ++i) a.len[i] = i == 12 ? a.len[i] : 0;
    a.out[12] = a.outBuf[12].data();
    EXPECT_EQ(tzv_sm4_gcm_encrypt_mb16(a.out, a.in, a.len, &ctx), 0x0000000010001000ull);
    EXPECT_EQ(a.text(12), toHex(lanes[12].ct));

    tzv_status16 sts;
    lanes[5].tagLen = 11; // a tag length GCM does not allow
    std::vector<Bytes> tags =
        tagsOf(lanes, &sts, [&](uint8_t** t, const int* n) { return tzv_sm4_gcm_get_tag_mb16(t, n, &ctx); });
    EXPECT_EQ(sts, 0x0000000010101000ull);
    for (int i = 0; i < kLanes; ++i)
        if (i != 3 && i != 5 && i != 7) { EXPECT_EQ(toHex(tags[i]), toHex(lanes[i].tag)) << "lane " << i; }
}

TEST(Sm4Gcm, CallsOutOfOrderFailEveryLane)
{
    std::vector<AeadLane> lanes = gcmLanes();
    AeadArrays a(lanes);
    const uint64_t all1 = 0x1111111111111111ull;
    tzv_sm4_gcm_ctx_mb16 ctx;
    std::memset(&ctx, 0, sizeof ctx);
    uint8_t buf[kLanes][64];
    uint8_t* out[kLanes];
    const uint8_t* in[kLanes];
    int len[kLanes], tagLen[kLanes];
    for (int i = 0; i < kLanes; ++i) out[i] = buf[i], in[i] = buf[i], len[i] = 16, tagLen[i] = 16;

    // Before init.
    EXPECT_EQ(tzv_sm4_gcm_update_aad_mb16(in, len, &ctx), all1);
    EXPECT_EQ(tzv_sm4_gcm_encrypt_mb16(out, in, len, &ctx), all1);
    EXPECT_EQ(tzv_sm4_gcm_get_tag_mb16(out, tagLen, &ctx), all1);

    ASSERT_EQ(tzv_sm4_gcm_init_mb16(a.key, a.iv, a.ivLen, &ctx), 0u);
    EXPECT_EQ(tzv_sm4_gcm_encrypt_mb16(out, in, len, &ctx), 0u);
    EXPECT_EQ(tzv_sm4_gcm_update_aad_mb16(in, len, &ctx), all1) << "additional data after text";
    EXPECT_EQ(tzv_sm4_gcm_decrypt_mb16(out, in, len, &ctx), 0u);
    EXPECT_EQ(tzv_sm4_gcm_get_tag_mb16(out, tagLen, &ctx), 0u);
    EXPECT_EQ(tzv_sm4_gcm_encrypt_mb16(out, in, len, &ctx), all1) << "text after the tag";
    EXPECT_EQ(tzv_sm4_gcm_update_aad_mb16(in, len, &ctx), all1) << "additional data after the tag";
    EXPECT_EQ(tzv_sm4_gcm_get_tag_mb16(out, tagLen, &ctx), all1) << "a second tag";

    EXPECT_EQ(tzv_sm4_gcm_encrypt_mb16(out, in, len, nullptr), 0x2222222222222222ull);
    EXPECT_EQ(tzv_sm4_gcm_init_mb16(nullptr, in, len, &ctx), 0x2222222222222222ull);
}

TEST(Sm4Ccm, UnboundedLengthAsTheHarnessUsesIt)
{
    // The harness announces -1 (all ones) and never asks for the tag. The text is the bounded
    // message's; the tag is a CCM tag with an all-ones length field, so differs from the bounded
    // one, and encryption and decryption agree on it.
    const AeadApi<tzv_sm4_ccm_ctx_mb16> unbounded{
        [](const std::vector<AeadLane>& lanes, tzv_sm4_ccm_ctx_mb16& ctx) {
            std::vector<uint64_t> total(kLanes, ~0ull);
            total[3] = lanes[3].pt.size(); // a bounded lane beside the others
            return ccmStart(lanes, ctx, total);
        },
        tzv_sm4_ccm_encrypt_mb16, tzv_sm4_ccm_decrypt_mb16, tzv_sm4_ccm_get_tag_mb16};
    std::vector<AeadLane> lanes = ccmLanes();
    tzv_sm4_ccm_ctx_mb16 ctx;
    std::vector<Bytes> encTags = runAead(unbounded, ctx, lanes, true), decTags = runAead(unbounded, ctx, lanes, false);
    for (int i = 0; i < kLanes; ++i) {
        EXPECT_EQ(toHex(encTags[i]), toHex(decTags[i])) << "lane " << i;
        if (i == 3)
            EXPECT_EQ(toHex(encTags[i]), toHex(lanes[i].tag));
        else
            EXPECT_NE(toHex(encTags[i]), toHex(lanes[i].tag)) << "lane " << i;
    }

    // The harness's own shape: 7-byte nonce, 12-byte tag, 32 KiB of additional data, then
    // encryption call after call on the one context.
    std::vector<AeadLane> h(kLanes);
    Random rnd(61);
    for (AeadLane& l : h)
        l.key = rnd.bytes(16), l.iv = rnd.bytes(7), l.aad = rnd.bytes(32768), l.pt = rnd.bytes(32768), l.tagLen = 12;
    ASSERT_EQ(ccmStart(h, ctx, std::vector<uint64_t>(kLanes, ~0ull)), 0u);
    AeadArrays a(h);
    for (int n = 0; n < 20; ++n) ASSERT_EQ(tzv_sm4_ccm_encrypt_mb16(a.out, a.in, a.len, &ctx), 0u);
}

TEST(Sm4Ccm, BadParametersOrderAndLengthsGiveTheirStatus)
{
    std::vector<AeadLane> lanes = ccmLanes();
    AeadArrays a(lanes);
    a.ivLen[1] = 6;       // nonce below 7 bytes
    a.ivLen[2] = 14;      // nonce above 13 bytes
    a.tagLen[4] = 5;      // odd tag length
    a.tagLen[5] = 18;     // tag above 16 bytes
    a.ivLen[6] = 13;      // a 2-byte length field...
    a.total[6] = 1 << 16; // ...cannot announce 2^16 bytes
    a.iv[8] = nullptr;
    tzv_sm4_ccm_ctx_mb16 ctx;
    EXPECT_EQ(tzv_sm4_ccm_init_mb16(a.key, a.iv, a.ivLen, a.tagLen, a.total, &ctx), 0x0000000201110110ull);

    // The good lanes go on; the failed ones stay failed (1).
    EXPECT_EQ(tzv_sm4_ccm_update_aad_mb16(a.aad, a.aadLen, &ctx), 0x0000000101110110ull);
    EXPECT_EQ(tzv_sm4_ccm_update_aad_mb16(a.aad, a.aadLen, &ctx), 0x1111111111111111ull)
        << "additional data comes in one call";

    a.len[10] = -1;
    a.len[12] += 1; // one byte beyond the announced length
    a.len[13] = 0;  // nothing yet of its 31 bytes
    EXPECT_EQ(tzv_sm4_ccm_encrypt_mb16(a.out, a.in, a.len, &ctx), 0x0001010101110110ull);
    for (int i = 0; i < kLanes; ++i) a.len[i] = i == 10 || i == 12 ? (int)lanes[i].pt.size() : 0;
    EXPECT_EQ(tzv_sm4_ccm_encrypt_mb16(a.out, a.in, a.len, &ctx), 0x0000000101110110ull);
    for (int i : {0, 3, 7, 9, 10, 12, 15}) EXPECT_EQ(a.text(i), toHex(lanes[i].ct)) << "lane " << i;

    // Lane 13 is one byte short of its 31 announced bytes: no tag yet.
    for (int i = 0; i < kLanes; ++i) a.len[i] = i == 13 ? 30 : 0;
    EXPECT_EQ(tzv_sm4_ccm_encrypt_mb16(a.out, a.in, a.len, &ctx), 0x0000000101110110ull);
    tzv_status16 sts;
    std::vector<Bytes> tags =
        tagsOf(lanes, &sts, [&](uint8_t** t, const int* n) { return tzv_sm4_ccm_get_tag_mb16(t, n, &ctx); });
    EXPECT_EQ(sts, 0x0010000101110110ull);
    for (int i : {0, 3, 7, 9, 10, 12, 15}) EXPECT_EQ(toHex(tags[i]), toHex(lanes[i].tag)) << "lane " << i;
    // After the tag only init.
    EXPECT_EQ(tzv_sm4_ccm_encrypt_mb16(a.out, a.in, a.len, &ctx), 0x1111111111111111ull);

    std::memset(&ctx, 0, sizeof ctx);
    EXPECT_EQ(tzv_sm4_ccm_update_aad_mb16(a.aad, a.aadLen, &ctx), 0x1111111111111111ull) << "before init";
    EXPECT_EQ(tzv_sm4_ccm_encrypt_mb16(a.out, a.in, a.len, &ctx), 0x1111111111111111ull) << "before init";
    EXPECT_EQ(tzv_sm4_ccm_init_mb16(a.key, a.iv, a.ivLen, a.tagLen, nullptr, &ctx), 0x2222222222222222ull);
}
