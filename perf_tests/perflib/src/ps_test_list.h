// All registered tests, run one after another and counted by result.
#ifndef PS_TEST_LIST_H
#define PS_TEST_LIST_H

#include "ps_date.h"
#include "ps_list.h"
#include "ps_result.h"
#include "ps_string.h"

class psTest;
class psConditions;
class psParameter;

class psTestList : public psList<psTest*> {
public:
    psTestList();
    virtual ~psTestList() {}

    // Runs the selected tests; 1 when at least one failed, else 0.
    int runTests(psConditions& conditions);
    // Keeps in common only the parameters some selected test uses, and marks them for input.
    void selectCommonParms(psConditions& conditions, psList<psParameter*>& common);
    void plus(psResult result);
    int getNumber() const { return m_number; }
    int getStatistic(psResult result) const { return result >= 0 && result < psResultCount ? m_counts[result] : 0; }
    void sortFunc();
    void startWithCpuTest();
    psDate& getDate() { return m_date; }

    static void setStartFunction(psString name) { m_startFunc = name; }
    static psString getStartFunction() { return m_startFunc; }

protected:
    // Places for instrumentation.
    virtual void beforeAll() {}
    virtual void beforeTest() {}
    virtual void afterTest(psTest*) {}

private:
    psDate m_date;
    int m_number;
    int m_counts[psResultCount];
    static psString& m_startFunc; // -F: in g_settings
};

#endif
