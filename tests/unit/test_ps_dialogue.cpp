// The common settings of a run: framed titles, the timing method with its numbers, the accuracy
// rule, the alignment group, common test parameters, and the console questions of each ask mode.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ps_capture.h"
#include "ps_conditions.h"
#include "ps_istream.h"
#include "ps_malloc.h"
#include "ps_parameter.h"
#include "ps_registry.h"
#include "ps_session.h"
#include "ps_test.h"
#include "ps_test_list.h"
#include "ps_tool.h"

namespace {

// Opens the protected steps around the dialogue.
class DialogueSession : public psSession {
public:
    using psSession::endCommonData;
    using psSession::selectTestParameters;
    void setAskMode(int mode) { m_askMode = mode; }
};

const std::string stars = " " + std::string(78, '*') + "\n";

std::string framed(int left, const std::string& title, int right)
{
    return stars + " *" + std::string(left, ' ') + title + std::string(right, ' ') + "*\n" + stars;
}
const std::string kEnd = framed(24, "End of common specifications", 24);
const std::string kAlign = " AlignVectorsBy = element\n VectorAlign = 0\n";

void expectLoop(int loops)
{
    int n = 0;
    ASSERT_TRUE(g_tool.getMethodLoop(n));
    EXPECT_EQ(loops, n);
}
void expectStat(int calls, long long clocks)
{
    int c = 0;
    long long k = 0;
    ASSERT_TRUE(g_tool.getMethodStat(c, k));
    EXPECT_EQ(calls, c);
    EXPECT_EQ(clocks, k);
}
void expectBest(int loops, int maxLoops, long long clocks)
{
    int l = 0, m = 0;
    long long k = 0;
    ASSERT_TRUE(g_tool.getMethodBest(l, m, k));
    EXPECT_EQ(loops, l);
    EXPECT_EQ(maxLoops, m);
    EXPECT_EQ(clocks, k);
}

// Every global the dialogue sets, saved at the start of a test and put back at its end, with
// -d data, console and ini file cleared.
class DialogueTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_tool = g_tool;
        g_tool = psTool();
        m_byByte = psGetAlignByByte();
        m_align = psGetVectorAlign();
        m_alignSrc = psGetAlignSrc();
        m_shift = psGetVectorShift();
        clearInput();
        g_istrm.setIniSection("Perf System");
    }
    void TearDown() override
    {
        g_tool = m_tool;
        psSetAlignByByte(m_byByte);
        psSetVectorAlign(m_align);
        psSetAlignSrc(m_alignSrc);
        psSetVectorShift(m_shift);
        clearInput();
        std::freopen("/dev/null", "r", stdin);
    }
    static void clearInput()
    {
        g_istrm.getDataList().clear();
        g_istrm.setIStream(nullptr);
        g_istrm.deleteIniFile();
    }

    void data(std::initializer_list<const char*> texts)
    {
        for (const char* text : texts) g_istrm.getDataList().set(text);
    }

    // Runs the whole dialogue with the given ask mode; returns what g_ostrm showed.
    std::string dialogue(int askMode)
    {
        DialogueSession session;
        session.setAskMode(askMode);
        StreamCapture capture(g_ostrm, ERR | WARN | PERF);
        session.readCommonData();
        return capture.text();
    }

    // The same with answers on standard input; prompts holds what went to standard output.
    std::string dialogue(int askMode, const std::string& answers, std::string& prompts)
    {
        TempFile input(answers);
        std::freopen(input.path().c_str(), "r", stdin);
        testing::internal::CaptureStdout();
        std::string shown = dialogue(askMode);
        prompts = testing::internal::GetCapturedStdout();
        return shown;
    }

private:
    psTool m_tool;
    bool m_byByte = false;
    int m_align = 0;
    bool m_alignSrc = false;
    int m_shift = 0;
};

} // namespace

