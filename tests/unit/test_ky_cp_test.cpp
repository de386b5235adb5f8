// The crypto test base: deviation text, random words from the data generator and the statistic
// timing mode over samples.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ky_cp_test.h"
#include "ps_capture.h"
#include "ps_cpu_ticker.h"
#include "ps_exception.h"

namespace {

// Sample figures handed out by the statistic function, one per measurement.
std::vector<long long> g_sampleClocks;
std::vector<psResult> g_sampleResults;
size_t g_sampleIndex = 0;
void programSamples(const std::vector<long long>& clocks, const std::vector<psResult>& results = {})
{
    g_sampleIndex = 0, g_sampleClocks = clocks, g_sampleResults = results;
}

psResult sampleStat(int* calls, long long* clocks, int)
{
    size_t i = g_sampleIndex++;
    *calls = 4;
    *clocks = i < g_sampleClocks.size() ? g_sampleClocks[i] : 0;
    return i < g_sampleResults.size() ? g_sampleResults[i] : OK;
}

// Records the running seed at each sample and may refuse one.
class SampledTest : public kycpTest {
public:
    SampledTest(const char* name = "kynsAdd_32f_I")
        : kycpTest(nullptr, nullptr, nullptr, sampleStat, name, "src/p_sample.cpp", "TimSample//KY_REG")
    {
        getTool().setMethodStat(4, 0);
    }
    bool setStatisticData(int index) override
    {
        seeds.push_back(m_seed);
        return index != refuseAt;
    }
    std::vector<unsigned> seeds;
    int refuseAt = -1;
};

class StatisticTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        psCpuTicker::setFreq(1);
        programSamples({});
        psTest::setCurrentResult(UNDEFINED);
    }
    void TearDown() override
    {
        psCpuTicker::setFreq(0);
        psTest::setCurrentResult(UNDEFINED);
    }
};

} // namespace

TEST(DeviationText, RelativeSpreadRoundedToAWholePercent)
{
    // sigma 8.16 of 100; none; 2.5 of 100 rounds up; 10 of 20; no samples.
    const std::vector<double> spread = {100, 110, 90};
    const struct { double mean; std::vector<double> samples; const char* text; } cases[] = {
        {100, spread, "8%"}, {250, {250, 250, 250, 250}, "0%"}, {100, {97.5, 102.5}, "3%"}, {20, {10, 30}, "50%"},
        {5, {}, "0%"}};
    for (const auto& c : cases)
        EXPECT_EQ(getDeviationStr(c.mean, c.samples.empty() ? nullptr : c.samples.data(), (int)c.samples.size()), c.text);

    EXPECT_THROW(getDeviationStr(0.0, spread.data(), 3), psException);
}

// One-element 64f fills over [-2^31, 2^31 - 1]: mid = -0.5,
// so the value is just below w and truncates to w. Seed 7 gives w = -1176842132 (0xB9DAD06C) and
// seed 1056136036. The next fill starts from x1 = 1056136036, x2 = 1549219463, x3 = 3532748942:
// t = 2311437816 (borrow set), x = 2311437798, w = 2311437798 + 2061989128 - 2^32 = 78459630, value
// 78459629.48 -> 78459629 (0x04AD32ED). The third: x1 = 2311437798, x2 = 1481814689, x3 = 3696962400,
// t = x = 2079819584, w = -153158584 (0xF6DEFC48).
TEST(RandomWords, FollowTheDataGeneratorFromTheRunningSeed)
{
    const std::vector<unsigned> expected = {0xB9DAD06Cu, 0x04AD32EDu, 0xF6DEFC48u};
    std::vector<unsigned> words(3);
    kycpTest::rand_32u(words.data(), 3, 7);
    EXPECT_EQ(words, expected);
    kyVector::m_seed = 99;
    kycpTest::rand_32u(words.data(), 0, 7);
    EXPECT_EQ(kyVector::m_seed, 7u) << "the seed is shared even without words";
    // The member form starts from the running seed and moves it on by one.
    SampledTest test;
    kycpTest::m_seed = 7;
    std::vector<unsigned> fromSeed(3);
    test.rand_32u(fromSeed.data(), 3);
    EXPECT_EQ(fromSeed, expected);
    EXPECT_EQ(kycpTest::m_seed, 8u);
}

TEST_F(StatisticTest, OnePlainMeasurementUnlessSamplesAreAskedFor)
{
    SampledTest test;
    test.getSamples().init("samples");
    test.getSamples().add(3);
    kycpTest::m_seed = 99;
    test.beginTest();
    EXPECT_EQ(kycpTest::m_seed, 7u);
    programSamples({321});
    EXPECT_EQ(test.runTiming(), OK);
    EXPECT_EQ(g_sampleIndex, 1u);
    EXPECT_TRUE(test.seeds.empty());

    // Samples give the mean and their spread, each from its own seed.
    programSamples({100, 110, 90});
    StreamCapture capture(g_ostrm, ERR | WARN | PERF);
    EXPECT_EQ(test.runStatisticTiming(3), OK);
    EXPECT_EQ(g_sampleIndex, 3u);
    EXPECT_EQ(test.seeds, (std::vector<unsigned>{11, 12, 13}));
    EXPECT_DOUBLE_EQ(test.getTool().getFuncTicks(), 100.0);
    EXPECT_EQ(test.getTool().getComment(), "nLps=4 dev=8%");
    EXPECT_TRUE(contains(capture.text(), "\t\tDeviation of 3 samples = 8%\n")) << capture.text();
}

TEST_F(StatisticTest, FailuresStopTheSamplesAndZeroOrRefusedSamplesAreDataFailures)
{
    // A failure ends the loop, a warning stays a warning; no samples, a refused sample or samples
    // of zero clocks (no figure can be formed) are data failures.
    const struct { std::vector<long long> clocks; std::vector<psResult> results; int refuseAt, samples;
                   psResult result; size_t seeds; } cases[] = {
        {{300, 600, 900}, {OK, FUNCFAIL, OK}, -1, 3, FUNCFAIL, 2}, {{50, 50}, {FUNCWRN, OK}, -1, 2, FUNCWRN, 2},
        {{}, {}, -1, 0, DATAFAIL, 0}, {{10, 10, 10}, {}, 1, 3, DATAFAIL, 2}, {{0, 0}, {}, -1, 2, DATAFAIL, 2},
        // An accuracy warning is forgiven when the samples' mean accuracy meets the tool's.
        {{50, 50}, {ACCURWRN, OK}, -1, 2, OK, 2}};
    for (const auto& c : cases) {
        SampledTest test;
        test.refuseAt = c.refuseAt;
        programSamples(c.clocks, c.results);
        StreamCapture capture(g_ostrm, ERR | WARN | PERF | INFO);
        EXPECT_EQ(test.runStatisticTiming(c.samples), c.result) << c.samples;
        EXPECT_EQ(test.seeds.size(), c.seeds) << c.samples;
        if (c.samples == 0) {
            EXPECT_EQ(capture.text(), "");
        }
        if (c.result == FUNCFAIL) {
            // The mean still divides by the count asked for.
            EXPECT_EQ(g_sampleIndex, 2u);
            EXPECT_DOUBLE_EQ(test.getTool().getFuncTicks(), 100.0);
        }
    }
}
