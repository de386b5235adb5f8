// Test data vectors: the reproducible generator and the type table.
#include <gtest/gtest.h>

#include <string>

#include "ky_vector.h"

namespace {
class VectorTest : public ::testing::Test {
protected:
    void SetUp() override { kyVector::setRandomSeed(7); }
};
} // namespace

// The expected words were worked out from the generator's definition, not by running it. Seed 7:
//   x1 = 7, x2 = 69069*7 + 1013904243 = 1014387726, x3 = 69069*x2 + 1013904243 (mod 2^32) = 4253218985,
//   borrow = 0xFFFFFFFF, g = 1131199209.
// Each step: g = 69069*g + 1013904243; t = x2 - x3 + borrow; borrow = all ones when t's top bit is
// set, else 0; x = t - (borrow & 18); shift x into x1 (x1 -> x2 -> x3); w = x1 + g as a signed word.
// Element 0: g = 2061989128; t = 1014387726 - 4253218985 - 1 = 1056136036 (top bit clear, borrow 0,
//   x = t); w = 1056136036 + 2061989128 = 3118125164 -> -1176842132.
// Element 1: g = 3720418011; t = 7 - 1014387726 + 0 = 3280579577 (top bit set: x = t - 18 =
//   3280579559); w = -1588937022.
// Element 2: g = 2967153618; t = 1056136036 - 7 - 1 = 1056136028 = x; w = -271677650.
// Element 3: g = 687649949; t = 3280579559 - 1056136036 + 0 = 2224443523 (top bit set), x = 2224443505;
//   w = -1382873842.
// The seed afterwards is the last x, 2224443505.
// For 32u over [0, 4294967295]: mid = 2147483647.5, scale = 4294967295 * 2.3283064365387e-10, and
// element = trunc(mid + scale*w): 970641515, 558546625, 1875805997, 764609805.
TEST_F(VectorTest, FillsReproduciblyFromSeedSeven)
{
    kyVector v(4, ky32u);
    ASSERT_NE(v.get32u(), nullptr);
    v.setRandom(0.0, 4294967295.0);
    EXPECT_EQ(v.get32u()[0], 970641515u);
    EXPECT_EQ(v.get32u()[1], 558546625u);
    EXPECT_EQ(v.get32u()[2], 1875805997u);
    EXPECT_EQ(v.get32u()[3], 764609805u);
    EXPECT_EQ(kyVector::m_seed, 2224443505u);

    // The next fill continues from that seed (the congruential part starts afresh).
    v.setRandom();
    EXPECT_EQ(v.get32u()[0], 2535774785u);
    EXPECT_EQ(v.get32u()[1], 2265139290u);
    EXPECT_EQ(v.get32u()[2], 1216495770u);
    EXPECT_EQ(v.get32u()[3], 906069200u);

    // Back at seed 7 the first block comes again.
    v.setRandom(0.0, 4294967295.0, 7);
    EXPECT_EQ(v.get32u()[0], 970641515u);
    EXPECT_EQ(v.get32u()[3], 764609805u);
}

// One-element 64f fills over [-2^31, 2^31 - 1] (how the crypto tests draw random words): mid = -0.5,
// so the value is just below w and truncates to w. Seed 7 gives w = -1176842132 (0xB9DAD06C) and
// seed 1056136036. The next fill starts from x1 = 1056136036, x2 = 1549219463, x3 = 3532748942:
// t = 2311437816 (borrow set), x = 2311437798, w = 2311437798 + 2061989128 - 2^32 = 78459630, value
// 78459629.48 -> 78459629 (0x04AD32ED). The third: x1 = 2311437798, x2 = 1481814689, x3 = 3696962400,
// t = x = 2079819584, w = -153158584 (0xF6DEFC48).
TEST_F(VectorTest, OneElementDoubleFillsGiveTheRandomWords)
{
    kyVector v(1, ky64f);
    const unsigned int expected[] = {0xB9DAD06Cu, 0x04AD32EDu, 0xF6DEFC48u};
    for (unsigned int word : expected) {
        v.setRandom(-2147483648.0, 2147483647.0);
        EXPECT_EQ((unsigned int)(int)v.get64f()[0], word);
    }
}

// The same words w scaled to other types: 16s over its full range (mid = -0.5, scale = 65535 * 2^-32)
// gives -17957, -24245, -4145, -21101; 8u over [0, 255] (mid 127.5, scale 255 * 2^-32) gives 57, 33,
// 111, 45; 32f over [-1, 1] gives -0.54800981..., -0.73990645... rounded to single precision.
TEST_F(VectorTest, ScalesClampsAndFillsComplexParts)
{
    kyVector s16(4, ky16s);
    s16.setRandom(-1e9, 1e9); // clamped to the type's range
    EXPECT_EQ(s16.get16s()[0], -17957);
    EXPECT_EQ(s16.get16s()[1], -24245);
    EXPECT_EQ(s16.get16s()[2], -4145);
    EXPECT_EQ(s16.get16s()[3], -21101);

    kyVector u8(4, ky8u);
    u8.setRandom(-1000.0, 1000.0, 7);
    EXPECT_EQ(u8.get8u()[0], 57);
    EXPECT_EQ(u8.get8u()[1], 33);
    EXPECT_EQ(u8.get8u()[2], 111);
    EXPECT_EQ(u8.get8u()[3], 45);

    kyVector f32(2, ky32f);
    f32.setRandom(-1.0, 1.0, 7);
    EXPECT_EQ(f32.get32f()[0], (float)-0.5480098221451053);
    EXPECT_EQ(f32.get32f()[1], (float)-0.7399064591154467);

    // A complex vector of 2 elements holds 4 values, filled like 4 real ones.
    kyVector c16(2, ky16sc);
    c16.setRandom(-32768.0, 32767.0, 7);
    EXPECT_EQ(c16.get16s()[0], -17957);
    EXPECT_EQ(c16.get16s()[1], -24245);
    EXPECT_EQ(c16.get16s()[2], -4145);
    EXPECT_EQ(c16.get16s()[3], -21101);
}

TEST(VectorTypes, NamesCodesAndSizes)
{
    const struct { int code; const char* name; int size; } table[] = {{8, "8u", 1},       {16, "16u", 2},     {32, "32u", 4},     {64, "64u", 8},
                 {264, "8s", 1},     {272, "16s", 2},    {288, "32s", 4},    {320, "64s", 8},
                 {544, "32f", 4},    {576, "64f", 8},    {1040, "16uc", 4},  {1288, "8sc", 2},
                 {1296, "16sc", 4},  {1312, "32sc", 8},  {1344, "64sc", 16}, {1568, "32fc", 8},
                 {1600, "64fc", 16}, {0, "undef", 0}};
    for (const auto& row : table) {
        EXPECT_EQ(kyTypeToString(row.code), row.name) << row.code;
        EXPECT_EQ((int)kyStringToType(row.name), row.code) << row.name;
        EXPECT_EQ(kyTypeSize((kyType)row.code), row.size) << row.name;
    }
    EXPECT_EQ(kyStringToType("1u"), ky8u);
    EXPECT_EQ(kyStringToType("8uc"), kyUndef);
    EXPECT_EQ(kyTypeToString(33), "undef");
}

