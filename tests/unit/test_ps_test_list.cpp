// Running and counting the test list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ps_conditions.h"
#include "ps_test.h"
#include "ps_test_list.h"

namespace {
// A test that ends with a chosen result and logs that it ran; UNDEFINED with an OK test result is
// how a test skipped by the ini file's pressing mode ends.
class FixedTest : public psTest {
public:
    FixedTest(const char* name, psResult result, std::vector<std::string>* log = nullptr, psResult own = UNDEFINED)
        : psTest(nullptr, nullptr, nullptr, nullptr, name, "src/x", "Fixed"), m_result(result), m_own(own), m_log(log)
    {
    }
    psResult run() override
    {
        if (m_log) m_log->push_back(getName().c_str());
        m_testResult = m_own == UNDEFINED ? m_result : m_own;
        return m_result;
    }

private:
    psResult m_result, m_own;
    std::vector<std::string>* m_log;
};

struct List : psTestList {
    ~List()
    {
        for (iterator it = begin(); it != end(); ++it) delete *it;
    }
};
} // namespace

TEST(TestList, WarningsAndFailuresAreCountedUnderTheirKindAndTheirClass)
{
    psTestList list;
    for (psResult r : {OK, ACCURWRN, resWRNG_NOT_SUPPORTED_CPU, EXCPTFAIL, WRN, FAIL, ACCURFAIL}) list.plus(r);
    const int expected[psResultCount] = {0, 1, 1, 0, 0, 0, 1, 3, 1, 0, 0, 1, 3};
    for (int r = 0; r < psResultCount; ++r) EXPECT_EQ(list.getStatistic((psResult)r), expected[r]) << r;
    EXPECT_EQ(list.getNumber(), 7);
}

TEST(TestList, RunsSelectedTestsFromTheStartFunctionAndSkipsPressedOnes)
{
    std::vector<std::string> log;
    List list;
    list.push_back(new FixedTest("a_sign", OK, &log));
    list.push_back(new FixedTest("c_ecdsa_sign", ACCURWRN, &log));
    list.push_back(new FixedTest("c_verify", OK, &log));
    list.push_back(new FixedTest("d_sign", OK, &log, OK));
    list.push_back(new FixedTest("e_sign", UNDEFINED, &log, OK)); // skipped: not counted
    psConditions conditions;
    RunCondition_f sign("sign");
    conditions.push_back(&sign);
    psTestList::setStartFunction("ecdsa");
    EXPECT_EQ(list.runTests(conditions), 0) << "warnings do not fail the run";
    EXPECT_EQ(log, (std::vector<std::string>{"c_ecdsa_sign", "d_sign", "e_sign"}));
    EXPECT_EQ(list.getNumber(), 2);
    EXPECT_EQ(psTestList::getStartFunction(), "");

    List failing;
    failing.push_back(new FixedTest("f", DATAFAIL));
    psConditions all;
    EXPECT_EQ(failing.runTests(all), 1);
}
