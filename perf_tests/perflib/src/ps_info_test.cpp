#include "ps_info_test.h"

#include "ps_cpuinfo.h"
#include "ps_ostream.h"
#include "ps_services.h"

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

void __psOrvelCpuTest::printInformation()
{
    unsigned long long features = 0, enabled = 0;
    bool withFeatures = kyn_GetCpuFeatures && kyn_GetCpuFeatures(&features) == 0;
    if (withFeatures && kyn_GetEnabledCpuFeatures) enabled = kyn_GetEnabledCpuFeatures();
    g_ostrm << psCpuReport(withFeatures, features, enabled);
}
