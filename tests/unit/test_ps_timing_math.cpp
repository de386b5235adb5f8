// Arithmetic over measured figures: agreement, best value, loop scaling, texts and the frequency
// table.
#include <gtest/gtest.h>

#include "ps_timing_math.h"

TEST(TimingMath, AccuracyOfTwoFiguresIsTheirDifferenceOverTheirMean)
{
    EXPECT_NEAR(computeAccuracy(100, 110), 20.0 / 210.0, 1e-12);
    EXPECT_NEAR(computeAccuracy(110, 100), 20.0 / 210.0, 1e-12);
    EXPECT_EQ(computeAccuracy(250, 250), 0.0);
    EXPECT_NEAR(computeAccuracy(1000, 3000), 1.0, 1e-12);
    // No figures at all must not divide by zero.
    EXPECT_EQ(computeAccuracy(0, 0), 0.0);
}

TEST(TimingMath, AccuracyOfASeriesIsTheLargestDistanceFromTheMean)
{
    const double series[] = {100, 104, 96};
    EXPECT_NEAR(computeAccuracy(series, 3), 0.04, 1e-12);
    EXPECT_EQ(computeBest(series, 3), 96.0);

    // The largest distance may lie above the mean: mean 100, worst 130.
    const double skewed[] = {90, 80, 130};
    EXPECT_NEAR(computeAccuracy(skewed, 3), 0.30, 1e-12);
    EXPECT_EQ(computeBest(skewed, 3), 80.0);

    const double one[] = {42};
    EXPECT_EQ(computeAccuracy(one, 1), 0.0);
    EXPECT_EQ(computeBest(one, 1), 42.0);

    EXPECT_EQ(computeAccuracy(series, 0), 0.0);
    EXPECT_EQ(computeAccuracy(nullptr, 3), 0.0);
    EXPECT_EQ(computeBest(nullptr, 3), 0.0);
    const double zeros[] = {0, 0};
    EXPECT_EQ(computeAccuracy(zeros, 2), 0.0);
}

TEST(TimingMath, RoundsUpToAPowerOfTwoWithinRange)
{
    EXPECT_EQ(roundUpToPow2(1), 1);
    EXPECT_EQ(roundUpToPow2(2), 2);
    EXPECT_EQ(roundUpToPow2(3), 4);
    EXPECT_EQ(roundUpToPow2(4), 4);
    EXPECT_EQ(roundUpToPow2(5), 8);
    EXPECT_EQ(roundUpToPow2(19), 32);
    EXPECT_EQ(roundUpToPow2(20), 32);
    EXPECT_EQ(roundUpToPow2(1073741823), 1073741824);
    EXPECT_EQ(roundUpToPow2(1073741824), 1073741824);
    // Beyond 2^30 there is no power of two in an int: unchanged.
    EXPECT_EQ(roundUpToPow2(1073741825), 1073741825);
    EXPECT_EQ(roundUpToPow2(2000000000), 2000000000);
    EXPECT_EQ(roundUpToPow2(0), 0);
    EXPECT_EQ(roundUpToPow2(-5), -5);
}

TEST(TimingMath, AccuracyTextHasTwoDecimalsOnlyBelowATenthOfAPercent)
{
    EXPECT_EQ(accuracyText(0.0005), "0.05%");
    EXPECT_EQ(accuracyText(0.025), "2.5%");
    EXPECT_EQ(accuracyText(0.000999), "0.10%");
    EXPECT_EQ(accuracyText(0.001), "0.1%");
    EXPECT_EQ(accuracyText(0), "0.00%");
    EXPECT_EQ(accuracyText(1.0), "100.0%");
    EXPECT_EQ(accuracyText(0.571428), "57.1%");
}

TEST(TimingMath, ClockTextDropsLowDigitsOfCountsBeyondAnInt)
{
    EXPECT_EQ(clockText(10000), "10000");
    EXPECT_EQ(clockText(0), "0");
    EXPECT_EQ(clockText(2147483647LL), "2147483647");
    // One division by ten: the last digit becomes a "0".
    EXPECT_EQ(clockText(2147483648LL), "2147483640");
    EXPECT_EQ(clockText(2147483659LL), "2147483650");
    EXPECT_EQ(clockText(5000000000LL), "5000000000");
    EXPECT_EQ(clockText(1000000000000LL), "1000000000000");
    EXPECT_EQ(clockText(1234567890123LL), "1234567890000");
}

TEST(TimingMath, FrequencyIsTheMeanOfTwoSecondSamplesRoundedToTheTableWithinThreePercent)
{
    EXPECT_EQ(frequencyFromSamples(2395000000LL, 2395000000LL), 2395);
    EXPECT_EQ(frequencyFromSamples(2000000000LL, 2200000000LL), 2100);
    EXPECT_EQ(frequencyFromSamples(0, 0), 0);

    EXPECT_EQ(nominalFrequency(2395), 2400);
    // 2800 is the nearest entry but 3.4% away.
    EXPECT_EQ(nominalFrequency(2900), 2900);
    EXPECT_EQ(nominalFrequency(2050), 2000);
    EXPECT_EQ(nominalFrequency(2096), 2096);
    // Equally near entries: the first in the table wins.
    EXPECT_EQ(nominalFrequency(2230), 2200);
    EXPECT_EQ(nominalFrequency(3060), 3060);
    EXPECT_EQ(nominalFrequency(3100), 3060);
    // Far beyond the table the measured value stays.
    EXPECT_EQ(nominalFrequency(4500), 4500);
    EXPECT_EQ(nominalFrequency(0), 0);

    int count = 0;
    const int* table = nominalFrequencies(&count);
    ASSERT_EQ(count, 38);
    EXPECT_EQ(table[0], 60);
    EXPECT_EQ(table[23], 1000);
    EXPECT_EQ(table[37], 3060);
    for (int i = 1; i < count; ++i) EXPECT_LT(table[i - 1], table[i]);
}
