// The timing tool: settings, the dispatch with its fallbacks, the four methods measuring a function
// of known cost, the Auto/Iterative search step by step, and the hooks around measured calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "ps_capture.h"
#include "ps_cpu_ticker.h"
#include "ps_ostream.h"
#include "ps_tool.h"
#include "synthetic_tests.h"

using namespace synthetic;

namespace {
// Opens the tool's protected state to the checks.
class ToolProbe : public psTool {
public:
    using psTool::m_autoLoops;
    using psTool::m_autoMaxLoops;
    using psTool::m_method;

    static void restoreClassSettings()
    {
        numIntLoops = 1;
        m_numMilliseconds = 100;
        m_minNumLoops = 8;
        m_priority = 0;
        m_hooks = psToolHooks();
    }
};

const OutputLevel kInfoLevel = ERR | WARN | INFO;

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ToolProbe::restoreClassSettings();
        // A known frequency keeps the statistic budget small and skips the three-second estimate.
        psCpuTicker::setFreq(1);
        resetCounts();
        setSpinTicks(1000);
    }
    void TearDown() override
    {
        ToolProbe::restoreClassSettings();
        psCpuTicker::setFreq(0);
        setSpinTicks(0);
    }
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int occurrences(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// On the virtual counter a spinning call costs its ticks, plus one tick for each reading of the
// counter that lies in the span.
void expectSpinFigure(const psTool& tool)
{
    EXPECT_GE(tool.getFuncTicks(), spinTicks());
    EXPECT_LE(tool.getFuncTicks(), spinTicks() + 4);
}
} // namespace

TEST_F(ToolTest, SettingsClampAndReportOnlyTheCurrentMethod)
{
    psTool tool;
    EXPECT_EQ(tool.getMethod(), tmAuto);
    EXPECT_TRUE(tool.getMethodAuto());
    EXPECT_DOUBLE_EQ(tool.getAccuracy(), 0.05);

    int n = -1, loops = -1, maxLoops = -1, calls = 0;
    long long minClocks = -1, clocks = 0;
    tool.setMethodLoop(0);
    ASSERT_TRUE(tool.getMethodLoop(n));
    EXPECT_EQ(n, 1);
    EXPECT_FALSE(tool.getMethodAuto());
    // Another method's getter fails and leaves its outputs alone.
    EXPECT_FALSE(tool.getMethodBest(loops, maxLoops, minClocks));
    EXPECT_EQ((std::vector<long long>{loops, maxLoops, minClocks}), std::vector<long long>(3, -1));

    struct Best { int loops, maxLoops, minClocks, gotLoops, gotMax; };
    for (const Best& b : {Best{3, 10, 500, 3, 24}, Best{0, 0, 0, 1, 0}}) {
        tool.setMethodBest(b.loops, b.maxLoops, b.minClocks);
        ASSERT_TRUE(tool.getMethodBest(loops, maxLoops, minClocks));
        EXPECT_EQ(loops, b.gotLoops);
        EXPECT_EQ(maxLoops, b.gotMax);
        EXPECT_EQ(minClocks, b.minClocks);
    }
    EXPECT_FALSE(tool.getMethodLoop(n));
    EXPECT_EQ(n, 1);

    tool.setMethodStat(-3, -7);
    ASSERT_TRUE(tool.getMethodStat(calls, clocks));
    EXPECT_EQ(calls, -3);
    EXPECT_EQ(clocks, -7);
    tool.setMethodAuto();
    EXPECT_FALSE(tool.getMethodStat(calls, clocks));
    EXPECT_TRUE(tool.getMethodAuto());

    // Loop factor to start/maximum loops; 0 is the automatic start of 1. Extremes stay within an int.
    ToolProbe probe;
    struct Factor { int factor, loops, maxLoops; };
    for (const Factor& f : {Factor{-2, 4, 8192}, Factor{3, 0, 256}, Factor{0, 0, 0}, Factor{100, 0, 0}}) {
        probe.setLoopFactor(f.factor);
        EXPECT_EQ(probe.m_autoLoops, f.loops) << f.factor;
        EXPECT_EQ(probe.m_autoMaxLoops, f.maxLoops) << f.factor;
    }
    probe.setLoopFactor(-100);
    EXPECT_GT(probe.m_autoLoops, 0);
    EXPECT_GT(probe.m_autoMaxLoops, 0);

    int autoLoops, autoMax;
    long long autoClocks;
    psTool::getAutoParameters(autoLoops, autoMax, autoClocks);
    EXPECT_EQ(autoLoops, 1);
    EXPECT_EQ(autoMax, 2048);
    EXPECT_EQ(autoClocks, 10000);

    EXPECT_EQ(psTool::getAccuracyStr(0.0005), "0.05%");
    EXPECT_EQ(psTool::getAccuracyStr(0.025), "2.5%");
    EXPECT_EQ(psTool().getAccuracyStr(), "100.0%"); // a fresh tool has reached no accuracy yet
}

