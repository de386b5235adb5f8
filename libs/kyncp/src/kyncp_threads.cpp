// The thread-count setting.  Every function of the library runs on the caller's thread; the
// count is kept for callers that size their own work by it.
#include <atomic>

#include "kyncp.h"

namespace {
std::atomic<int> s_numThreads{1};
}

extern "C" {

KynStatus kyncpSetNumThreads(int numThreads)
{
    if (numThreads < 1) return kynStsOutOfRangeErr;
    s_numThreads.store(numThreads);
    return kynStsNoErr;
}

KynStatus kyncpGetNumThreads(int* pNumThreads)
{
    if (!pNumThreads) return kynStsNullPtrErr;
    *pNumThreads = s_numThreads.load();
    return kynStsNoErr;
}

} // extern "C"