TEST(DialogueTitle, FramedTitles)
{
    EXPECT_EQ(kEnd, psSession::getEnterTitle("End of common specifications").c_str());
    // An odd length puts the extra space on the right; wide titles fill the frame and then push it out.
    EXPECT_EQ(framed(23, "Specify timing method, please", 24),
              psSession::getEnterTitle("Specify timing method, please").c_str());
    EXPECT_EQ(framed(38, "", 38), psSession::getEnterTitle("").c_str());
    for (int width : {76, 90})
        EXPECT_EQ(framed(0, std::string(width, 'w'), 0), psSession::getEnterTitle(std::string(width, 'w').c_str()).c_str());
}

TEST_F(DialogueTest, AccuracyRule)
{
    const std::pair<const char*, double> cases[] = {{"Accuracy=0", 500.0}, {"Accuracy=60", 500.0},
        {"Accuracy=1", 0.01}, {"Accuracy=50", 0.5}, {"Accuracy=51", 500.0}, {"Accuracy=-5", 500.0}, {"Accuracy=20", 0.2}};
    for (const auto& c : cases) {
        g_istrm.getDataList().clear();
        data({c.first});
        dialogue(0);
        EXPECT_DOUBLE_EQ(c.second, g_tool.getAccuracy()) << c.first;
    }
    g_istrm.getDataList().clear();
    std::string shown = dialogue(0);
    EXPECT_DOUBLE_EQ(0.05, g_tool.getAccuracy());
    EXPECT_EQ(" Method = Auto\n Accuracy = 5\n" + kAlign, shown);

    // Iterative reads it too; Manual and Statistic keep the tool's accuracy and never read one.
    data({"Method=Iterative", "Accuracy=10"});
    dialogue(0);
    EXPECT_DOUBLE_EQ(0.1, g_tool.getAccuracy());
    g_tool.setAccuracy(0.25);
    for (const char* method : {"Method=Manual", "Method=Statistic"}) {
        data({method, "Accuracy=1"});
        shown = dialogue(0);
        EXPECT_DOUBLE_EQ(0.25, g_tool.getAccuracy()) << method;
        EXPECT_EQ(std::string::npos, shown.find("Accuracy")) << shown;
    }
}

TEST_F(DialogueTest, MethodsAndTheirNumbers)
{
    // Batch defaults of each method.
    data({"Method=Manual"});
    EXPECT_EQ(" Method = Manual\n NumLoops = 10\n" + kAlign, dialogue(0));
    expectLoop(10);
    data({"Method=stat"});
    EXPECT_EQ(" Method = Statistic\n NumCalls = 3\n TotalCpuClocks = 10000\n" + kAlign, dialogue(0));
    expectStat(3, 10000);
    data({"Method=I"});
    EXPECT_EQ(" Method = Iterative\n StartNumLoops = 1\n StopNumLoops = 2048\n MinCpuClocks = 10000\n"
              " Accuracy = 5\n" + kAlign, dialogue(0));
    expectBest(1, 2048, 10000);

    // Values from -d.
    data({"StartNumLoops=4", "StopNumLoops=64", "MinCpuClocks=0x10000"});
    dialogue(0);
    expectBest(4, 64, 65536);
    data({"Method=Statistic", "NumCalls=12", "TotalCpuClocks=123456"});
    dialogue(0);
    expectStat(12, 123456);
    data({"Method=Manual", "NumLoops=7"});
    dialogue(0);
    expectLoop(7);

    // A text that is no method and numbers that are no numbers keep their defaults.
    g_istrm.getDataList().clear();
    data({"Method=Fastest"});
    EXPECT_EQ("-Invalid value of Method = Fastest\n Method = Auto\n Accuracy = 5\n" + kAlign, dialogue(0));
    EXPECT_TRUE(g_tool.getMethodAuto());
    data({"Method=Manual", "NumLoops=ten"});
    std::string shown = dialogue(0);
    EXPECT_NE(std::string::npos, shown.find("-Invalid value of NumLoops = ten\n NumLoops = 10\n")) << shown;
    expectLoop(10);
}

