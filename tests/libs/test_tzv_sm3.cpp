// Known-answer tests of libtzvcrypto's 16-lane SM3: the OSCCA examples of
// python3-cryptography-vectors and, for other messages, OpenSSL's independent SM3, in one call and
// streamed, with lanes of different lengths around the padding boundaries and bad lanes beside them.
#include <gtest/gtest.h>

#include <vector>

#include "tzv_sm_test_support.h"

using namespace smtest;
using smlanes::kLanes;
using smlanes::Lane;
using smlanes::LaneResult;

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
    Random rnd(71);
    std::vector<Lane> lanes(kLanes);
    std::vector<LaneResult> want(kLanes);
    for (int i = 0; i < kLanes; ++i) {
        Lane& l = lanes[i];
        if (i < 6) {
            l.in = kats[(std::size_t)i].hex("Msg");
            l.in.resize(std::stoul(kats[(std::size_t)i].text("Len")) / 8);
            want[i].tag = kats[(std::size_t)i].hex("MD");
        } else {
            l.in = rnd.bytes((std::size_t)kLens[i]);
            want[i] = smlanes::referenceSm3(l);
        }
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
        if (streamed) want[9].tag = smlanes::referenceSm3(Lane{}).tag; // refused every time, then finished empty
        expectLanes(smlanes::runSm3(lanes, streamed), want);
    }
}