// ---- Dispatch ------------------------------------------------------------------------------------

TEST_F(ToolTest, MissingFunctionsAndUnknownMethodsAreInternalFails)
{
    const std::string problem = " Internal test problem: The test cannot execute standard timing.\n"
                                " No one of funcLoop, funcStat or funcCall is registered in the test.\n";
    for (int method = 0; method < 4; ++method) {
        ToolProbe tool;
        tool.m_method = method;
        StreamCapture capture(g_ostrm, ERR);
        // Only an init function is no way to time anything.
        EXPECT_EQ(tool.timing(nullptr, nullptr, nullptr, spinCall), FAIL) << method;
        EXPECT_EQ(capture.text(), problem) << method;
        EXPECT_EQ(callCount(), 0);
    }
    {
        psTool tool;
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_EQ(tool.timing((funcOld) nullptr), FAIL);
        EXPECT_EQ(capture.text(), problem);
    }
    {
        ToolProbe tool;
        tool.m_method = 7;
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_EQ(tool.timing(spinLoopFastest, spinStat, spinCall, nullptr), FAIL);
        EXPECT_EQ(capture.text(), "PS internal fail: file perflib/src/pstool, line 813\n");
        EXPECT_EQ(loopInvocations() + statInvocations(), 0);
    }
    VirtualClock clock;
    {
        // The search's prior phase needs a loop or a call function.
        psTool tool;
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_EQ(tool.timing(nullptr, spinStat, nullptr, nullptr), FAIL);
        EXPECT_EQ(capture.text(), "PS internal fail: file perflib/src/pstool, line 262\n");
        EXPECT_EQ(statInvocations(), 0);
    }
    {
        // A statistic measurement asked for no calls and no clocks makes none and reports 0.
        psTool tool;
        tool.setMethodStat(0, 0);
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_EQ(tool.timing(nullptr, nullptr, spinCall, nullptr), OK);
        EXPECT_EQ(tool.getFuncTicks(), 0.0);
        EXPECT_EQ(tool.getComment(), "nCalls=0");
        EXPECT_EQ(callCount(), 1); // the warm-up only
    }
}

TEST_F(ToolTest, ManualAndStatisticFallBackToEachOther)
{
    VirtualClock clock;
    {
        psTool tool;
        tool.setMethodLoop(10);
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_EQ(tool.timing(nullptr, spinStat, nullptr, nullptr), OK);
        EXPECT_EQ(capture.text(), " ATTENTION! The test cannot execute Manual loop timing.\n"
                                  " Statistic timing will be run instead.\n");
        // The tool now times statistically: the Manual loop count as calls, no clock budget.
        int calls = 0;
        long long clocks = -1;
        ASSERT_TRUE(tool.getMethodStat(calls, clocks));
        EXPECT_EQ(calls, 10);
        EXPECT_EQ(clocks, 0);
        EXPECT_EQ(statInvocations(), 1);
        EXPECT_EQ(tool.getComment(), "nCalls=10");
        expectSpinFigure(tool);
    }
    {
        psTool tool;
        tool.setMethodStat(12, 10000);
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_EQ(tool.timing(spinLoopFastest, nullptr, nullptr, nullptr), OK);
        EXPECT_EQ(capture.text(), " ATTENTION! The test cannot execute Statistic timing.\n"
                                  " Manual loop timing will be run instead.\n");
        int n = 0;
        ASSERT_TRUE(tool.getMethodLoop(n));
        EXPECT_EQ(n, 12);
        EXPECT_EQ(tool.getComment(), "nLps=12");
        EXPECT_EQ(tool.getLoops(), 12);
        EXPECT_EQ(loopInvocations(), 1);
        expectSpinFigure(tool);
    }
}

