// The record a timing leaves: which steps each method and search path takes, and that printing the
// record gives exactly the lines the timing printed (whose figures the tool's tests check).
#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"
#include "ps_cpu_ticker.h"
#include "ps_tool.h"
#include "synthetic_tests.h"

using namespace synthetic;

namespace {
// One letter per step kind, in the order of psTimingStepKind: Manual M m, Statistic T t, search
// start S, prior P p, iteration I i, repeat R v r, avoiding A F G, exit X, fail Z, stop E.
const char kCodes[] = "MmTtSPpIiRvrAFGXZE";

std::string codes(const psTimingSteps& steps)
{
    std::string text;
    for (int i = 0; i < steps.count(); ++i) text += kCodes[steps[i].kind];
    return text;
}

bool alwaysBad(bool& bad87, bool& badSSX) { return badSSX = false, bad87 = true; }
void printStatus(bool bad87, bool badSSX) { g_ostrm << WARN << "status " << bad87 << badSSX << "\n" << msgRestore; }
} // namespace

TEST(TimingSteps, EachPathIsRecordedWithItsFiguresAndPrintsAsTheTimingDid)
{
    const struct { int method; bool avoid; funcLoop loop; funcCall call; const char* steps; psResult result; } cases[] = {
        {tmManual, false, nullptr, spinCall, "Mm", OK},
        {tmStatistic, false, nullptr, spinCall, "Tt", OK},
        // 1 loop misses 10000 clocks, 32 loops reach them, 128 agree at once.
        {tmAuto, false, nullptr, spinCall, "SPpPpIiE", OK},
        // Figures that never agree: the doubling, then a repeat series reusing the last figure.
        {tmAuto, false, jitterLoop, nullptr, "SPpPpIiRvvrE", ACCURWRN},
        {tmAuto, false, zeroLoop, nullptr, "SPpPpZ", ACCURFAIL},
        {tmAuto, false, failingLoop, nullptr, "SPpX", FUNCFAIL},
        // A status that stays bad: one series of 6 at the reduced loop count, the first reused.
        {tmAuto, true, nullptr, spinCall, "SPpPpIiAvvvvvrFE", OK}};
    psCpuTicker::setFreq(1);
    VirtualClock clock;
    spinTicks = 1000;
    for (const auto& c : cases) {
        psTool::setHooks(psToolHooks{nullptr, nullptr, c.avoid ? alwaysBad : nullptr, printStatus, nullptr, nullptr});
        psTool tool;
        if (c.method == tmManual) tool.setMethodLoop(10);
        if (c.method == tmStatistic) tool.setMethodStat(12, 10000);
        tool.setAvoidBadCtrlStatus(c.avoid);
        std::string printed;
        {
            StreamCapture capture(g_ostrm, ERR | WARN | INFO);
            EXPECT_EQ(tool.timing(c.loop, nullptr, c.call, nullptr), c.result) << c.steps;
            printed = capture.text();
        }
        if (c.method == tmManual) { EXPECT_NE(printed.find("numLoops   = 10\n"), std::string::npos) << printed; }
        const psTimingSteps& steps = tool.getSteps();
        EXPECT_EQ(codes(steps), c.steps);
        StreamCapture capture(g_ostrm, ERR | WARN | INFO);
        for (int i = 0; i < steps.count(); ++i) printTimingStep(steps[i], printStatus);
        EXPECT_EQ(capture.text(), printed) << c.steps;
    }
    psTool::setHooks(psToolHooks());
    psCpuTicker::setFreq(0);
    spinTicks = 0;
}

TEST(TimingSteps, AFullRecordCountsTheStepsItCannotKeep)
{
    psTimingSteps steps;
    for (int i = 0; i < psTimingSteps::capacity + 3; ++i) steps.add(psTimingStep{tsRepeatValue, i, 0, 0, 0, 0, OK});
    EXPECT_EQ(steps.count(), psTimingSteps::capacity);
    EXPECT_EQ(steps.dropped(), 3);
    EXPECT_EQ(steps[psTimingSteps::capacity - 1].loops, psTimingSteps::capacity - 1);
}
