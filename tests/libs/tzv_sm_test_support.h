// Helpers of the SM3 and SM4 tests: hex strings, reproducible random data, and the comparison of
// 16 lanes' results with what each lane must end with.
#ifndef TZV_SM_TEST_SUPPORT_H
#define TZV_SM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tzv_sm_lanes.h"
#include "vector_file.h"

namespace smtest {

using smlanes::Bytes;
using vectors::fromHex;

inline std::string toHex(const Bytes& b)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t x : b) s += digits[x >> 4], s += digits[x & 15];
    return s;
}

struct Random {
    explicit Random(uint32_t seed) : gen(seed) {}
    Bytes bytes(std::size_t n)
    {
        Bytes b(n);
        for (auto& x : b) x = (uint8_t)gen();
        return b;
    }
    std::mt19937 gen;
};

// Byte-wise equality that names the first difference, for texts too long to print.
inline ::testing::AssertionResult sameBytes(const Bytes& got, const Bytes& want)
{
    auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    if (got.size() != want.size()) return ::testing::AssertionFailure() << got.size() << " bytes, not " << want.size();
    if (diff.first != got.end()) return ::testing::AssertionFailure() << "first difference at byte " << diff.first - got.begin();
    return ::testing::AssertionSuccess();
}

inline void expectLanes(const std::vector<smlanes::LaneResult>& got, const std::vector<smlanes::LaneResult>& want)
{
    for (int i = 0; i < smlanes::kLanes; ++i) {
        SCOPED_TRACE("lane " + std::to_string(i));
        EXPECT_EQ(got[i].status, want[i].status);
        EXPECT_TRUE(sameBytes(got[i].out, want[i].out)) << "text";
        EXPECT_EQ(toHex(got[i].iv), toHex(want[i].iv));
        EXPECT_EQ(toHex(got[i].tag), toHex(want[i].tag));
        EXPECT_TRUE(got[i].guardKept) << "written beyond the text or tag";
    }
}

// What a refused lane ends with: its status, nothing written, the IV as it was.
inline smlanes::LaneResult untouched(const smlanes::Lane& l, unsigned status)
{
    smlanes::LaneResult r;
    r.status = status;
    r.out = l.inPlace ? l.in : Bytes(l.in.size(), smlanes::kSentinel);
    r.iv = l.iv;
    r.tag.assign((std::size_t)l.tagLen, smlanes::kSentinel);
    return r;
}

} // namespace smtest

#endif
