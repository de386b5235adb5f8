// The generic mode code of libtzvcrypto (block_modes.h) instantiated with AES, against the NIST
// AES vectors of python3-cryptography-vectors: what proves CBC, CFB128, OFB, CTR, XTS, GCM and CCM
// once for every block cipher, SM4 included. AES here is OpenSSL's, one ECB block at a time.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../../libs/tzvcrypto/src/block_modes.h"
#include "tzv_sm_test_support.h"

using namespace smtest;
namespace modes = tzv::modes;

namespace {

// AES as the block-cipher interface of block_modes.h.
class AesCipher {
public:
    explicit AesCipher(const Bytes& key)
    {
        const EVP_CIPHER* cipher = key.size() == 16   ? EVP_aes_128_ecb()
                                   : key.size() == 24 ? EVP_aes_192_ecb()
                                                      : EVP_aes_256_ecb();
        for (int enc = 0; enc < 2; ++enc) {
            m_ctx[enc] = EVP_CIPHER_CTX_new();
            EVP_CipherInit_ex(m_ctx[enc], cipher, nullptr, key.data(), nullptr, enc);
            EVP_CIPHER_CTX_set_padding(m_ctx[enc], 0);
        }
    }
    ~AesCipher() { EVP_CIPHER_CTX_free(m_ctx[0]), EVP_CIPHER_CTX_free(m_ctx[1]); }
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;

    void encryptBlocks(const uint8_t* in, uint8_t* out, std::size_t blocks) const { run(1, in, out, blocks); }
    void decryptBlocks(const uint8_t* in, uint8_t* out, std::size_t blocks) const { run(0, in, out, blocks); }

private:
    void run(int enc, const uint8_t* in, uint8_t* out, std::size_t blocks) const
    {
        int outl = 0;
        if (blocks) EVP_CipherUpdate(m_ctx[enc], out, &outl, in, (int)(blocks * 16));
    }
    EVP_CIPHER_CTX* m_ctx[2];
};

std::vector<VectorCase> load(const std::string& relative)
{
    std::vector<VectorCase> cases = readVectorFile(vectorPath(relative));
    EXPECT_FALSE(cases.empty()) << relative;
    return cases;
}

const char* const kKeySizes[] = {"128", "192", "256"};
const char* const kKatKinds[] = {"GFSbox", "KeySbox", "VarKey", "VarTxt", "MMT"};

// Files "ciphers/AES/<dir>/<prefix><kind><size>.rsp" for every kind and key size.
std::vector<std::string> katFiles(const std::string& dir, const std::string& prefix)
{
    std::vector<std::string> files;
    for (const char* kind : kKatKinds)
        for (const char* size : kKeySizes) files.push_back("ciphers/AES/" + dir + "/" + prefix + kind + size + ".rsp");
    return files;
}

// The first n bytes of a field whose "00" stands for an empty value when its length field is 0.
Bytes sized(const VectorCase& c, const std::string& field, long n)
{
    Bytes b = c.bytes(field);
    b.resize((std::size_t)n);
    return b;
}

} // namespace

namespace {

// A mode of the known-answer files, run on n bytes from the IV block iv (unused by ECB).
struct KatMode {
    const char* dir;
    const char* prefix;
    bool stream;     // any length, and a text cut short is the head of the full one
    void (*run)(const AesCipher&, uint8_t* iv, const uint8_t* in, uint8_t* out, std::size_t n, bool encrypt);
};

const KatMode kKatModes[] = {
    {"ECB", "ECB", false,
     [](const AesCipher& a, uint8_t*, const uint8_t* in, uint8_t* out, std::size_t n, bool e) {
         e ? modes::ecbEncrypt(a, in, out, n) : modes::ecbDecrypt(a, in, out, n);
     }},
    {"CBC", "CBC", false,
     [](const AesCipher& a, uint8_t* iv, const uint8_t* in, uint8_t* out, std::size_t n, bool e) {
         e ? modes::cbcEncrypt(a, iv, in, out, n) : modes::cbcDecrypt(a, iv, in, out, n);
     }},
    {"CFB", "CFB128", true,
     [](const AesCipher& a, uint8_t* iv, const uint8_t* in, uint8_t* out, std::size_t n, bool e) {
         e ? modes::cfb128Encrypt(a, iv, in, out, n) : modes::cfb128Decrypt(a, iv, in, out, n);
     }},
    {"OFB", "OFB", true,
     [](const AesCipher& a, uint8_t* iv, const uint8_t* in, uint8_t* out, std::size_t n, bool) {
         modes::ofb(a, iv, in, out, n);
     }},
};

} // namespace

