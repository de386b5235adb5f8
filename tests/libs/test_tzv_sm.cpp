// Known-answer tests of libtzvcrypto's 16-lane SM4 in every mode and direction and of its SM3: the
// standards' examples and python3-cryptography-vectors in some lanes, OpenSSL's independent SM4 and
// SM3 for random data of different lengths, 0 included, in the others, and bad lanes beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tzv_sm_lanes.h"
#include "vector_file.h"

using smlanes::Bytes;
using smlanes::kLanes;
using smlanes::Lane;
using smlanes::LaneResult;
using smlanes::Mode;
using vectors::fromHex;

namespace {

Bytes random(std::mt19937& gen, std::size_t n)
{
    Bytes b(n);
    for (auto& x : b) x = (uint8_t)gen();
    return b;
}

// Byte-wise equality that names the first difference, for texts too long to print.
::testing::AssertionResult sameBytes(const Bytes& got, const Bytes& want)
{
    if (got == want) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got.size() << " bytes against " << want.size() << ", first difference at "
                                         << std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin();
}

void expectLanes(const std::vector<LaneResult>& got, const std::vector<LaneResult>& want)
{
    for (int i = 0; i < kLanes; ++i) {
        SCOPED_TRACE("lane " + std::to_string(i));
        EXPECT_EQ(got[i].status, want[i].status);
        EXPECT_TRUE(sameBytes(got[i].out, want[i].out)) << "text";
        EXPECT_TRUE(sameBytes(got[i].iv, want[i].iv)) << "IV";
        EXPECT_TRUE(sameBytes(got[i].tag, want[i].tag)) << "tag or digest";
        EXPECT_TRUE(got[i].guardKept) << "written beyond the text or tag";
    }
}

// What a refused lane ends with: its status, nothing written, the IV as it was.
LaneResult untouched(const Lane& l, unsigned status)
{
    return LaneResult{status, l.inPlace ? l.in : Bytes(l.in.size(), smlanes::kSentinel), l.iv,
                      Bytes((std::size_t)l.tagLen, smlanes::kSentinel)};
}

const struct {
    Mode mode;
    const char* name;
    const char* vectorFile; // under ciphers/SM4/, or null
    bool wholeBlocks;
} kModes[] = {
    {Mode::Ecb, "ECB", "draft-ribose-cfrg-sm4-10-ecb.txt", true},
    {Mode::Cbc, "CBC", "draft-ribose-cfrg-sm4-10-cbc.txt", true},
    {Mode::Cfb, "CFB128", "draft-ribose-cfrg-sm4-10-cfb.txt", false},
    {Mode::Ofb, "OFB", "draft-ribose-cfrg-sm4-10-ofb.txt", false},
    {Mode::Ctr, "CTR128", "draft-ribose-cfrg-sm4-10-ctr.txt", false},
    {Mode::Xts, "XTS", nullptr, false},
};

using LaneInts = int[kLanes];

struct AeadRow {
    Mode mode;
    const char* name;
    LaneInts ivLens, aadLens, textLens, tagLens;
    const char *exampleText, *exampleTag;
};

// GCM: IVs of 12 bytes (J0 = IV || 1) and others (J0 from GHASH); CCM: every nonce length, the
// additional-data lengths where its length encoding changes (2^16 - 2^8), every tag length.
const AeadRow kAead[] = {
    {Mode::Gcm, "GCM",
     {12, 12, 16, 60, 12, 13, 12, 64, 12, 8, 12, 17, 12, 32, 12, 12},
     {31, 20, 16, 1, 5, 0, 64, 33, 15, 17, 1000, 0, 3, 48, 90, 20},
     {32767, 64, 1, 15, 16, 17, 31, 32, 0, 64, 100, 255, 256, 1000, 4099, 64},
     {16, 16, 16, 4, 8, 16, 13, 14, 15, 16, 16, 12, 16, 16, 16, 16},
     "17f399f08c67d5ee19d0dc9969c4bb7d5fd46fd3756489069157b282bb200735"
     "d82710ca5c22f0ccfa7cbf93d496ac15a56834cbcf98c397b4024a2691233b8d",
     "83de3541e4c2b58177e065a9bf7b62ec"},
    {Mode::Ccm, "CCM",
     {12, 12, 9, 10, 11, 12, 13, 7, 13, 12, 7, 8, 11, 13, 7, 12},
     {5, 20, 14, 15, 16, 30, 0, 70000, 65279, 65280, 3, 0, 100, 17, 33, 20},
     {47, 64, 15, 16, 17, 100, 255, 256, 1000, 33, 4099, 32768, 0, 31, 48, 64},
     {6, 16, 8, 10, 12, 14, 16, 12, 16, 4, 12, 16, 8, 16, 6, 16},
     "48af93501fa62adbcd414cce6034d895dda1bf8f132f042098661572e7483094"
     "fd12e518ce062c98acee28d95df4416bed31a2f04476c18bb40c84a74b97dc5b",
     "16842d4fa186f56ab33256971fa110f4"},
};

// Random lanes of the row's lengths, each lane's text in pieces of its own size (some the whole
// text at once), every third lane in place; lanes 1 and 15 the published GCM and CCM example.
std::vector<Lane> aeadLanes(const AeadRow& r, uint32_t seed)
{
    std::mt19937 rnd(seed);
    std::vector<Lane> lanes(kLanes);
    for (int i = 0; i < kLanes; ++i) {
        Lane& l = lanes[i];
        if (i == 1 || i == 15) {
            l.key = fromHex("0123456789abcdeffedcba9876543210"), l.iv = fromHex("00001234567800000000abcd");
            l.aad = fromHex("feedfacedeadbeeffeedfacedeadbeefabaddad2");
            l.in = fromHex("aaaaaaaaaaaaaaaabbbbbbbbbbbbbbbbccccccccccccccccdddddddddddddddd"
                           "eeeeeeeeeeeeeeeeffffffffffffffffeeeeeeeeeeeeeeeeaaaaaaaaaaaaaaaa");
        } else {
            l.key = random(rnd, 16), l.iv = random(rnd, (std::size_t)r.ivLens[i]);
            l.aad = random(rnd, (std::size_t)r.aadLens[i]), l.in = random(rnd, (std::size_t)r.textLens[i]);
        }
        l.tagLen = r.tagLens[i];
        l.piece = i % 4 == 0 ? 0 : (std::size_t)(7 * i + 1);
        l.inPlace = i % 3 == 1;
    }
    return lanes;
}

} // namespace

