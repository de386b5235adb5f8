// kyTest: the base of every test that measures a library function. It adds the function-name model
// for the csv columns and the test order, the translation of library statuses into results, and the
// dump of the data blocks a test allocated.
#ifndef KY_TEST_H
#define KY_TEST_H

#include "ky_func.h"
#include "ps_object.h"
#include "ps_test.h"

class kyTest : public psTest {
public:
    kyTest(funcCall call, funcInit init, funcLoop loop, funcStat stat, psString name, psString file, psString info);

    // 0 gives OK silently; a positive status a "--KYN NOTE." warning (FUNCWRN, or OK without a word
    // while only errors are checked); a negative one a "--KYN FAIL." (FUNCFAIL). The result is also
    // recorded as the current result of the measurement.
    static psResult checkStatus(int status, const psString& name);
    psResult checkStatus(int status) { return checkStatus(status, m_func); }
    static void checkErrorsOnly(bool on) { m_checkErrorsOnly = on; }
    static bool getCheckErrorsOnly() { return m_checkErrorsOnly; }

    const kyFunc& getFunc() const { return m_func; }

    bool tobeRun(psConditions& conditions) override;
    psResult run() override;
    int compareFunc(const psTest* other) const override;
    void funcToCstrm() override;
    bool isFloatFunction() override;
    bool printAllMemoryBlocks(psString name) override;
    psString regInfo() override;

    // The pieces of the memory dump, each written at the current (DATA) message level.
    virtual void printFirstDebugLine(psString name);
    virtual void printLastDebugLine(psString name);
    virtual void printFirstBlockLine(int index, void* owner, int size);
    virtual void printLastBlockLine();
    virtual void printVectorBlock(psObject* object);
    virtual void printByteBlock(const void* pointer, int size);

protected:
    kyFunc m_func;

    static bool m_checkErrorsOnly;
};

#endif