TEST_F(DialogueTest, RegisteredTimingMethodGivesTheDefaults)
{
    psRegTimingMethod([](psTool& tool) { tool.setMethodStat(5, 777); });
    std::string shown = dialogue(0);
    data({"NumCalls=6"});
    dialogue(0);
    expectStat(6, 777);
    data({"Method=Iterative"});
    std::string iterative = dialogue(0);
    psRegTimingMethod(nullptr);

    EXPECT_EQ(" Method = Statistic\n NumCalls = 5\n TotalCpuClocks = 777\n" + kAlign, shown);
    // Another method keeps its usual numbers.
    EXPECT_NE(std::string::npos, iterative.find(" StartNumLoops = 1\n StopNumLoops = 2048\n MinCpuClocks = 10000\n"))
        << iterative;
}

TEST_F(DialogueTest, AlignmentGroup)
{
    data({"AlignVectorsBy=byte", "VectorAlign=70", "MisalignFirstVectorOnly=no", "MutualVectorShift=128"});
    psSetAlignSrc(true);
    psSetVectorShift(64);
    std::string shown = dialogue(0);
    EXPECT_TRUE(psGetAlignByByte());
    EXPECT_EQ(6, psGetVectorAlign());
    EXPECT_FALSE(psGetAlignSrc());
    EXPECT_EQ(512, psGetVectorShift());
    EXPECT_NE(std::string::npos, shown.find(" AlignVectorsBy = byte\n VectorAlign = 6\n MisalignFirstVectorOnly = no\n"))
        << shown;
    EXPECT_EQ(std::string::npos, shown.find("MutualVectorShift")) << shown;

    // Without a misalignment the first-vector switch is neither read nor touched.
    data({"AlignVectorsBy=element", "VectorAlign=64", "MisalignFirstVectorOnly=yes"});
    shown = dialogue(0);
    EXPECT_FALSE(psGetAlignByByte());
    EXPECT_EQ(0, psGetVectorAlign());
    EXPECT_FALSE(psGetAlignSrc());
    EXPECT_EQ(std::string::npos, shown.find("MisalignFirstVectorOnly")) << shown;
}

TEST_F(DialogueTest, IniFileFeedsAndRecordsTheCommonSection)
{
    TempFile file("[Perf System]\nMethod=Iterative\nStartNumLoops=3\nAccuracy=2\nVectorAlign=5\n"
                  "MutualVectorShift=64\n[Other]\nStopNumLoops=9\n");
    ASSERT_TRUE(g_istrm.setIniFile(file.path().c_str(), false));
    data({"Accuracy=3"}); // -d still wins
    dialogue(0);
    expectBest(3, 2048, 10000);
    EXPECT_DOUBLE_EQ(0.03, g_tool.getAccuracy());
    EXPECT_EQ(5, psGetVectorAlign());
    EXPECT_EQ(512, psGetVectorShift());

    // Write mode records what was used, under the names and with the valid values.
    TempFile written("");
    ASSERT_TRUE(g_istrm.setIniFile(written.path().c_str(), true));
    g_istrm.getDataList().clear();
    data({"NumLoops=4", "Method=Manual"});
    dialogue(0);
    g_istrm.deleteIniFile();
    EXPECT_EQ("\n[Perf System]\nMethod=Manual\t// Auto|Manual|Statistic|Iterative\nNumLoops=4\n"
              "AlignVectorsBy=element\t// byte|element\nVectorAlign=0\n",
              written.read());
}

