#include "ps_test_list.h"

#include "ps_cache_iterator.h"
#include "ps_conditions.h"
#include "ps_interrupt.h"
#include "ps_parameter.h"
#include "ps_settings.h"
#include "ps_test.h"

psString& psTestList::m_startFunc = g_settings.startFunc;

psTestList::psTestList() : m_number(0)
{
    m_date.start();
    for (int& count : m_counts) count = 0;
}

void psTestList::plus(psResult result)
{
    ++m_number;
    if (result < 0 || result >= psResultCount) return;
    ++m_counts[result];
    if (result >= ACCURWRN && result <= resWRNG_NOT_SUPPORTED_CPU) ++m_counts[WRN];
    if (result >= ACCURFAIL && result <= EXCPTFAIL) ++m_counts[FAIL];
}

int psTestList::runTests(psConditions& conditions)
{
    beforeAll();
    for (iterator it = begin(); it != end(); ++it) {
        if (psInterrupted()) break;
        psTest* test = *it;
        if (!test->tobeRun(conditions)) continue;
        if (!m_startFunc.empty() && !test->getName().found(m_startFunc)) continue;
        m_startFunc = "";
        beforeTest();
        psResult result = test->run();
        afterTest(test);
        // Result 0 with the test's own result OK marks a test skipped by the ini-file pressing mode.
        if (!(result == UNDEFINED && test->getTestResult() == OK)) plus(result);
    }
    psReportInterrupt();
    return m_counts[FAIL] != 0 ? 1 : 0;
}

namespace {
// Whether test registered parm itself; its cache iterator stands for the parameter inside it.
bool usesParameter(psTest* test, psParameter* parm)
{
    psList<psParameter*>& parms = test->getParms();
    for (psList<psParameter*>::iterator it = parms.begin(); it != parms.end(); ++it) {
        psParameter* p = *it;
        psCacheIterator* cache = test->getCacheIterator();
        if (cache && p == static_cast<psParameter*>(cache)) p = &cache->getInnerParameter();
        if (p == parm) return true;
    }
    return false;
}
} // namespace

void psTestList::selectCommonParms(psConditions& conditions, psList<psParameter*>& common)
{
    typedef psList<psParameter*>::iterator parmIterator;
    for (parmIterator p = common.begin(); p != common.end(); ++p) (*p)->doInput(false);
    for (iterator it = begin(); it != end(); ++it) {
        psTest* test = *it;
        if (!test->tobeRun(conditions)) continue;
        // beginTest registers the test's parameters.
        test->startAndStop();
        bool done = true;
        for (parmIterator p = common.begin(); p != common.end(); ++p) {
            if ((*p)->doInput()) continue;
            done = false;
            if (usesParameter(test, *p)) (*p)->doInput(true);
        }
        test->dropCacheIterator();
        test->getParms().clear();
        // Once every common parameter is in use, later tests cannot change anything.
        if (done) break;
    }
    for (parmIterator p = common.end(); p != common.begin();) {
        --p;
        if (!(*p)->doInput()) p = common.erase(p);
    }
}

namespace {
bool testBefore(psTest* const& a, psTest* const& b)
{
    return a != nullptr && b != nullptr && a->compareFunc(b) < 0;
}
} // namespace

void psTestList::sortFunc()
{
    if (size() < 2) return;
    sort(testBefore);
}

void psTestList::startWithCpuTest()
{
    psList<psTest*> info, others;
    for (iterator it = begin(); it != end(); ++it) {
        if ((*it)->getName().length() > 0 && (*it)->getName()[0] == '_')
            info.push_back(*it);
        else
            others.push_back(*it);
    }
    clear();
    for (iterator it = info.begin(); it != info.end(); ++it) push_back(*it);
    for (iterator it = others.begin(); it != others.end(); ++it) push_back(*it);
}