TEST_F(ToolTest, ManualAndStatisticDescribeTheirMeasurementAtInfoLevel)
{
    VirtualClock clock;
    struct Case { bool manual; OutputLevel level; const char* text; const char* comment; };
    const Case cases[] = {
        // The fastest call costs its 1000 ticks and the two readings around it.
        {true, kInfoLevel,
         "    Manual method: \n        numLoops   = 10\n        funcClocks = 1e+03\n"
         "        result     = successfully\n", "nLps=10"},
        // Twelve calls of 1002 ticks already exceed the budget of 10000.
        {false, kInfoLevel,
         "    Statistical method:\n        minCalls   = 12\n        maxClocks  = 10000\n"
         "        numCalls   = 12\n        funcClocks = 1e+03\n        result     = successfully\n", "nCalls=12"},
        // Below INFO nothing of it is printed.
        {true, ERR | WARN | PERF, "", "nLps=10"}};
    for (const Case& c : cases) {
        psTool tool;
        if (c.manual) tool.setMethodLoop(10);
        else tool.setMethodStat(12, 10000);
        StreamCapture capture(g_ostrm, c.level);
        EXPECT_EQ(tool.timing(spinLoopFastest, spinStat, spinCall, nullptr), OK);
        EXPECT_EQ(capture.text(), c.text);
        EXPECT_DOUBLE_EQ(tool.getFuncTicks(), 1002);
        EXPECT_EQ(tool.getMeasAccuracy(), 0.0);
        EXPECT_EQ(tool.getComment(), c.comment);
    }
}

// ---- Known cost on the real counter --------------------------------------------------------------

namespace {
const long long kRealSpin = 20000;

// The cheapest empty start/stop pair: what the readings themselves add to a span.
long long readingCost()
{
    long long best = LLONG_MAX;
    for (int i = 0; i < 1000; ++i) {
        psCpuTicker ticker;
        ticker.start();
        ticker.stop();
        best = std::min(best, ticker.getTicks());
    }
    return best;
}

// The best of five timings (a shared machine may preempt any single one) lies between the spin's
// ticks and those plus its readings and the allowance: the accuracy for a fastest call or batch,
// which holds none of the machine's other work, 25% for an average over many calls.
void expectKnownCost(const char* what, bool fastest, const std::function<psResult(psTool&)>& run,
                     const psTool& settings)
{
    const double accuracy = settings.getAccuracy();
    double figure = 1e300;
    for (int i = 0; i < 5; ++i) {
        psTool tool = settings;
        EXPECT_LE(run(tool), ACCURWRN) << what;
        figure = std::min(figure, tool.getFuncTicks());
    }
    EXPECT_GE(figure, kRealSpin * (1 - accuracy)) << what;
    EXPECT_LE(figure, kRealSpin * (1 + (fastest ? accuracy : 0.25)) + 8.0 * (double)readingCost()) << what;
}
} // namespace

TEST_F(ToolTest, EveryMethodMeasuresTheKnownCostOfASpinningCall)
{
    setSpinTicks(kRealSpin);
    psCpuTicker::setFreq(100); // a statistic budget of a million ticks
    StreamCapture quiet(g_ostrm, ERR);
    const auto multiBuffer = [](psTool& t) { return t.timing(spinLoopFastest, spinStat, spinCall, nullptr); };
    const auto callOnly = [](psTool& t) { return t.timing(nullptr, nullptr, spinCall, nullptr); };

    psTool automatic, manual, statistic, iterative, precise;
    manual.setMethodLoop(10);
    statistic.setMethodStat(12, 1000000);
    iterative.setMethodBest(2, 64, 50000);
    precise.setAccuracy(0.01);
    expectKnownCost("Auto, loop total only", false,
                    [](psTool& t) { return t.timing(spinLoopTotal, nullptr, nullptr, nullptr); }, automatic);
    expectKnownCost("Auto, old style", false, [](psTool& t) { return t.timing(spinOld); }, automatic);
    expectKnownCost("Auto at 1%, call only", false, callOnly, precise);
    for (const psTool* tool : {&automatic, &manual, &statistic, &iterative}) {
        const std::string method = std::to_string(tool->getMethod());
        expectKnownCost(("loop and statistic functions, method " + method).c_str(), true, multiBuffer, *tool);
        expectKnownCost(("call only, method " + method).c_str(), false, callOnly, *tool);
    }
}