TEST_F(DialogueTest, ConsoleAsksOnlyTheChosenGroups)
{
    // Bit 1: the timing method with its numbers and the accuracy, then the closing title.
    std::string prompts;
    std::string shown = dialogue(1, "s\n\n40000\n", prompts);
    EXPECT_EQ("\n Method {Auto|Manual|Statistic|Iterative} [Auto] = "
              "\n NumCalls [3] = "
              "\n TotalCpuClocks [10000] = ",
              prompts);
    EXPECT_EQ(framed(23, "Specify timing method, please", 24) +
                  " Method = Statistic\n NumCalls = 3\n TotalCpuClocks = 40000\n" + kAlign + kEnd,
              shown);
    expectStat(3, 40000);

    // -d values are not asked.
    data({"Method=Auto"});
    shown = dialogue(1, "30\n", prompts);
    EXPECT_EQ("\n Accuracy, % [5] = ", prompts);
    EXPECT_DOUBLE_EQ(0.3, g_tool.getAccuracy());
    g_istrm.getDataList().clear();

    // Bit 4 alone: only the alignment; no misalignment, so no question about the first vector.
    shown = dialogue(4, "\n\n", prompts);
    EXPECT_EQ("\n AlignVectorsBy {byte|element} [element] = \n VectorAlign by Element, 0..63 [0] = ", prompts);
    // The timing group is read first, without the console.
    EXPECT_EQ(" Method = Auto\n Accuracy = 5\n" + framed(21, "Specify vectors alignment, please", 22) + kAlign + kEnd,
              shown);

    psSetAlignSrc(true);
    dialogue(4, "b\n3\nno\n", prompts);
    EXPECT_EQ("\n AlignVectorsBy {byte|element} [element] = \n VectorAlign by Byte, 0..63 [0] = "
              "\n MisalignFirstVectorOnly {yes|no} [yes] = ",
              prompts);
    EXPECT_TRUE(psGetAlignByByte());
    EXPECT_EQ(3, psGetVectorAlign());
    EXPECT_FALSE(psGetAlignSrc());

    // Bit 2 without common parameters asks nothing: no title at all.
    shown = dialogue(2, "Manual\n", prompts);
    EXPECT_EQ("", prompts);
    EXPECT_EQ(std::string::npos, shown.find("***")) << shown;
    EXPECT_TRUE(g_tool.getMethodAuto());
}

TEST_F(DialogueTest, EndOfInputInTheMiddleTakesDefaults)
{
    std::string prompts;
    std::string shown = dialogue(5, "i\n7", prompts);
    expectBest(7, 2048, 10000);
    EXPECT_DOUBLE_EQ(0.05, g_tool.getAccuracy());
    EXPECT_FALSE(psGetAlignByByte());
    EXPECT_EQ(0, psGetVectorAlign());
    // Every remaining question was still put, once.
    EXPECT_EQ("\n Method {Auto|Manual|Statistic|Iterative} [Auto] = \n StartNumLoops [1] = "
              "\n StopNumLoops [2048] = \n MinCpuClocks [10000] = \n Accuracy, % [5] = "
              "\n AlignVectorsBy {byte|element} [element] = \n VectorAlign by Element, 0..63 [0] = ",
              prompts);
    EXPECT_NE(std::string::npos, shown.find("End of common specifications")) << shown;

    // Standard input closed from the start.
    shown = dialogue(15, "", prompts);
    EXPECT_TRUE(g_tool.getMethodAuto());
    EXPECT_NE(std::string::npos, shown.find("End of common specifications")) << shown;
}

TEST_F(DialogueTest, ConsoleStaysForTheTestsOnlyWithAskModeEight)
{
    DialogueSession session;
    for (int mode : {7, 15}) {
        session.setAskMode(mode);
        g_istrm.setIStream(&c_in);
        session.endCommonData();
        EXPECT_EQ(mode == 7, g_istrm.batchMode()) << mode;
    }
}

namespace {

// A test that registers the parameters it is given and counts how often it was set up.
class ParmTest : public psTest {
public:
    ParmTest(const char* name, std::vector<psParameter*> parms, psIterator<int>* cached = nullptr)
        : psTest(nullptr, nullptr, nullptr, nullptr, name, "src/x", "Parm"), m_list(parms), m_cached(cached)
    {
    }
    void beginTest() override
    {
        psTest::beginTest();
        ++begun;
        for (psParameter* p : m_list) regParm(*p);
        if (m_cached) regCacheParm(*m_cached, nullptr, nullptr);
    }
    int begun = 0;

private:
    std::vector<psParameter*> m_list;
    psIterator<int>* m_cached;
};

psList<psParameter*> listOf(std::initializer_list<psParameter*> parms)
{
    psList<psParameter*> list;
    for (psParameter* p : parms) list.push_back(p);
    return list;
}

std::string names(psList<psParameter*>& list)
{
    std::string text;
    for (psList<psParameter*>::iterator it = list.begin(); it != list.end(); ++it) text += (*it)->getName().c_str();
    return text;
}

} // namespace

