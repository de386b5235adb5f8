#include "ps_info_test.h"

#include "ps_ostream.h"

__psInfoTest::__psInfoTest(psString className, psString funcName, psString title, psString source)
    : psTest(nullptr, nullptr, nullptr, nullptr, funcName, source, className + "/" + title)
{
}

void __psInfoTest::loopData()
{
    g_ostrm << ERR;
    printInformation();
    g_ostrm << msgRestore;
    g_ostrm.flush();
    setCurrentResult(OK);
}

__psOrvelCpuTest::__psOrvelCpuTest()
    : __psInfoTest("__psOrvelCpuTest", "__psOrvelCpu", "Orvel CPU information", "perflib/src/ps")
{
}

// __psOrvelCpuTest::printInformation() lives with the processor identification (ps_cpuinfo.cpp).