// ---- The Auto search, step by step on the virtual counter ---------------------------------------

TEST_F(ToolTest, AutoSearchScalesTheLoopCountAndStopsWhenFiguresAgree)
{
    VirtualClock clock;
    psTool tool;
    StreamCapture capture(g_ostrm, kInfoLevel);
    EXPECT_EQ(tool.timing(nullptr, nullptr, spinCall, nullptr), OK);
    // One call measures 1002 < 10000 clocks: k = roundUpToPow2(20000 / 1002 = 19) = 32 loops
    // (maximum 2048 * 32). 32 calls pass 10000; the iteration starts at 4 * 32 = 128 loops, whose
    // figure agrees with the prior one within 1%: no repeat series.
    EXPECT_EQ(capture.text(), "    Auto method: start\n        minClocks  = 10000\n"
                              "    Prior Measurement: \n        numLoops   = 1\n        numClocks  = 1002\n"
                              "        funcClocks = 1e+03\n        result     = wrong measure accuracy\n"
                              "    Prior Measurement: \n        numLoops   = 32\n        numClocks  = 32033\n"
                              "        funcClocks = 1e+03\n        result     = successfully\n"
                              "    Iteration Measurement: \n        startLoops = 128\n        maxLoops   = 65536\n"
                              "        stopLoops  = 128\n        stopClocks = 128129\n        accuracy   = 0.00%\n"
                              "        funcClocks = 1e+03\n        result     = successfully\n    Auto method: stop\n");
    EXPECT_EQ(tool.getComment(), "nLps=128");
    EXPECT_EQ(tool.getLoops(), 128);
    EXPECT_NEAR(tool.getFuncTicks(), 1001, 0.1);
    EXPECT_LE(tool.getMeasAccuracy(), 0.01);
    // Warm-up plus timed calls of the three measurements.
    EXPECT_EQ(callCount(), 3 + 1 + 32 + 128);
}

TEST_F(ToolTest, AutoSearchWithAStatisticFunctionEndsWithOneStatisticMeasurement)
{
    VirtualClock clock;
    psTool tool;
    StreamCapture capture(g_ostrm, kInfoLevel);
    EXPECT_EQ(tool.timing(spinLoopFastest, spinStat, spinCall, nullptr), OK);
    const std::string text = capture.text();
    // The loop function reports its fastest call, which the prior phase reads as the total of its
    // loops: 1002 clocks at 32 loops stay below the minimum, and the phase ends after its second
    // pass. The statistic measurement then times calls in blocks of 100 (a figure of 1002 / 32
    // clocks is short) until the budget of 1 MHz * 100 ms * 100 = 10000 clocks is spent.
    EXPECT_EQ(occurrences(text, "    Prior Measurement: \n"), 2);
    EXPECT_TRUE(contains(text, "        numLoops   = 32\n"));
    EXPECT_EQ(occurrences(text, "    Iteration Measurement: \n"), 1);
    EXPECT_TRUE(contains(text, "        startLoops = 128\n        maxLoops   = 65536\n"));
    EXPECT_TRUE(contains(text, "        stopLoops  = 100\n"));
    EXPECT_FALSE(contains(text, "Simple Measurements"));
    EXPECT_EQ(loopInvocations(), 2);
    EXPECT_EQ(statInvocations(), 1);
    EXPECT_EQ(tool.getComment(), "nLps=100");
    EXPECT_EQ(tool.getMeasAccuracy(), 0.0);
    expectSpinFigure(tool);

    // A call of more than 200 clocks per loop is timed alone: with 100000 ticks the prior phase
    // passes at once and the statistic function gets blocks of one call.
    resetCounts();
    setSpinTicks(100000);
    psTool single;
    EXPECT_EQ(single.timing(spinLoopFastest, spinStat, spinCall, nullptr), OK);
    EXPECT_EQ(single.getComment(), "nLps=8");
    EXPECT_EQ(loopInvocations(), 1);
}

