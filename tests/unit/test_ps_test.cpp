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
// While it lives, the csv result table writes to a temporary file only.
class CsvCapture {
public:
    CsvCapture() : m_file(m_temp.path().c_str(), openAsIs, true)
    {
        g_cstrm.swap(m_saved);
        g_cstrm.push_back(&m_file);
    }
    ~CsvCapture()
    {
        g_cstrm.clear();
        g_cstrm.swap(m_saved);
    }
    std::vector<std::string> lines()
    {
        std::vector<std::string> result;
        std::istringstream in(m_temp.read());
        for (std::string line; std::getline(in, line);) result.push_back(line);
        return result;
    }

private:
    TempFile m_temp;
    o_stream m_file;
    psList<o_stream*> m_saved;
};

// The session's table layout: the function cell and eight parameter cells, then five result cells.
class RunSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        psCpuTicker::setFreq(2000);
        psTest::setParmColmCount(9);
        psTest::setResultColmCount(5);
        setSpinTicks(2000);
        g_tool.setMethodLoop(4);
        g_tool.setAccuracy(0.05);
        g_hits.clear();
    }
    void TearDown() override
    {
        g_tool.setMethodAuto();
        psCpuTicker::setFreq(0);
    }
    static std::vector<std::string> g_hits;
};
std::vector<std::string> RunSequence::g_hits;

// Two list parameters, "Len" (1, 2) and "Mode" (10, 20), measured by a spinning loop function.
class TwoParmTest : public psTest {
public:
    TwoParmTest(funcLoop loop = spinLoopFastest) : psTest(loop, nullptr, "two_parm", "src/p_two.cpp", "TwoParm//KY_REG")
    {
    }
    void beginTest() override
    {
        psTest::beginTest();
        m_len.init("Len");
        m_len.add(1);
        m_len.add(2);
        m_mode.init("Mode");
        m_mode.add(10);
        m_mode.add(20);
        regParm(m_len);
        regParm(m_mode);
    }
    bool initData() override
    {
        visited.push_back(std::to_string(m_len.value()) + "/" + std::to_string(m_mode.value()));
        return true;
    }
    std::vector<std::string> visited;
    psIterator<int> m_len;
    psIterator<int> m_mode;
};

// Fails with a library error from the second call of its loop function on.
int s_loopCalls = 0;
psResult failSecond(int loops, long long* clocks)
{
    *clocks = 1000 * loops;
    return ++s_loopCalls >= 2 ? FUNCFAIL : OK;
}
} // namespace

TEST_F(RunSequence, ParametersTurnLikeAnOdometerAndEachCombinationWritesItsLines)
{
    CsvCapture csv;
    TwoParmTest test;
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
        // function, the two parameters, six unused parameter cells, then comment, clocks, unit, usec, MFlops.
        std::regex line(std::string("two_parm,") + params[i] +
                        R"(,-,-,-,-,-,-,nLps=4,[0-9]+, ,[0-9.e+-]+,-)");
        EXPECT_TRUE(std::regex_match(lines[i], line)) << lines[i];
    }

    EXPECT_NE(console.find("   Test has been registered by KY_REG macro with loopMethod.\n"
                           "   loopMethod is called for measuring.\n"),
              std::string::npos)
        << console;
    // The parameter line and the result line of the first combination; the clocks per call print
    // as "%.3g" (2.14e+03), the figure per unit as formatted clocks (2142).
    std::regex combination(R"(Len=1 Mode=10 \n  nLps=4      perf= *[0-9.e+]+/        1= *[0-9]+ clocks\n)");
    EXPECT_TRUE(std::regex_search(console, combination)) << console;
    EXPECT_EQ(console.find("-- "), std::string::npos) << console;
}

TEST_F(RunSequence, AFailureEndsTheLoopWithoutACsvLine)
{
    CsvCapture csv;
    s_loopCalls = 0;
    TwoParmTest test(failSecond);
    std::string console;
    {
        StreamCapture out(g_ostrm, 7);
        EXPECT_EQ(test.run(), FUNCFAIL);
        console = out.text();
    }
    // The loop function is called more than once per measurement by the timing engine, so the
    // failure comes within the first combination or the second; nothing after it runs.
    EXPECT_LE(test.visited.size(), 2u);
    EXPECT_EQ(csv.lines().size(), test.visited.size() - 1);
    EXPECT_NE(console.find("-- lib function fail on test parameters:\n"), std::string::npos) << console;
}