TEST(BlockModesAes, EcbCbcCfb128AndOfbMatchNistKnownAnswers)
{
    for (const KatMode& m : kKatModes) {
        int checked = 0;
        for (const std::string& file : katFiles(m.dir, m.prefix)) {
            for (const VectorCase& c : load(file)) {
                AesCipher aes(c.bytes("KEY"));
                const Bytes pt = c.bytes("PLAINTEXT"), ct = c.bytes("CIPHERTEXT");
                const Bytes iv0 = c.has("IV") ? c.bytes("IV") : Bytes(16, 0);
                const std::string where = file + " " + c.str("COUNT");
                for (bool encrypt : {true, false}) {
                    const Bytes& in = encrypt ? pt : ct;
                    const Bytes& expect = encrypt ? ct : pt;
                    Bytes iv = iv0, out(in.size());
                    m.run(aes, iv.data(), in.data(), out.data(), in.size(), encrypt);
                    ASSERT_EQ(toHex(out), toHex(expect)) << where;
                    // OFB leaves the IV as the last key stream block: plain text XOR cipher text there.
                    if (std::string(m.dir) == "OFB") {
                        Bytes lastKs(16);
                        modes::xorBlock(lastKs.data(), pt.data() + pt.size() - 16, ct.data() + ct.size() - 16);
                        ASSERT_EQ(toHex(iv), toHex(lastKs)) << where;
                    }
                    // In place, as the mode code promises.
                    iv = iv0;
                    out = in;
                    m.run(aes, iv.data(), out.data(), out.data(), out.size(), encrypt);
                    ASSERT_EQ(toHex(out), toHex(expect)) << where << " in place";
                    // A text cut short: the last block may be partial, and is the head of the full one.
                    if (m.stream && pt.size() > 20) {
                        const std::size_t n = pt.size() - 5;
                        iv = iv0;
                        m.run(aes, iv.data(), in.data(), out.data(), n, encrypt);
                        ASSERT_EQ(toHex(out.data(), n), toHex(expect.data(), n)) << where << " cut short";
                    }
                }
                ++checked;
            }
        }
        EXPECT_GT(checked, 500) << m.dir;
    }
}

TEST(BlockModesAes, Ctr128MatchesKnownAnswersAndContinuesAcrossCalls)
{
    int checked = 0;
    for (const char* size : kKeySizes) {
        for (const VectorCase& c : load(std::string("ciphers/AES/CTR/aes-") + size + "-ctr.txt")) {
            AesCipher aes(c.bytes("KEY"));
            Bytes pt = c.bytes("PLAINTEXT"), ct = c.bytes("CIPHERTEXT"), out(pt.size());
            Bytes ctr = c.bytes("IV");
            modes::ctr128(aes, ctr.data(), pt.data(), out.data(), pt.size());
            ASSERT_EQ(toHex(out), toHex(ct)) << size << " " << c.str("COUNT");
            // In two calls cut at a block boundary: the counter left by the first goes on.
            ctr = c.bytes("IV");
            std::size_t cut = pt.size() > 16 ? 16 : 0;
            modes::ctr128(aes, ctr.data(), ct.data(), out.data(), cut);
            modes::ctr128(aes, ctr.data(), ct.data() + cut, out.data() + cut, ct.size() - cut);
            ASSERT_EQ(toHex(out), toHex(pt)) << size << " " << c.str("COUNT");
            // The counter has moved on by one per block, a partial last block included.
            Bytes expect = c.bytes("IV");
            for (std::size_t b = 0; b < (pt.size() + 15) / 16; ++b)
                for (int i = 15; i >= 0 && ++expect[i] == 0; --i) {
                }
            ASSERT_EQ(toHex(ctr), toHex(expect));
            ++checked;
        }
    }
    EXPECT_EQ(checked, 9);
}