TEST_F(ToolTest, LoopFactorAndIterativeParametersChangeWhereTheSearchStarts)
{
    VirtualClock clock;
    setSpinTicks(5000);
    {
        psTool tool;
        tool.setLoopFactor(-2);
        StreamCapture capture(g_ostrm, kInfoLevel);
        EXPECT_EQ(tool.timing(nullptr, nullptr, spinCall, nullptr), OK);
        const std::string text = capture.text();
        // 4 loops of 5000 pass the minimum at once; iteration from 16 up to 8192.
        EXPECT_TRUE(contains(text, "    Prior Measurement: \n        numLoops   = 4\n"));
        EXPECT_EQ(occurrences(text, "    Prior Measurement: \n"), 1);
        EXPECT_TRUE(contains(text, "        startLoops = 16\n        maxLoops   = 8192\n"));
        EXPECT_EQ(tool.getComment(), "nLps=16");
    }
    setSpinTicks(1000);
    {
        psTool tool;
        tool.setMethodBest(2, 16, 100000);
        StreamCapture capture(g_ostrm, kInfoLevel);
        EXPECT_EQ(tool.timing(nullptr, nullptr, spinCall, nullptr), OK);
        const std::string text = capture.text();
        // 2 loops give 2003 clocks: k = roundUpToPow2(200000 / 2003 = 99) = 128, so 256 loops up
        // to 16 * 128; the iteration starts at 1024.
        EXPECT_TRUE(contains(text, "        minClocks  = 100000\n"));
        EXPECT_TRUE(contains(text, "        numLoops   = 2\n        numClocks  = 2003\n"));
        EXPECT_TRUE(contains(text, "        numLoops   = 256\n"));
        EXPECT_TRUE(contains(text, "        startLoops = 1024\n        maxLoops   = 2048\n"));
        EXPECT_EQ(tool.getComment(), "nLps=1024");
    }
}

TEST_F(ToolTest, AutoSearchThatNeverAgreesEndsWithAnAccuracyWarning)
{
    VirtualClock clock;
    psTool tool;
    StreamCapture capture(g_ostrm, kInfoLevel);
    EXPECT_EQ(tool.timing(jitterLoop, nullptr, nullptr, nullptr), ACCURWRN);
    const std::string text = capture.text();
    // Figures alternate between 1000 and 3000 per call: the doubling runs from 128 to the maximum
    // of 65536, then a repeat series of 3000, 1000, 3000 (mean 2333) misses by 57.1%.
    EXPECT_TRUE(contains(text, "    Simple Measurements: \n"));
    EXPECT_TRUE(contains(text, "        accuracy   = 57.1%\n"));
    EXPECT_TRUE(contains(text, "        result     = wrong measure accuracy\n    Auto method: stop\n"));
    EXPECT_EQ(tool.getComment(), "nLps=65536 acc=57.1%");
    EXPECT_TRUE(contains(tool.getMessage().c_str(), "actual accuracy = 57.1%"));
    EXPECT_NEAR(tool.getFuncTicks(), 1000, 1); // the repeat series keeps the smallest figure
    // 2 prior passes, 10 doublings (128 .. 65536), 2 new values of the repeat series.
    EXPECT_EQ(loopInvocations(), 2 + 10 + 2);
}