TEST_F(DialogueTest, CommonParametersInUse)
{
    psDefault<int> a(1, "A"), b(2, "B"), c(3, "C"), d(4, "D"), own(5, "own");
    psIterator<int> cachedD;
    cachedD.init("D", 1, 2);

    ParmTest* t1 = new ParmTest("t1", {&own, &a});
    ParmTest* t2 = new ParmTest("t2", {&c});
    ParmTest* skipped = new ParmTest("skipped", {&b});
    ParmTest* t3 = new ParmTest("t3", {&a});
    ParmTest* t4 = new ParmTest("t4", {&a});
    psTestList tests;
    for (ParmTest* t : {t1, t2, skipped}) tests.push_back(t);
    psConditions conditions;
    RunCondition_fNot notSkipped("skipped");
    conditions.push_back(&notSkipped);

    psList<psParameter*> common = listOf({&a, &b, &c});
    b.doInput(true); // a mark left from before does not count
    tests.selectCommonParms(conditions, common);
    EXPECT_EQ("AC", names(common));
    EXPECT_TRUE(a.doInput());
    EXPECT_FALSE(b.doInput());
    EXPECT_TRUE(c.doInput());
    EXPECT_EQ(0, skipped->begun);
    // The parameters the tests registered for the look are dropped again.
    EXPECT_TRUE(t1->getParms().empty());

    // Once every common parameter is marked the remaining tests are not looked at.
    tests.push_back(t3);
    tests.push_back(t4);
    psList<psParameter*> two = listOf({&a, &c});
    tests.selectCommonParms(conditions, two);
    EXPECT_EQ("AC", names(two));
    EXPECT_EQ(2, t1->begun);
    EXPECT_EQ(2, t2->begun);
    EXPECT_EQ(1, t3->begun);
    EXPECT_EQ(0, t4->begun);

    // A parameter wrapped by the cache iterator counts as used.
    psTestList cacheTests;
    ParmTest* cached = new ParmTest("tc", {}, &cachedD);
    cacheTests.push_back(cached);
    psList<psParameter*> withD = listOf({&d, &cachedD});
    bool cacheMode = psTest::getCacheMode();
    psTest::setCacheMode(true);
    cacheTests.selectCommonParms(conditions, withD);
    psTest::setCacheMode(cacheMode);
    EXPECT_EQ("D", names(withD));
    EXPECT_EQ(&cachedD, withD.front());
    EXPECT_EQ(nullptr, cached->getCacheIterator());

    // An empty list stays empty.
    psList<psParameter*> none;
    tests.selectCommonParms(conditions, none);
    EXPECT_TRUE(none.empty());

    for (psTestList::iterator it = tests.begin(); it != tests.end(); ++it) delete *it;
    delete cached;
}

TEST_F(DialogueTest, CommonParametersAreReadOnce)
{
    psDefault<int> width(8, "Width");
    psIterator<int> sizes;
    sizes.init("Sizes", 16, 32);
    psRegParm(width);
    psRegParm(sizes);
    psList<psParameter*>* common = psGetParmList();

    data({"Width=12"});
    std::string prompts;
    std::string shown = dialogue(2, "64;128\n", prompts);
    common->clear();

    EXPECT_EQ("\n Sizes [16; 32] = ", prompts);
    EXPECT_EQ(12, width.value());
    EXPECT_EQ("64; 128", std::string(sizes.defaultString().c_str()));
    EXPECT_FALSE(width.doInput());
    EXPECT_FALSE(sizes.doInput());
    EXPECT_NE(std::string::npos, shown.find("Specify common test parameters, please")) << shown;
    EXPECT_NE(std::string::npos, shown.find(" Width = 12\n Sizes = 64; 128\n")) << shown;
    EXPECT_NE(std::string::npos, shown.find("End of common specifications")) << shown;
    // Marked off, a parameter is only shown when a test would read it again.
    StreamCapture capture(g_ostrm, ERR | WARN | PERF);
    data({"Width=99"});
    g_istrm >> width;
    EXPECT_EQ(12, width.value());
    EXPECT_EQ(" Width = 12\n", capture.text());
}