TEST(BlockModesAes, XtsMatchesNistVectorsWithCipherTextStealing)
{
    int checked = 0, stolen = 0;
    for (const char* tweakKind : {"tweak-128hexstr", "tweak-dataunitseqno"}) {
        for (const char* size : {"128", "256"}) {
            std::string file = std::string("ciphers/AES/XTS/") + tweakKind + "/XTSGenAES" + size + ".rsp";
            for (const VectorCase& c : load(file)) {
                long bits = c.num("DataUnitLen");
                if (bits % 8) continue; // data units of whole bytes only
                Bytes key = c.bytes("Key");
                Bytes k1(key.begin(), key.begin() + key.size() / 2), k2(key.begin() + key.size() / 2, key.end());
                AesCipher data(k1), tweakCipher(k2);
                Bytes tweak(16, 0);
                if (c.has("i")) {
                    tweak = c.bytes("i");
                } else {
                    uint64_t seq = std::stoull(c.str("DataUnitSeqNumber"));
                    for (int i = 0; i < 8; ++i) tweak[i] = (uint8_t)(seq >> (8 * i));
                }
                Bytes pt = c.bytes("PT"), ct = c.bytes("CT"), out(pt.size());
                ASSERT_EQ(pt.size() * 8, (std::size_t)bits);
                bool encrypt = c.str("section") == "ENCRYPT";
                const Bytes& in = encrypt ? pt : ct;
                const Bytes& expect = encrypt ? ct : pt;
                modes::xts(data, tweakCipher, tweak.data(), in.data(), out.data(), in.size(), encrypt);
                ASSERT_EQ(toHex(out), toHex(expect)) << file << " " << c.str("COUNT");
                // And back, in place.
                modes::xts(data, tweakCipher, tweak.data(), out.data(), out.data(), out.size(), !encrypt);
                ASSERT_EQ(toHex(out), toHex(in)) << file << " " << c.str("COUNT");
                ++checked;
                if (pt.size() % 16) ++stolen;
            }
        }
    }
    EXPECT_GT(checked, 2000);
    EXPECT_GT(stolen, 300);
}

namespace {

// Runs GCM on one vector with the additional data and the text each cut into pieces at the given
// offsets (ascending, within the length); returns false when a step refuses.
bool gcmRun(const AesCipher& aes, const Bytes& iv, const Bytes& aad, const Bytes& in, Bytes& out,
            std::vector<std::size_t> cuts, bool encrypt, Bytes& tag)
{
    modes::GcmState st;
    if (!modes::gcmInit(st, aes, iv.data(), iv.size())) return false;
    modes::GhashTable tab;
    tab.init(st.h);
    auto pieces = [&](std::size_t len, auto fn) {
        std::size_t from = 0;
        for (std::size_t cut : cuts) {
            if (cut > from && cut < len) {
                if (!fn(from, cut - from)) return false;
                from = cut;
            }
        }
        return fn(from, len - from);
    };
    if (!aad.empty() && !pieces(aad.size(), [&](std::size_t off, std::size_t n) {
            return modes::gcmAad(st, tab, aad.data() + off, n);
        }))
        return false;
    out.assign(in.size(), 0);
    if (!pieces(in.size(), [&](std::size_t off, std::size_t n) {
            return modes::gcmCrypt(st, aes, tab, in.data() + off, out.data() + off, n, encrypt);
        }))
        return false;
    return modes::gcmTag(st, tab, tag.data(), tag.size());
}

} // namespace

TEST(BlockModesAes, GcmMatchesNistEncryptAndDecryptVectorsInPieces)
{
    const std::vector<std::vector<std::size_t>> cutSets = {{}, {1, 17, 40}, {15, 16, 33}};
    int encrypted = 0, accepted = 0, rejected = 0;
    for (const char* size : kKeySizes) {
        std::string file = std::string("ciphers/AES/GCM/gcmEncryptExtIV") + size + ".rsp";
        for (const VectorCase& c : load(file)) {
            AesCipher aes(c.bytes("Key"));
            Bytes ct = c.bytes("CT"), expectTag = c.bytes("Tag"), out, tag(expectTag.size());
            for (const auto& cuts : cutSets) {
                ASSERT_TRUE(gcmRun(aes, c.bytes("IV"), c.bytes("AAD"), c.bytes("PT"), out, cuts, true, tag));
                ASSERT_EQ(toHex(out), toHex(ct)) << file << " " << c.str("Count");
                ASSERT_EQ(toHex(tag), toHex(expectTag)) << file << " " << c.str("Count");
            }
            ++encrypted;
        }
        file = std::string("ciphers/AES/GCM/gcmDecrypt") + size + ".rsp";
        for (const VectorCase& c : load(file)) {
            AesCipher aes(c.bytes("Key"));
            Bytes expectTag = c.bytes("Tag"), out, tag(expectTag.size());
            ASSERT_TRUE(gcmRun(aes, c.bytes("IV"), c.bytes("AAD"), c.bytes("CT"), out, {7, 31}, false, tag));
            if (c.has("FAIL")) {
                EXPECT_NE(toHex(tag), toHex(expectTag)) << file << " " << c.str("Count");
                ++rejected;
            } else {
                ASSERT_EQ(toHex(tag), toHex(expectTag)) << file << " " << c.str("Count");
                ASSERT_EQ(toHex(out), toHex(c.bytes("PT"))) << file << " " << c.str("Count");
                ++accepted;
            }
        }
    }
    EXPECT_GT(encrypted, 20000);
    EXPECT_GT(accepted, 10000);
    EXPECT_GT(rejected, 5000);
}

