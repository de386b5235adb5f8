// Arithmetic over measured figures: loop scaling, texts and the frequency.
#include <gtest/gtest.h>

#include "ps_timing_math.h"

TEST(TimingMath, PowersOfTwoAndTexts)
{
    const int pow2[][2] = {{1, 1}, {3, 4}, {4, 4}, {19, 32}, {1073741823, 1073741824}, {1073741825, 1073741825},
                           {0, 0}, {-5, -5}};
    for (const auto& p : pow2) EXPECT_EQ(roundUpToPow2(p[0]), p[1]) << p[0];

    // Two decimals only below a tenth of a percent.
    const struct { double accuracy; const char* text; } accuracy[] = {
        {0.0005, "0.05%"}, {0.000999, "0.10%"}, {0.001, "0.1%"}, {0.025, "2.5%"}, {0, "0.00%"}, {0.571428, "57.1%"}};
    for (const auto& a : accuracy) EXPECT_EQ(accuracyText(a.accuracy), a.text);

    // Counts beyond an int lose their low digits to zeros.
    const struct { long long clocks; const char* text; } clocks[] = {
        {10000, "10000"}, {2147483647LL, "2147483647"}, {2147483659LL, "2147483650"}, {1234567890123LL, "1234567890000"}};
    for (const auto& c : clocks) EXPECT_EQ(clockText(c.clocks), c.text);
}

TEST(TimingMath, FrequencyIsRoundedToTheNearestNominalValueWithinThreePercent)
{
    EXPECT_EQ(frequencyFromSamples(2000000000LL, 2200000000LL), 2100);
    // 2900: 2800 is 3.4% away; 2230: equally near 2200 and 2260, the first wins.
    const int mhz[][2] = {{2395, 2400}, {2900, 2900}, {2050, 2000}, {2096, 2096}, {2230, 2200}, {3100, 3060},
                          {4500, 4500}, {0, 0}};
    for (const auto& m : mhz) EXPECT_EQ(nominalFrequency(m[0]), m[1]) << m[0];
}
