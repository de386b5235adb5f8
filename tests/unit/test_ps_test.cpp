// The run sequence of one test: parameter loop, classification, console and csv lines, failures.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "ps_capture.h"
#include "ps_cpu_ticker.h"
#include "ps_cstream.h"
#include "ps_exception.h"
#include "ps_parameter.h"
#include "ps_test.h"
#include "synthetic_tests.h"

using namespace synthetic;

namespace {
// The session's table layout (a function cell, eight parameter cells, five result cells) and the
// Manual method over 4 loops on the virtual counter.
class RunSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        psCpuTicker::setFreq(2000);
        psTest::setParmColmCount(9);
        psTest::setResultColmCount(5);
        spinTicks = 2000;
        g_tool.setMethodLoop(4);
    }
    void TearDown() override
    {
        g_tool.setMethodAuto();
        psCpuTicker::setFreq(0);
    }
    VirtualClock clock;
};

// Two list parameters, "Len" and "Mode" (10, 20), measured by a loop function; `fail` makes the
// start (0) or the data preparation (1 throws, 2 refuses) fail.
class TwoParmTest : public psTest {
public:
    TwoParmTest(funcLoop loop, std::vector<int> lengths = {1, 2}, int fail = -1)
        : psTest(loop, nullptr, "two_parm", "src/p_two.cpp", "TwoParm//KY_REG"), m_lengths(lengths), m_fail(fail)
    {
    }
    bool canStart() override { return m_fail != 0; }
    void beginTest() override
    {
        psTest::beginTest();
        m_len.init("Len");
        for (int n : m_lengths) m_len.add(n);
        m_mode.init("Mode", 10, 20);
        regParm(m_len);
        regParm(m_mode);
    }
    bool initData() override
    {
        if (m_fail == 1) throw psException(psString("boom"));
        visited.push_back(std::to_string(m_len.value()) + "/" + std::to_string(m_mode.value()));
        return m_fail != 2;
    }
    std::vector<std::string> visited;

private:
    std::vector<int> m_lengths;
    int m_fail;
    psIterator<int> m_len, m_mode;
};

int s_loopCalls = 0;
psResult failSecond(int loops, long long* clocks)
{
    *clocks = 1000 * loops;
    return ++s_loopCalls >= 2 ? FUNCFAIL : OK;
}

} // namespace

TEST_F(RunSequence, ParametersTurnLikeAnOdometerAndEachCombinationWritesItsLines)
{
    StreamCapture csv(g_cstrm);
    TwoParmTest test(spinLoopFastest);
    std::string console;
    {
        StreamCapture out(g_ostrm, 7);
        EXPECT_EQ(test.run(), OK);
        console = out.text();
    }
    EXPECT_EQ(test.visited, (std::vector<std::string>{"1/10", "1/20", "2/10", "2/20"}));
    std::vector<std::string> lines = csv.lines();
    ASSERT_EQ(lines.size(), 4u);
    const char* params[] = {"1,10", "1,20", "2,10", "2,20"};
    for (int i = 0; i < 4; ++i) {
        // function, two parameters, six unused cells, then comment, clocks, unit, usec, MFlops.
        std::regex line(std::string("two_parm,") + params[i] + R"(,-,-,-,-,-,-,nLps=4,[0-9]+, ,[0-9.e+-]+,-)");
        EXPECT_TRUE(std::regex_match(lines[i], line)) << lines[i];
    }
    std::regex combination(R"(Len=1 Mode=10 \n  nLps=4      perf= *[0-9.e+]+/        1= *[0-9]+ clocks\n)");
    EXPECT_TRUE(std::regex_search(console, combination)) << console;
    EXPECT_EQ(console.find("-- "), std::string::npos) << console;
}

TEST_F(RunSequence, DuplicateLinesFailuresAndDataPreparationFailures)
{
    // A repeated value gives the duplicate notice after all four lines; a failure ends the loop
    // without a line of its own; a test that cannot start, throws, refuses its data or has an
    // empty list writes nothing (-1: the combinations visited are not counted).
    const struct { funcLoop loop; std::vector<int> lengths; int fail; psResult result; const char* text;
                   int visited; size_t csvLines; } cases[] = {
        {spinLoopFastest, {1, 1}, -1, DATAWRN,
         " have identical parameters\n-- Notice: duplicate lines in performance table (csv-file)\n", 4, 4},
        {failSecond, {1, 2}, -1, FUNCFAIL, "-- lib function fail on test parameters:\n", 2, 1},
        {spinLoopFastest, {1}, 0, DATAFAIL, "-- Can't start timing\n", -1, 0},
        {spinLoopFastest, {1}, 1, EXCPTFAIL, "--KYN. Exception: boom in initData\n", -1, 0},
        {spinLoopFastest, {1}, 2, DATAFAIL, "-- Fail while initialization of function data\n", -1, 0},
        {spinLoopFastest, {}, 3, DATAFAIL, "-- One of argument list for timing is empty\n", -1, 0}};
    for (const auto& c : cases) {
        s_loopCalls = 0;
        StreamCapture csv(g_cstrm);
        TwoParmTest test(c.loop, c.lengths, c.fail);
        StreamCapture out(g_ostrm, 7);
        EXPECT_EQ(test.run(), c.result) << c.text;
        EXPECT_TRUE(contains(out.text(), c.text)) << out.text();
        EXPECT_TRUE(c.visited < 0 || (int)test.visited.size() == c.visited) << test.visited.size() << c.text;
        EXPECT_EQ(csv.lines().size(), c.csvLines) << c.text;
    }
}

TEST(TestResult, ClockFiguresKeepThreeSignificantDigits)
{
    const struct { double v; const char* text; } cases[] = {{0, ""},         {123.4, "123"},      {12.34, "12.3"},
                                                          {5.5, "5.50"},   {0.00005, "5.000e-05"}, {2e7, "2.000e+07"},
                                                          {999.9, "1000"}, {0.05, "0.0500"}};
    psTest test(nullptr, nullptr, "t", "src/x", "T");
    for (const auto& c : cases) EXPECT_STREQ(test.formatClocks(c.v).c_str(), c.text) << c.v;
}