// Lanes 0..3: the file's vectors (as many as it has); the others random data against OpenSSL, lane 6
// with zero counter words above the low one, lane 7 with a counter that carries through all 128
// bits, every third lane in place; one lane null and one of a bad length, other lanes in each mode.
// Random texts: whole blocks, 0, long texts and, for the modes that take any length, a partial last
// block. XTS needs 16 bytes or more and steals cipher text for a partial block: every other lane has
// one; lane 5 has the longest text XTS takes, 2^24 bytes.
TEST(Sm4, ModesMatchVectorsAndOpensslInEveryLane)
{
    static const int kLens[kLanes] = {64, 64, 64, 64, 0, 16, 32, 48, 112, 160, 4096, 32768, 1024, 80, 48, 64};
    for (int row = 0; row < (int)std::size(kModes); ++row) {
        const auto& m = kModes[row];
        std::vector<vectors::Record> kats;
        if (m.vectorFile) kats = vectors::readFile(vectors::path(std::string("ciphers/SM4/") + m.vectorFile));
        for (bool encrypt : {true, false}) {
            SCOPED_TRACE(std::string(m.name) + (encrypt ? " encrypt" : " decrypt"));
            std::mt19937 rnd(encrypt ? 11 : 12);
            std::vector<Lane> lanes(kLanes);
            std::vector<LaneResult> want(kLanes);
            for (int i = 0; i < kLanes; ++i) {
                Lane& l = lanes[i];
                const bool kat = i < (int)kats.size() && i < 4;
                l.key = kat ? kats[i].hex("KEY") : random(rnd, m.mode == Mode::Xts ? 32 : 16);
                l.iv = kat && kats[i].has("IV") ? kats[i].hex("IV") : random(rnd, 16);
                if (i == 6) l.iv = fromHex("00000000000000000000000000000001"); // words that must not carry
                if (i == 7) l.iv = fromHex("00ffffffffffffffffffffffffffffff");
                const int n = m.mode != Mode::Xts ? kLens[i] + (m.wholeBlocks ? 0 : (i * 5) % 16)
                              : i == 5            ? 1 << 24
                                                  : 16 + kLens[i] + (i % 2 ? i : 0);
                l.in = kat ? kats[i].hex(encrypt ? "PLAINTEXT" : "CIPHERTEXT") : random(rnd, (std::size_t)n);
                l.inPlace = i % 3 == 1;
                want[i] = smlanes::reference(m.mode, encrypt, l);
                if (kat) want[i].out = kats[i].hex(encrypt ? "CIPHERTEXT" : "PLAINTEXT");
            }
            const int nullLane = 8 + row, badLane = 15 - row;
            lanes[nullLane].null = true;
            want[nullLane] = untouched(lanes[nullLane], 2);
            lanes[badLane].len = m.wholeBlocks ? 31 : m.mode == Mode::Xts ? 15 : -1;
            want[badLane] = untouched(lanes[badLane], 1);
            expectLanes(smlanes::run(m.mode, encrypt, lanes), want);
        }
    }
}