TEST(BlockModesAes, GcmRefusesCallsOutOfOrderAndBadLengths)
{
    AesCipher aes(Bytes(16, 7));
    Bytes iv(12, 1), data(40, 2), out(40), tag(16);
    modes::GcmState st;
    EXPECT_FALSE(modes::gcmInit(st, aes, iv.data(), 0));
    ASSERT_TRUE(modes::gcmInit(st, aes, iv.data(), iv.size()));
    modes::GhashTable tab;
    tab.init(st.h);
    EXPECT_TRUE(modes::gcmAad(st, tab, data.data(), 5));
    EXPECT_TRUE(modes::gcmAad(st, tab, data.data(), 5));
    EXPECT_TRUE(modes::gcmCrypt(st, aes, tab, data.data(), out.data(), 40, true));
    EXPECT_FALSE(modes::gcmAad(st, tab, data.data(), 5)) << "additional data after the text";
    EXPECT_FALSE(modes::gcmTag(st, tab, tag.data(), 10)) << "a tag length GCM does not allow";
    EXPECT_TRUE(modes::gcmTag(st, tab, tag.data(), 12));
    EXPECT_FALSE(modes::gcmCrypt(st, aes, tab, data.data(), out.data(), 1, true)) << "text after the tag";
    EXPECT_FALSE(modes::gcmTag(st, tab, tag.data(), 16)) << "second tag";
    // The text limit of 2^39 - 256 bits, checked before anything is processed.
    ASSERT_TRUE(modes::gcmInit(st, aes, iv.data(), iv.size()));
    st.textLen = modes::kGcmMaxText - 16;
    EXPECT_FALSE(modes::gcmCrypt(st, aes, tab, data.data(), out.data(), 17, true));
    EXPECT_TRUE(modes::gcmCrypt(st, aes, tab, data.data(), out.data(), 16, true));
}

namespace {

struct CcmResult {
    bool ok = false;
    Bytes out;
    Bytes tag;
};

// Runs CCM on one vector, the payload cut at the given offsets.
CcmResult ccmRun(const AesCipher& aes, const Bytes& nonce, long tagLen, const Bytes& aad, const Bytes& in,
                 bool encrypt, std::vector<std::size_t> cuts = {})
{
    CcmResult r;
    modes::CcmState st;
    if (!modes::ccmInit(st, nonce.data(), nonce.size(), (std::size_t)tagLen, in.size())) return r;
    if (!aad.empty() && !modes::ccmAad(st, aes, aad.data(), aad.size())) return r;
    r.out.assign(in.size(), 0);
    std::size_t from = 0;
    cuts.push_back(in.size());
    for (std::size_t cut : cuts) {
        if (cut < from || cut > in.size()) continue;
        if (!modes::ccmCrypt(st, aes, in.data() + from, r.out.data() + from, cut - from, encrypt)) return r;
        from = cut;
    }
    r.tag.assign((std::size_t)tagLen, 0);
    r.ok = modes::ccmTag(st, aes, r.tag.data(), r.tag.size());
    return r;
}

} // namespace

