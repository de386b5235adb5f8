#include "ky_tzv_test.h"

#include "ps_cstream.h"

kytzvTest::kytzvTest(funcCall call, funcInit init, funcLoop loop, funcStat stat, psString name, psString file,
                     psString info)
    : kycpTest(call, init, loop, stat, name, file, info)
{
}

void kytzvTest::funcToCstrm()
{
    int at = m_name.find("_sts_wrapper");
    g_cstrm.setNextColm(at == psString::npos ? m_name : m_name.substr(0, at));
}

bool kytzvTest::acceptBuffers(bool allPlaced)
{
    if (!allPlaced) updateCurrentResult(DATAFAIL);
    return allPlaced;
}

bool kytzvTest::acceptCpu(bool unsupported)
{
    // Set directly rather than combined: the run sequence then skips its data-failure note, and the
    // test ends as a warning about the processor.
    if (unsupported) setCurrentResult(resWRNG_NOT_SUPPORTED_CPU);
    return !unsupported;
}