// Encryption, then decryption of the encrypted texts: both give the same tag. Lane 9 passes a
// negative length once (refused, then the lane goes on), lane 14 is null.
TEST(Sm4Aead, GcmAndCcmMatchThePublishedExampleAndOpensslInPieces)
{
    for (const AeadRow& r : kAead) {
        std::vector<Lane> lanes = aeadLanes(r, 41);
        lanes[9].refuseOnce = true;
        lanes[14].null = true;
        std::vector<LaneResult> want(kLanes);
        for (bool encrypt : {true, false}) {
            SCOPED_TRACE(std::string(r.name) + (encrypt ? " encrypt" : " decrypt"));
            for (int i = 0; i < kLanes; ++i) {
                if (i == 14) continue;
                if (!encrypt) lanes[i].in = want[i].out;
                Bytes tag = want[i].tag;
                want[i] = smlanes::reference(r.mode, encrypt, lanes[i]);
                if (!encrypt) { EXPECT_TRUE(sameBytes(want[i].tag, tag)) << "OpenSSL's own tags, lane " << i; }
                if ((i == 1 || i == 15) && encrypt)
                    want[i].out = fromHex(r.exampleText), want[i].tag = fromHex(r.exampleTag);
            }
            want[9].status = 1;
            want[14] = untouched(lanes[14], 2);
            expectLanes(smlanes::run(r.mode, encrypt, lanes), want);
        }
    }
}

// The harness announces all ones (unbounded) and never asks for the tag: the text is the bounded
// message's, and the tag, over an all-ones length field, differs from the bounded one but is the
// same for encryption and decryption. Lane 3 stays bounded beside the others.
TEST(Sm4Ccm, UnboundedLengthGivesTheTextOfTheBoundedMessage)
{
    std::vector<Lane> lanes = aeadLanes(kAead[1], 61);
    for (int i = 0; i < kLanes; ++i)
        if (i != 3) lanes[i].total = ~0ull;
    std::vector<LaneResult> enc = smlanes::run(Mode::Ccm, true, lanes);
    std::vector<Lane> back = lanes;
    for (int i = 0; i < kLanes; ++i) back[i].in = enc[i].out;
    std::vector<LaneResult> dec = smlanes::run(Mode::Ccm, false, back);
    for (int i = 0; i < kLanes; ++i) {
        SCOPED_TRACE("lane " + std::to_string(i));
        LaneResult bounded = smlanes::reference(Mode::Ccm, true, lanes[i]);
        EXPECT_EQ(enc[i].status | dec[i].status, 0u);
        EXPECT_TRUE(sameBytes(enc[i].out, bounded.out));
        EXPECT_TRUE(sameBytes(dec[i].out, lanes[i].in));
        EXPECT_EQ(enc[i].tag == bounded.tag, i == 3);
        EXPECT_TRUE(sameBytes(dec[i].tag, enc[i].tag));
    }
}

// Lanes 0..5 the six OSCCA vectors; then random messages around the padding boundaries (55, 56,
// 63 and 64 bytes) and longer, against OpenSSL. Streamed, each lane comes in pieces of its own size
// (7i + 1 bytes; every third lane at once), so the lanes finish at different calls and most calls
// give some lanes nothing. Lane 12 passes a negative length once (refused, then the lane goes on);
// lane 6 is null, lane 9 has a negative length.
TEST(Sm3, DigestsMatchOsccaVectorsAndOpensslInOneCallAndStreamed)
{
    std::vector<vectors::Record> kats = vectors::readFile(vectors::path("hashes/SM3/oscca.txt"));
    ASSERT_EQ(kats.size(), 6u);
    static const int kLens[kLanes] = {0, 0, 0, 0, 0, 0, 5, 55, 56, 1, 63, 64, 65, 119, 100000, 57};
    std::mt19937 rnd(71);
    std::vector<Lane> lanes(kLanes);
    std::vector<LaneResult> want(kLanes);
    for (int i = 0; i < kLanes; ++i) {
        Lane& l = lanes[i];
        l.in = i < 6 ? kats[i].hex("Msg") : random(rnd, (std::size_t)kLens[i]);
        if (i < 6) l.in.resize(std::stoul(kats[i].text("Len")) / 8); // the bits of the message
        want[i] = i < 6 ? LaneResult{0, {}, {}, kats[i].hex("MD")} : smlanes::reference(Mode::Sm3, false, l);
        l.piece = i % 3 == 0 ? 0 : (std::size_t)(7 * i + 1);
    }
    lanes[6].null = true;
    lanes[9].len = -1;
    for (bool streamed : {false, true}) {
        SCOPED_TRACE(streamed ? "streamed" : "one call");
        lanes[12].refuseOnce = streamed;
        want[12].status = streamed ? 1 : 0;
        want[6] = LaneResult{2, {}, {}, Bytes(32, smlanes::kSentinel)};
        want[9] = LaneResult{1, {}, {}, Bytes(32, smlanes::kSentinel)};
        if (streamed) want[9].tag = smlanes::reference(Mode::Sm3, false, Lane{}).tag; // refused every time, then finished empty
        expectLanes(smlanes::run(Mode::Sm3, streamed, lanes), want);
    }
}
