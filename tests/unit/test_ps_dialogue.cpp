// The common settings of a run that the end-to-end runs do not show: the accuracy rule of the
// searching methods and which common test parameters are in use.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "ps_capture.h"
#include "ps_conditions.h"
#include "ps_istream.h"
#include "ps_malloc.h"
#include "ps_parameter.h"
#include "ps_session.h"
#include "ps_test.h"
#include "ps_test_list.h"
#include "ps_tool.h"

TEST(Dialogue, AccuracyOutsideOneToFiftyPercentAcceptsAnyMeasurement)
{
    psTool saved = g_tool;
    bool byByte = psGetAlignByByte();
    // Manual and Statistic never read an accuracy and keep the tool's.
    const struct { const char* method; const char* accuracy; double value; } cases[] = {
        {"Auto", "0", 500.0},      {"Auto", "1", 0.01},        {"Auto", "50", 0.5},       {"Auto", "51", 500.0},
        {"Auto", "-5", 500.0},     {"Auto", "20", 0.2},        {"Auto", nullptr, 0.05},   {"Iterative", "10", 0.1},
        {"Manual", "1", 0.25},     {"Statistic", "1", 0.25}};
    for (const auto& c : cases) {
        g_tool = psTool();
        g_tool.setAccuracy(0.25);
        psDataList& data = g_istrm.getDataList();
        data.clear();
        data.set("Method", c.method);
        if (c.accuracy) data.set("Accuracy", c.accuracy);
        psSession session;
        StreamCapture capture(g_ostrm, ERR);
        session.readCommonData();
        EXPECT_DOUBLE_EQ(g_tool.getAccuracy(), c.value) << c.method << " " << (c.accuracy ? c.accuracy : "-");
    }
    g_istrm.getDataList().clear();
    g_tool = saved;
    psSetAlignByByte(byByte);
    psSetVectorAlign(0);
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

struct Tests : psTestList {
    ~Tests()
    {
        for (iterator it = begin(); it != end(); ++it) delete *it;
    }
};

std::string select(psTestList& tests, std::initializer_list<psParameter*> parms)
{
    psList<psParameter*> common;
    for (psParameter* p : parms) common.push_back(p);
    psConditions conditions;
    RunCondition_fNot notSkipped("skipped");
    conditions.push_back(&notSkipped);
    tests.selectCommonParms(conditions, common);
    std::string names;
    for (psList<psParameter*>::iterator it = common.begin(); it != common.end(); ++it)
        names += (*it)->getName().c_str();
    return names;
}
} // namespace

TEST(Dialogue, CommonParametersAreThoseASelectedTestUses)
{
    psDefault<int> a(1, "A"), b(2, "B"), c(3, "C"), d(4, "D"), own(5, "own");
    Tests tests;
    ParmTest *t1 = new ParmTest("t1", {&own, &a}), *skipped = new ParmTest("skipped", {&b});
    for (ParmTest* t : {t1, new ParmTest("t2", {&c}), skipped}) tests.push_back(t);
    b.doInput(true); // a mark left from before does not count
    EXPECT_EQ(select(tests, {&a, &b, &c}), "AC");
    EXPECT_FALSE(b.doInput());
    EXPECT_TRUE(t1->getParms().empty()) << "the parameters registered for the look are dropped again";
    EXPECT_EQ(skipped->begun, 0);
    // Once every common parameter is in use, the remaining tests are not looked at.
    ParmTest *t3 = new ParmTest("t3", {&a}), *t4 = new ParmTest("t4", {&a});
    for (ParmTest* t : {t3, t4}) tests.push_back(t);
    EXPECT_EQ(select(tests, {&a, &c}), "AC");
    EXPECT_EQ(t3->begun, 1);
    EXPECT_EQ(t4->begun, 0);

    // A parameter wrapped by the cache iterator counts as used.
    psIterator<int> cachedD;
    cachedD.init("D", 1, 2);
    Tests cacheTests;
    ParmTest* cached = new ParmTest("tc", {}, &cachedD);
    cacheTests.push_back(cached);
    bool cacheMode = psTest::getCacheMode();
    psTest::setCacheMode(true);
    EXPECT_EQ(select(cacheTests, {&d, &cachedD}), "D");
    psTest::setCacheMode(cacheMode);
    EXPECT_EQ(cached->getCacheIterator(), nullptr);
}
