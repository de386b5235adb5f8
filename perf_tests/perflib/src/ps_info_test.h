// The information pseudo-tests: registered by the session itself, they print a report instead of
// measuring. Their function names begin with "_", which puts them first in the test list.
#ifndef PS_INFO_TEST_H
#define PS_INFO_TEST_H

#include "ps_test.h"

class __psInfoTest : public psTest {
public:
    __psInfoTest(psString className, psString funcName, psString title, psString source);
    void loopData() override;
    void outputRegInfo() override {}
    virtual void printInformation() {}
};

class __psOrvelCpuTest : public __psInfoTest {
public:
    __psOrvelCpuTest();
    void printInformation() override;
};

#endif