TEST_F(ToolTest, AutoSearchWithoutClocksOrWithALibraryFailureStops)
{
    VirtualClock clock;
    {
        psTool tool;
        StreamCapture capture(g_ostrm, kInfoLevel);
        EXPECT_EQ(tool.timing(zeroLoop, nullptr, nullptr, nullptr), ACCURFAIL);
        const std::string text = capture.text();
        // Each measurement is tried twice; the second pass has ten times the loops.
        EXPECT_EQ(loopInvocations(), 4);
        EXPECT_TRUE(contains(text, "        numLoops   = 10\n"));
        EXPECT_TRUE(contains(text, "    Auto method: exit\n"));
        EXPECT_FALSE(contains(text, "Iteration Measurement"));
        EXPECT_EQ(tool.getFuncTicks(), 0.0);
        EXPECT_EQ(tool.getComment(), "");
    }
    resetCounts();
    {
        psTool tool;
        StreamCapture capture(g_ostrm, kInfoLevel);
        EXPECT_EQ(tool.timing(failingLoop, failingStat, failingCall, nullptr), FUNCFAIL);
        EXPECT_EQ(tool.getMessage(), "lib function fail");
        // A failure is not retried and ends the search in the prior phase.
        EXPECT_EQ(loopInvocations(), 1);
        EXPECT_EQ(statInvocations(), 0);
        EXPECT_TRUE(contains(capture.text(), "        result     = lib function fail\n    Auto method: exit\n"));
        tool.setMethodStat(12, 0);
        EXPECT_EQ(tool.timing(failingLoop, failingStat, failingCall, nullptr), FUNCFAIL);
    }
    resetCounts();
    {
        // The tool's own call loop stops at the first error status and keeps the clocks so far.
        psTool tool;
        tool.setMethodLoop(10);
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_EQ(tool.timing(nullptr, nullptr, failingCall, nullptr), OK);
        EXPECT_EQ(callCount(), 2); // the warm-up and the first timed call
        EXPECT_GT(tool.getTicks(), 0);
    }
}

// ---- Hooks: control status and real-measure mode -------------------------------------------------

namespace {
struct HookCounts {
    int starts, stops, prints, clears, resets, inits;
    bool bad, badAfterClear;
} h;

void installHooks(bool bad, bool badAfterClear)
{
    h = HookCounts{0, 0, 0, 0, 0, 0, bad, badAfterClear};
    psToolHooks hooks = {[]() { ++h.starts; }, []() { ++h.stops; },
                         [](bool& bad87, bool& badSSX) {
                             bad87 = h.bad;
                             badSSX = false;
                             return h.bad;
                         },
                         [](bool, bool) { ++h.prints; },
                         []() {
                             ++h.clears;
                             h.bad = h.badAfterClear;
                         },
                         []() { return ++h.resets, 1; }};
    psTool::setHooks(hooks);
}
int countingInit() { return ++h.inits, 0; }
} // namespace

