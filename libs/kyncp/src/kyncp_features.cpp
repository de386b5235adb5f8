// The process-wide feature selection: what the processor and OS support, detected once, and
// the subset the library is told to use.
#include <atomic>

#include "kyncp.h"
#include "kyncp_cpuid.h"

namespace {

Kyn64u supported()
{
    static const Kyn64u s_supported = kyncp::detectFeatures();
    return s_supported;
}

std::atomic<Kyn64u>& enabled()
{
    static std::atomic<Kyn64u> s_enabled{supported()};
    return s_enabled;
}

} // namespace

extern "C" {

KynStatus kyncpGetCpuFeatures(Kyn64u* pFeatures)
{
    if (!pFeatures) return kynStsNullPtrErr;
    *pFeatures = supported();
    return kynStsNoErr;
}

KynStatus kyncpInit(void)
{
    enabled().store(supported());
    return kynStsNoErr;
}

KynStatus kyncpSetCpuFeatures(Kyn64u features)
{
    if (features == 0) return kynStsBadArgErr;
    const Kyn64u have = supported();
    // The OS bits state facts about the OS; they stay as detected whatever the mask says.
    const Kyn64u chosen = (features & have & ~kynCPUID_OS_BITS) | (have & kynCPUID_OS_BITS);
    enabled().store(chosen);
    return (features & ~have) ? kynStsFeatureNotSupported : kynStsNoErr;
}

Kyn64u kyncpGetEnabledCpuFeatures(void)
{
    return enabled().load();
}

} // extern "C"