TEST(BlockModesAes, CcmMatchesNistGenerationVectorsInPieces)
{
    int checked = 0;
    for (const char* kind : {"VADT", "VNT", "VPT", "VTT"}) {
        for (const char* size : kKeySizes) {
            std::string file = std::string("ciphers/AES/CCM/") + kind + size + ".rsp";
            for (const VectorCase& c : load(file)) {
                AesCipher aes(c.bytes("Key"));
                long plen = c.num("Plen"), tlen = c.num("Tlen");
                Bytes aad = sized(c, "Adata", c.num("Alen")), pt = sized(c, "Payload", plen);
                Bytes ct = c.bytes("CT");
                ASSERT_EQ(ct.size(), (std::size_t)(plen + tlen));
                std::string expectText = toHex(ct.data(), (std::size_t)plen);
                std::string expectTag = toHex(ct.data() + plen, (std::size_t)tlen);
                for (const auto& cuts : std::vector<std::vector<std::size_t>>{{}, {3, 16, 19}}) {
                    CcmResult r = ccmRun(aes, c.bytes("Nonce"), tlen, aad, pt, true, cuts);
                    ASSERT_TRUE(r.ok) << file << " " << c.str("Count");
                    ASSERT_EQ(toHex(r.out), expectText) << file << " " << c.str("Count");
                    ASSERT_EQ(toHex(r.tag), expectTag) << file << " " << c.str("Count");
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1500);
}

TEST(BlockModesAes, CcmDecryptionAcceptsAndRejectsAsNistSays)
{
    int passed = 0, failed = 0;
    for (const char* size : kKeySizes) {
        std::string file = std::string("ciphers/AES/CCM/DVPT") + size + ".rsp";
        for (const VectorCase& c : load(file)) {
            AesCipher aes(c.bytes("Key"));
            long plen = c.num("Plen"), tlen = c.num("Tlen");
            Bytes aad = sized(c, "Adata", c.num("Alen")), ct = c.bytes("CT");
            Bytes body(ct.begin(), ct.begin() + plen);
            CcmResult r = ccmRun(aes, c.bytes("Nonce"), tlen, aad, body, false, {5});
            ASSERT_TRUE(r.ok) << file << " " << c.str("Count");
            bool tagMatches = toHex(r.tag) == toHex(ct.data() + plen, (std::size_t)tlen);
            if (c.str("Result") == "Pass") {
                ASSERT_TRUE(tagMatches) << file << " " << c.str("Count");
                ASSERT_EQ(toHex(r.out), toHex(sized(c, "Payload", plen))) << file << " " << c.str("Count");
                ++passed;
            } else {
                ASSERT_FALSE(tagMatches) << file << " " << c.str("Count");
                ++failed;
            }
        }
    }
    EXPECT_EQ(passed, 240);
    EXPECT_EQ(failed, 480);
}

TEST(BlockModesAes, CcmRefusesBadParametersAndLengthsBeyondTheAnnounced)
{
    AesCipher aes(Bytes(16, 3));
    Bytes nonce(13, 9), data(64, 5), out(64), tag(16);
    modes::CcmState st;
    EXPECT_FALSE(modes::ccmInit(st, nonce.data(), 6, 16, 10)) << "nonce of 6 bytes";
    EXPECT_FALSE(modes::ccmInit(st, nonce.data(), 14, 16, 10)) << "nonce of 14 bytes";
    EXPECT_FALSE(modes::ccmInit(st, nonce.data(), 13, 5, 10)) << "odd tag length";
    EXPECT_FALSE(modes::ccmInit(st, nonce.data(), 13, 18, 10)) << "tag of 18 bytes";
    EXPECT_FALSE(modes::ccmInit(st, nonce.data(), 13, 16, 1u << 16)) << "length beyond a 2-byte field";
    ASSERT_TRUE(modes::ccmInit(st, nonce.data(), 13, 16, 65535));

    ASSERT_TRUE(modes::ccmInit(st, nonce.data(), 12, 8, 40));
    EXPECT_TRUE(modes::ccmAad(st, aes, data.data(), 3));
    EXPECT_FALSE(modes::ccmAad(st, aes, data.data(), 3)) << "second additional data";
    EXPECT_TRUE(modes::ccmCrypt(st, aes, data.data(), out.data(), 30, true));
    EXPECT_FALSE(modes::ccmCrypt(st, aes, data.data(), out.data(), 11, true)) << "beyond 40 bytes";
    EXPECT_FALSE(modes::ccmTag(st, aes, tag.data(), 8)) << "short of the 40 bytes announced";
    EXPECT_TRUE(modes::ccmCrypt(st, aes, data.data(), out.data(), 10, true));
    EXPECT_FALSE(modes::ccmTag(st, aes, tag.data(), 16)) << "another tag length than at init";
    EXPECT_TRUE(modes::ccmTag(st, aes, tag.data(), 8));
    EXPECT_FALSE(modes::ccmCrypt(st, aes, data.data(), out.data(), 0, true)) << "text after the tag";

    // Unbounded with a 2-byte length field: up to 65535 bytes in all.
    ASSERT_TRUE(modes::ccmInit(st, nonce.data(), 13, 16, modes::kCcmUnbounded));
    st.done = 65535 - 64;
    st.phase = modes::AeadPhase::Text;
    EXPECT_FALSE(modes::ccmCrypt(st, aes, data.data(), out.data(), 64 + 1, true));
    EXPECT_TRUE(modes::ccmCrypt(st, aes, data.data(), out.data(), 64, true));
}