TEST_F(ToolTest, ControlStatusIsWatchedAroundEveryMeasurementAndAvoidedOnRequest)
{
    VirtualClock clock;
    {
        installHooks(false, false);
        psTool tool;
        tool.setMethodLoop(5);
        StreamCapture capture(g_ostrm, kInfoLevel);
        EXPECT_EQ(tool.timing(spinLoopFastest, nullptr, nullptr, nullptr), OK);
        EXPECT_EQ(h.starts, 1);
        EXPECT_EQ(h.stops, 1);
        EXPECT_EQ(h.resets, 0);
    }
    {
        // A bad status that stays bad: one repeat series of 6 at half the loops, then the failure.
        installHooks(true, true);
        psTool tool;
        tool.setAvoidBadCtrlStatus(true);
        StreamCapture capture(g_ostrm, kInfoLevel);
        EXPECT_EQ(tool.timing(nullptr, nullptr, spinCall, countingInit), OK);
        const std::string text = capture.text();
        EXPECT_TRUE(contains(text, "-- Attempting to avoid bad control status\n"));
        EXPECT_TRUE(contains(text, "    Reduce loops to avoid bad ctrl status.\n    Simple Measurements: \n"));
        EXPECT_TRUE(contains(text, "    Cannot avoid bad ctrl status\n"));
        EXPECT_TRUE(contains(text, "-- Attempt fails: Bad control status repeats.\n"));
        EXPECT_EQ(occurrences(text, "        numLoops   = 64\n"), 5);
        EXPECT_EQ(tool.getComment(), "nLps=64");
        EXPECT_EQ(h.clears, 1);
        EXPECT_EQ(h.prints, 2); // before the attempt and after the repeat series
        // Every measurement is framed by the watch: 2 prior, 1 iteration, 5 repeats.
        EXPECT_EQ(h.starts, 8);
        EXPECT_EQ(h.stops, 8);
        EXPECT_GT(h.inits, 8); // while avoiding, the data are prepared before every measurement too
    }
    {
        // A status that clears: the attempt succeeds.
        installHooks(true, false);
        psTool tool;
        tool.setAvoidBadCtrlStatus(true);
        StreamCapture capture(g_ostrm, kInfoLevel);
        EXPECT_EQ(tool.timing(nullptr, nullptr, spinCall, nullptr), OK);
        EXPECT_TRUE(contains(capture.text(), "-- Attempt is successful\n"));
        EXPECT_FALSE(contains(capture.text(), "Cannot avoid"));
        EXPECT_EQ(h.prints, 1);
    }
    {
        // Without the request a bad status changes nothing in the search.
        installHooks(true, true);
        psTool tool;
        StreamCapture capture(g_ostrm, kInfoLevel);
        EXPECT_EQ(tool.timing(nullptr, nullptr, spinCall, nullptr), OK);
        EXPECT_FALSE(contains(capture.text(), "avoid"));
        EXPECT_EQ(tool.getComment(), "nLps=128");
        EXPECT_EQ(h.prints, 0);
    }
}

TEST_F(ToolTest, RealMeasureModeUsesOnlyTheCallAndResetsTheDataBeforeEachCall)
{
    VirtualClock clock;
    StreamCapture capture(g_ostrm, ERR);
    for (bool manual : {true, false}) {
        installHooks(false, false);
        psTool tool;
        tool.setRealMeasure(true);
        if (manual) tool.setMethodLoop(10);
        else tool.setMethodStat(12, 0);
        EXPECT_EQ(tool.timing(spinLoopFastest, spinStat, spinCall, nullptr), OK);
        EXPECT_EQ(loopInvocations() + statInvocations(), 0);
        EXPECT_EQ(h.resets, manual ? 10 : 12);
        EXPECT_EQ(tool.getComment(), manual ? "nLps=10" : "nCalls=12");
        // The figure is per call although the tool timed them together.
        expectSpinFigure(tool);
    }
    // Real measuring needs the call: without it nothing is measured and nothing is judged.
    psTool tool;
    tool.setRealMeasure(true);
    tool.setMethodLoop(10);
    EXPECT_EQ(tool.timing(spinLoopFastest, spinStat, nullptr, nullptr), UNDEFINED);
    EXPECT_EQ(tool.getFuncTicks(), 0.0);
}

TEST_F(ToolTest, ACopyCarriesSettingsAndEachTimingStartsAfresh)
{
    VirtualClock clock;
    psTool session;
    session.setMethodLoop(4);
    session.setAccuracy(0.02);
    session.setRealMeasure(true);
    psTool copy;
    copy = session;
    int n = 0;
    ASSERT_TRUE(copy.getMethodLoop(n));
    EXPECT_EQ(n, 4);
    EXPECT_DOUBLE_EQ(copy.getAccuracy(), 0.02);
    EXPECT_TRUE(copy.getRealMeasure());

    copy.setRealMeasure(false);
    StreamCapture capture(g_ostrm, ERR);
    EXPECT_EQ(copy.timing(spinLoopFastest, nullptr, nullptr, nullptr), OK);
    EXPECT_EQ(copy.getComment(), "nLps=4");
    // The next timing forgets the last one's figures.
    copy.setMethodLoop(2);
    EXPECT_EQ(copy.timing(spinLoopFastest, nullptr, nullptr, nullptr), OK);
    EXPECT_EQ(copy.getComment(), "nLps=2");
    EXPECT_EQ(copy.getLoops(), 2);
    // The session's own tool is untouched by the copy's timings.
    ASSERT_TRUE(session.getMethodLoop(n));
    EXPECT_EQ(n, 4);
}
