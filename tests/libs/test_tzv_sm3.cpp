// Known-answer tests of the 16-lane SM3 functions of libtzvcrypto.so.13: the OSCCA examples of
// python3-cryptography-vectors and, for other messages, OpenSSL's independent SM3. Every call runs
// all 16 lanes with different messages and lengths, and bad lanes beside good ones.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tzv_sm_test_support.h"
#include "tzvcrypto.h"

using namespace smtest;

namespace {

constexpr int kLanes = 16;
const uint64_t kAll1 = 0x1111111111111111ull;
const uint64_t kAll2 = 0x2222222222222222ull;

std::string opensslSm3(const Bytes& msg)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EXPECT_EQ(EVP_Digest(msg.data(), msg.size(), md, &n, EVP_sm3(), nullptr), 1);
    return toHex(md, n);
}

struct Sm3Lanes {
    std::vector<Bytes> msg = std::vector<Bytes>(kLanes);
    std::vector<std::string> digest = std::vector<std::string>(kLanes);
};

// The six OSCCA vectors, each in lanes i and i + 6 (and 12..15 the first four again).
Sm3Lanes osccaLanes()
{
    std::vector<VectorCase> kats = readVectorFile(vectorPath("hashes/SM3/oscca.txt"));
    EXPECT_EQ(kats.size(), 6u);
    Sm3Lanes l;
    for (int i = 0; i < kLanes; ++i) {
        const VectorCase& c = kats[(std::size_t)i % kats.size()];
        l.msg[i] = c.bytes("Msg");
        l.msg[i].resize((std::size_t)c.num("Len") / 8);
        l.digest[i] = c.str("MD");
    }
    return l;
}

Sm3Lanes randomLanes()
{
    // Around the padding boundaries (55, 56, 63, 64 bytes) and longer.
    static const int kLens[kLanes] = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 4096, 32768, 100000, 3};
    Random rnd(71);
    Sm3Lanes l;
    for (int i = 0; i < kLanes; ++i) {
        l.msg[i] = rnd.bytes((std::size_t)kLens[i]);
        l.digest[i] = opensslSm3(l.msg[i]);
    }
    return l;
}

// A pointer for every lane, also for an empty message.
const uint8_t* dataOf(const Bytes& b)
{
    static const uint8_t empty = 0;
    return b.empty() ? &empty : b.data();
}

std::vector<std::string> digestOneCall(const Sm3Lanes& l, uint64_t* sts)
{
    std::vector<Bytes> out(kLanes, Bytes(32, 0));
    const uint8_t* msg[kLanes];
    int len[kLanes];
    uint8_t* hash[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        msg[i] = dataOf(l.msg[i]);
        len[i] = (int)l.msg[i].size();
        hash[i] = out[i].data();
    }
    *sts = tzv_sm3_msg_digest_mb16(msg, len, hash);
    std::vector<std::string> hex;
    for (const Bytes& b : out) hex.push_back(toHex(b));
    return hex;
}

// Streams each lane's message in pieces whose sizes differ per lane (lane i: pieces of 7i + 1
// bytes, some calls giving a lane nothing), then finishes.
std::vector<std::string> digestStreamed(const Sm3Lanes& l)
{
    tzv_sm3_ctx_mb16 ctx;
    EXPECT_EQ(tzv_sm3_init_mb16(&ctx), 0u);
    std::vector<std::size_t> done(kLanes, 0);
    for (bool more = true; more;) {
        more = false;
        const uint8_t* msg[kLanes];
        int len[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            std::size_t piece = 7 * (std::size_t)i + 1;
            if (i % 3 == 0) piece *= 100; // some lanes in big steps
            std::size_t n = std::min(piece, l.msg[i].size() - done[i]);
            msg[i] = dataOf(l.msg[i]) + done[i];
            len[i] = (int)n;
            done[i] += n;
            more = more || done[i] < l.msg[i].size();
        }
        EXPECT_EQ(tzv_sm3_update_mb16(msg, len, &ctx), 0u);
    }
    std::vector<Bytes> out(kLanes, Bytes(32, 0));
    uint8_t* hash[kLanes];
    for (int i = 0; i < kLanes; ++i) hash[i] = out[i].data();
    EXPECT_EQ(tzv_sm3_final_mb16(hash, &ctx), 0u);
    std::vector<std::string> hex;
    for (const Bytes& b : out) hex.push_back(toHex(b));
    return hex;
}

} // namespace

TEST(Sm3, OneCallDigestMatchesOsccaVectorsAndOpenssl)
{
    for (const Sm3Lanes& l : {osccaLanes(), randomLanes()}) {
        uint64_t sts = ~0ull;
        std::vector<std::string> got = digestOneCall(l, &sts);
        EXPECT_EQ(sts, 0u);
        for (int i = 0; i < kLanes; ++i) EXPECT_EQ(got[i], l.digest[i]) << "lane " << i << ", " << l.msg[i].size() << " bytes";
    }
}

TEST(Sm3, StreamedDigestMatchesOsccaVectorsAndOpenssl)
{
    for (const Sm3Lanes& l : {osccaLanes(), randomLanes()}) {
        std::vector<std::string> got = digestStreamed(l);
        for (int i = 0; i < kLanes; ++i) EXPECT_EQ(got[i], l.digest[i]) << "lane " << i << ", " << l.msg[i].size() << " bytes";
    }
}