TEST_F(RunSequence, DataPreparationFailures)
{
    class NoData : public psTest {
    public:
        NoData() : psTest(spinLoopFastest, nullptr, "no_data", "src/x", "NoData") {}
        bool initData() override { return false; }
    };
    class Throws : public psTest {
    public:
        Throws() : psTest(spinLoopFastest, nullptr, "throws", "src/x", "Throws") {}
        bool initData() override { throw psException(psString("boom")); }
        void flushStart() override { ++flushStarts; }
        void endTest() override { ++endTests; }
        int flushStarts = 0;
        int endTests = 0;
    };
    class CannotStart : public psTest {
    public:
        CannotStart() : psTest(spinLoopFastest, nullptr, "cannot", "src/x", "Cannot") {}
        bool canStart() override { return false; }
    };
    class EmptyList : public psTest {
    public:
        EmptyList() : psTest(spinLoopFastest, nullptr, "empty", "src/x", "Empty") {}
        void beginTest() override
        {
            psTest::beginTest();
            m_list.init("Len");
            regParm(m_list);
        }
        psIterator<int> m_list;
    };

    StreamCapture out(g_ostrm, ERR);
    NoData noData;
    EXPECT_EQ(noData.run(), DATAFAIL);
    std::string text = out.text();
    EXPECT_NE(text.find("-- Fail while initialization of function data\n"), std::string::npos) << text;

    Throws throws;
    EXPECT_EQ(throws.run(), EXCPTFAIL);
    EXPECT_NE(out.text().find("--KYN. Exception: boom in initData\n"), std::string::npos) << out.text();
    EXPECT_EQ(throws.flushStarts, 0);
    EXPECT_EQ(throws.endTests, 1);

    CannotStart cannot;
    EXPECT_EQ(cannot.run(), DATAFAIL);
    EXPECT_NE(out.text().find("-- Can't start timing\n"), std::string::npos);

    EmptyList empty;
    EXPECT_EQ(empty.run(), DATAFAIL);
    EXPECT_NE(out.text().find("-- One of argument list for timing is empty\n"), std::string::npos);
}

TEST_F(RunSequence, WarningsCountAsOkWhenOnlyErrorsAreShown)
{
    class Probe : public psTest {
    public:
        Probe() : psTest(nullptr, nullptr, "probe", "src/x", "Probe") {}
        psResult resultAfter(psResult r)
        {
            m_currentResult = UNDEFINED;
            updateCurrentResult(r);
            return m_currentResult;
        }
    } probe;
    {
        StreamCapture out(g_ostrm, ERR);
        EXPECT_EQ(probe.resultAfter(ACCURWRN), OK);
        EXPECT_EQ(probe.resultAfter(FUNCFAIL), FUNCFAIL);
    }
    StreamCapture out(g_ostrm, 3);
    EXPECT_EQ(probe.resultAfter(ACCURWRN), ACCURWRN);
}

TEST(TestText, FormatClocksAndRegistrationInfo)
{
    class Texts : public psTest {
    public:
        Texts(funcCall call, funcLoop loop, funcStat stat, funcOld old)
            : psTest(call, nullptr, loop, stat, "t", "src/x", "T")
        {
            m_funcOld = old;
        }
    };
    Texts t(nullptr, nullptr, nullptr, nullptr);
    EXPECT_STREQ(t.formatClocks(0).c_str(), "");
    EXPECT_STREQ(t.formatClocks(123.4).c_str(), "123");
    EXPECT_STREQ(t.formatClocks(12.34).c_str(), "12.3");
    EXPECT_STREQ(t.formatClocks(5.5).c_str(), "5.50");
    EXPECT_STREQ(t.formatClocks(0.00005).c_str(), "5.000e-05");
    EXPECT_STREQ(t.formatClocks(2e7).c_str(), "2.000e+07");
    EXPECT_STREQ(t.regInfo().c_str(),
                 "   Test has been registered without any function to call.\n No standard timing method is available");

    Texts callOnly(spinCall, nullptr, nullptr, nullptr);
    EXPECT_STREQ(callOnly.regInfo().c_str(),
                 "   Test has been registered with funcCall.\n   funcCall is called for measuring.");
    Texts both(spinCall, spinLoopFastest, spinStat, nullptr);
    g_tool.setMethodStat(3, 10000);
    both.getTool() = g_tool;
    EXPECT_STREQ(both.regInfo().c_str(),
                 "   Test has been registered with loopMethod, statMethod, funcCall.\n   statMethod is called for measuring.");
    g_tool.setMethodAuto();
    Texts old(nullptr, nullptr, nullptr, spinOld);
    EXPECT_STREQ(old.regInfo().c_str(), "   Test has been registered with oldMethod.\n   oldMethod is called for measuring.");
}

TEST(TestInfo, RegistrationStringParts)
{
    psTestInfo full("TimECC256_TZV//KY_REG");
    EXPECT_STREQ(full.className.c_str(), "TimECC256_TZV");
    EXPECT_STREQ(full.description.c_str(), "");
    EXPECT_STREQ(full.macroName.c_str(), "KY_REG");
    psTestInfo two("Cls/Some description");
    EXPECT_STREQ(two.description.c_str(), "Some description");
    EXPECT_STREQ(two.macroName.c_str(), "");
    psTestInfo one("Cls");
    EXPECT_STREQ(one.className.c_str(), "Cls");
}
