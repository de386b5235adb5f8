#include "ps_cpu_ticker.h"

#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

#include "kyncp.h"
#include "ps_timing_math.h"

psCpuClockFunc kyn_StartCpuClocks = cpStartTsc;
psCpuClockFunc kyn_StopCpuClocks = cpStopTsc;

void psSetCpuClocks(psCpuClockFunc start, psCpuClockFunc stop)
{
    if (start) kyn_StartCpuClocks = start;
    if (stop) kyn_StopCpuClocks = stop;
}

int psCpuTicker::m_freq = 0;

namespace {
// Counter ticks from now until the calendar clock has moved on by at least a second. A sample
// that starts right after a tick of the calendar clock spans one whole second.
long long sampleOneSecond()
{
    unsigned long long first = kyncpGetCpuClocks();
    time_t begin = time(nullptr);
    while (difftime(time(nullptr), begin) < 1.0) {
    }
    return (long long)(kyncpGetCpuClocks() - first);
}
} // namespace

int psCpuTicker::getFreq()
{
    if (m_freq == 0) {
        // The first sample only waits for a tick of the calendar clock.
        sampleOneSecond();
        long long second = sampleOneSecond();
        long long third = sampleOneSecond();
        m_freq = nominalFrequency(frequencyFromSamples(second, third));
    }
    return m_freq;
}

namespace {
bool s_prioritySaved = false;
int s_savedNice = 0;

bool mayChangePriority() { return getuid() == 0; }
} // namespace

void psSetPriority(int priority)
{
    if (priority == 0) {
        s_prioritySaved = false;
        return;
    }
    s_prioritySaved = true;
    bool root = mayChangePriority();
    if (root) s_savedNice = getpriority(PRIO_PROCESS, 0);
    int nice;
    switch (priority) {
    case 1: nice = -20; break;
    case 2: nice = 0; break;
    case 3: nice = 10; break;
    default: return;
    }
    if (root) setpriority(PRIO_PROCESS, 0, nice);
}

void psResetPriority()
{
    if (!s_prioritySaved) return;
    s_prioritySaved = false;
    if (mayChangePriority()) setpriority(PRIO_PROCESS, 0, s_savedNice);
}

long psGetNumOfProcessors()
{
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : n;
}
