// Test data vectors: the reproducible generator and the type table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ky_vector.h"

namespace {
class VectorTest : public ::testing::Test {
protected:
    void SetUp() override { kyVector::setRandomSeed(7); }
};
} // namespace

// The expected words were worked out from the generator's definition, not by running it. Each step:
// g = 69069*g + 1013904243; t = x2 - x3 + borrow; borrow = all ones when t's top bit is set, else 0;
// x = t - (borrow & 18); x shifts into x1 (x1 -> x2 -> x3); w = x1 + g as a signed word. Seed 7 starts
// from x1 = 7, x2 = 1014387726, x3 = 4253218985, borrow all ones, g = 1131199209; its four steps give
// g = 2061989128, 3720418011, 2967153618, 687649949, x = 1056136036, 3280579559 (t - 18), 1056136028,
// 2224443505 (t - 18, the seed afterwards) and w = -1176842132, -1588937022, -271677650, -1382873842.
// For 32u over [0, 4294967295]: element = trunc(2147483647.5 + 4294967295 * 2^-32 * w).
TEST_F(VectorTest, FillsReproduciblyFromSeedSeven)
{
    kyVector v(4, ky32u);
    auto words = [&v]() { return std::vector<unsigned>(v.get32u(), v.get32u() + 4); };
    v.setRandom(0.0, 4294967295.0);
    EXPECT_EQ(words(), (std::vector<unsigned>{970641515u, 558546625u, 1875805997u, 764609805u}));
    EXPECT_EQ(kyVector::m_seed, 2224443505u);
    // The next fill continues from that seed (the congruential part starts afresh).
    v.setRandom();
    EXPECT_EQ(words(), (std::vector<unsigned>{2535774785u, 2265139290u, 1216495770u, 906069200u}));
}

// The same words w scaled to other types: 16s over its full range (mid = -0.5, scale = 65535 * 2^-32)
// gives -17957, -24245, -4145, -21101; 8u over [0, 255] (mid 127.5, scale 255 * 2^-32) gives 57, 33,
// 111, 45; 32f over [-1, 1] gives -0.54800981..., -0.73990645... rounded to single precision.
TEST_F(VectorTest, ScalesClampsAndFillsComplexParts)
{
    // The range is clamped to the type's; a complex vector of 2 elements holds 4 values.
    const struct { kyType type; int length; double low, high; std::vector<double> values; } fills[] = {
        {ky16s, 4, -1e9, 1e9, {-17957, -24245, -4145, -21101}},
        {ky16sc, 2, -32768.0, 32767.0, {-17957, -24245, -4145, -21101}},
        {ky8u, 4, -1000.0, 1000.0, {57, 33, 111, 45}},
        {ky32f, 2, -1.0, 1.0, {(float)-0.5480098221451053, (float)-0.7399064591154467}}};
    for (const auto& f : fills) {
        kyVector v(f.length, f.type);
        v.setRandom(f.low, f.high, 7);
        std::vector<double> got;
        for (size_t i = 0; i < f.values.size(); ++i)
            got.push_back(f.type == ky8u ? v.get8u()[i] : f.type == ky32f ? v.get32f()[i] : v.get16s()[i]);
        EXPECT_EQ(got, f.values) << kyTypeToString(f.type).c_str();
    }
}

TEST(VectorTypes, NamesCodesAndSizes)
{
    const struct { int code; const char* name; int size; } table[] = {
        {8, "8u", 1},       {16, "16u", 2},    {32, "32u", 4},    {64, "64u", 8},     {264, "8s", 1},
        {272, "16s", 2},    {288, "32s", 4},   {320, "64s", 8},   {544, "32f", 4},    {576, "64f", 8},
        {1040, "16uc", 4},  {1288, "8sc", 2},  {1296, "16sc", 4}, {1312, "32sc", 8},  {1344, "64sc", 16},
        {1568, "32fc", 8},  {1600, "64fc", 16}, {0, "undef", 0}};
    for (const auto& row : table) {
        EXPECT_EQ(kyTypeToString(row.code), row.name) << row.code;
        EXPECT_EQ((int)kyStringToType(row.name), row.code) << row.name;
        EXPECT_EQ(kyTypeSize((kyType)row.code), row.size) << row.name;
    }
    EXPECT_EQ(kyStringToType("1u"), ky8u);
    EXPECT_EQ(kyStringToType("8uc"), kyUndef);
    EXPECT_EQ(kyTypeToString(33), "undef");
}