TEST(Sm3, BadLanesReportTheirStatusAndTheOthersStayCorrect)
{
    Sm3Lanes l = randomLanes();
    std::vector<Bytes> out(kLanes, Bytes(32, 0xA5));
    const uint8_t* msg[kLanes];
    int len[kLanes];
    uint8_t* hash[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        msg[i] = dataOf(l.msg[i]);
        len[i] = (int)l.msg[i].size();
        hash[i] = out[i].data();
    }
    msg[2] = nullptr;
    len[5] = -1;
    hash[9] = nullptr;
    msg[11] = nullptr, len[11] = -3; // both at once
    EXPECT_EQ(tzv_sm3_msg_digest_mb16(msg, len, hash), 0x0000302000100200ull);
    for (int i = 0; i < kLanes; ++i) {
        if (i == 2 || i == 5 || i == 9 || i == 11)
            EXPECT_EQ(toHex(out[i]), toHex(Bytes(32, 0xA5))) << "lane " << i;
        else
            EXPECT_EQ(toHex(out[i]), l.digest[i]) << "lane " << i;
    }
    EXPECT_EQ(tzv_sm3_msg_digest_mb16(nullptr, len, hash), kAll2);
    EXPECT_EQ(tzv_sm3_msg_digest_mb16(msg, nullptr, hash), kAll2);
    EXPECT_EQ(tzv_sm3_msg_digest_mb16(msg, len, nullptr), kAll2);

    // Streaming: a refused update leaves the lane's state as it was.
    tzv_sm3_ctx_mb16 ctx;
    ASSERT_EQ(tzv_sm3_init_mb16(&ctx), 0u);
    for (int i = 0; i < kLanes; ++i) {
        msg[i] = dataOf(l.msg[i]);
        len[i] = (int)l.msg[i].size();
        hash[i] = out[i].data();
    }
    len[7] = -1;
    msg[13] = nullptr;
    EXPECT_EQ(tzv_sm3_update_mb16(msg, len, &ctx), 0x0020000010000000ull);
    for (int i = 0; i < kLanes; ++i) len[i] = 0;
    len[7] = (int)l.msg[7].size();
    len[13] = (int)l.msg[13].size();
    msg[13] = dataOf(l.msg[13]);
    EXPECT_EQ(tzv_sm3_update_mb16(msg, len, &ctx), 0u);
    hash[4] = nullptr;
    EXPECT_EQ(tzv_sm3_final_mb16(hash, &ctx), 0x0000000000020000ull);
    for (int i = 0; i < kLanes; ++i)
        if (i != 4) {
            EXPECT_EQ(toHex(out[i]), l.digest[i]) << "lane " << i;
        }
    // Lane 4 was not finished: it still can be. The others are finished (1) and have no output (2).
    for (int i = 0; i < kLanes; ++i) hash[i] = i == 4 ? out[4].data() : nullptr;
    EXPECT_EQ(tzv_sm3_final_mb16(hash, &ctx), 0x3333333333303333ull);
    EXPECT_EQ(toHex(out[4]), l.digest[4]);
}

TEST(Sm3, CallsOutOfOrderFailEveryLane)
{
    tzv_sm3_ctx_mb16 ctx;
    std::memset(&ctx, 0, sizeof ctx);
    uint8_t buf[kLanes][32];
    const uint8_t* msg[kLanes];
    uint8_t* hash[kLanes];
    int len[kLanes];
    for (int i = 0; i < kLanes; ++i) msg[i] = buf[i], hash[i] = buf[i], len[i] = 32;
    EXPECT_EQ(tzv_sm3_update_mb16(msg, len, &ctx), kAll1) << "before init";
    EXPECT_EQ(tzv_sm3_final_mb16(hash, &ctx), kAll1) << "before init";
    ASSERT_EQ(tzv_sm3_init_mb16(&ctx), 0u);
    EXPECT_EQ(tzv_sm3_update_mb16(msg, len, &ctx), 0u);
    EXPECT_EQ(tzv_sm3_final_mb16(hash, &ctx), 0u);
    EXPECT_EQ(tzv_sm3_update_mb16(msg, len, &ctx), kAll1) << "after final";
    EXPECT_EQ(tzv_sm3_final_mb16(hash, &ctx), kAll1) << "second final";
    ASSERT_EQ(tzv_sm3_init_mb16(&ctx), 0u) << "init starts over";
    EXPECT_EQ(tzv_sm3_update_mb16(msg, len, &ctx), 0u);
    EXPECT_EQ(tzv_sm3_init_mb16(nullptr), kAll2);
    EXPECT_EQ(tzv_sm3_update_mb16(msg, len, nullptr), kAll2);
    EXPECT_EQ(tzv_sm3_final_mb16(hash, nullptr), kAll2);
}

TEST(Sm3, RepeatedUpdatesAsTheHarnessMakesThemHashTheConcatenation)
{
    // The harness's update test feeds the same message again and again to states it never
    // finishes; the state must stay a correct running hash however long that goes.
    Random rnd(81);
    Bytes m = rnd.bytes(1000);
    Bytes all;
    tzv_sm3_ctx_mb16 ctx;
    ASSERT_EQ(tzv_sm3_init_mb16(&ctx), 0u);
    const uint8_t* msg[kLanes];
    int len[kLanes];
    for (int i = 0; i < kLanes; ++i) msg[i] = m.data(), len[i] = 1000;
    for (int n = 0; n < 50; ++n) {
        ASSERT_EQ(tzv_sm3_update_mb16(msg, len, &ctx), 0u);
        all.insert(all.end(), m.begin(), m.end());
    }
    std::vector<Bytes> out(kLanes, Bytes(32));
    uint8_t* hash[kLanes];
    for (int i = 0; i < kLanes; ++i) hash[i] = out[i].data();
    ASSERT_EQ(tzv_sm3_final_mb16(hash, &ctx), 0u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(toHex(out[i]), opensslSm3(all)) << "lane " << i;
}
