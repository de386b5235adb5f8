// Running, counting, sorting and reordering the test list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ps_conditions.h"
#include "ps_test.h"
#include "ps_test_list.h"

namespace {
// A test that ends with a chosen result and records that it ran.
class FixedTest : public psTest {
public:
    FixedTest(const char* name, psResult result, std::vector<std::string>* log = nullptr)
        : psTest(nullptr, nullptr, nullptr, nullptr, name, "src/x", "Fixed"), m_result(result), m_log(log)
    {
    }
    psResult run() override
    {
        if (m_log) m_log->push_back(getName().c_str());
        m_testResult = m_result;
        return m_result;
    }

private:
    psResult m_result;
    std::vector<std::string>* m_log;
};

std::vector<std::string> names(psTestList& list)
{
    std::vector<std::string> result;
    for (psTestList::iterator it = list.begin(); it != list.end(); ++it) result.push_back((*it)->getName().c_str());
    return result;
}

void destroy(psTestList& list)
{
    for (psTestList::iterator it = list.begin(); it != list.end(); ++it) delete *it;
    list.clear();
}
} // namespace

TEST(TestList, CountsWarningsAndFailuresTwice)
{
    psTestList list;
    list.plus(OK);
    list.plus(ACCURWRN);
    list.plus(resWRNG_NOT_SUPPORTED_CPU);
    list.plus(EXCPTFAIL);
    list.plus(WRN);
    list.plus(FAIL);
    EXPECT_EQ(list.getNumber(), 6);
    EXPECT_EQ(list.getStatistic(OK), 1);
    EXPECT_EQ(list.getStatistic(ACCURWRN), 1);
    EXPECT_EQ(list.getStatistic(resWRNG_NOT_SUPPORTED_CPU), 1);
    EXPECT_EQ(list.getStatistic(EXCPTFAIL), 1);
    EXPECT_EQ(list.getStatistic(WRN), 3);
    EXPECT_EQ(list.getStatistic(FAIL), 2);
    EXPECT_EQ(list.getStatistic(DATAFAIL), 0);
}

TEST(TestList, RunsSelectedTestsFromTheStartFunction)
{
    std::vector<std::string> log;
    psTestList list;
    list.push_back(new FixedTest("a_sign", OK, &log));
    list.push_back(new FixedTest("b_verify", OK, &log));
    list.push_back(new FixedTest("c_ecdsa_sign", ACCURWRN, &log));
    list.push_back(new FixedTest("d_sign", DATAFAIL, &log));
    list.push_back(new FixedTest("e_other", OK, &log));
    psConditions conditions;
    RunCondition_f sign("sign");
    conditions.push_back(&sign);

    psTestList::setStartFunction("ecdsa");
    EXPECT_EQ(list.runTests(conditions), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"c_ecdsa_sign", "d_sign"}));
    EXPECT_EQ(list.getNumber(), 2);
    EXPECT_STREQ(psTestList::getStartFunction().c_str(), "");
    destroy(list);
}

TEST(TestList, PressingModeSkipIsNotCounted)
{
    // A test that returns UNDEFINED while its own result is OK was skipped by the ini file.
    class Skipped : public psTest {
    public:
        Skipped() : psTest(nullptr, nullptr, nullptr, nullptr, "skipped", "src/x", "S") {}
        psResult run() override
        {
            m_testResult = OK;
            return UNDEFINED;
        }
    };
    psTestList list;
    list.push_back(new Skipped);
    list.push_back(new FixedTest("undefined", UNDEFINED));
    psConditions none;
    EXPECT_EQ(list.runTests(none), 0);
    EXPECT_EQ(list.getNumber(), 1);
    EXPECT_EQ(list.getStatistic(UNDEFINED), 1);
    destroy(list);
}

TEST(TestList, SortIsStableAndInformationTestsGoFirst)
{
    psTestList list;
    list.push_back(new FixedTest("y", OK));
    list.push_back(new FixedTest("_b", OK));
    list.push_back(new FixedTest("x", OK));
    list.push_back(new FixedTest("_a", OK));
    list.startWithCpuTest();
    EXPECT_EQ(names(list), (std::vector<std::string>{"_b", "_a", "y", "x"}));
    list.sortFunc();
    EXPECT_EQ(names(list), (std::vector<std::string>{"_a", "_b", "x", "y"}));
    destroy(list);

    // Equal names keep their order through the sort.
    psTest* first = new FixedTest("same", OK);
    psTest* second = new FixedTest("same", FAIL);
    list.push_back(new FixedTest("z", OK));
    list.push_back(first);
    list.push_back(second);
    list.sortFunc();
    psTestList::iterator it = list.begin();
    EXPECT_EQ(*it, first);
    EXPECT_EQ(*++it, second);
    destroy(list);
}
