#include "synthetic_tests.h"

#include <climits>

#include "ps_result.h"

namespace synthetic {

namespace {
long long s_spinTicks = 0;
long long s_calls = 0;
int s_loopInvocations = 0;
int s_statInvocations = 0;
unsigned long long s_virtualNow = 1000000;

unsigned long long readVirtual() { return s_virtualNow++; }
} // namespace

void setSpinTicks(long long ticks) { s_spinTicks = ticks; }
long long spinTicks() { return s_spinTicks; }

void resetCounts()
{
    s_calls = 0;
    s_loopInvocations = 0;
    s_statInvocations = 0;
}
long long callCount() { return s_calls; }
int loopInvocations() { return s_loopInvocations; }
int statInvocations() { return s_statInvocations; }

int spinCall()
{
    ++s_calls;
    unsigned long long start = kyn_StartCpuClocks();
    while ((long long)(kyn_StopCpuClocks() - start) < s_spinTicks) {
    }
    return 0;
}

namespace {
psResult fastestOf(int (*call)(), int loops, long long* clocks)
{
    ++s_loopInvocations;
    call();
    unsigned long long t0 = kyn_StartCpuClocks();
    long long best = LLONG_MAX;
    for (int i = 0; i < loops; ++i) {
        unsigned long long s = kyn_StartCpuClocks();
        call();
        long long d = (long long)(kyn_StopCpuClocks() - s);
        if (d < best) best = d;
    }
    long long total = (long long)(kyn_StopCpuClocks() - t0);
    *clocks = loops > 0 ? best : total;
    return OK;
}

psResult statOf(int (*call)(), int* calls, long long* clocks, int batch)
{
    ++s_statInvocations;
    const int k = batch < 2 ? 1 : batch;
    int made = 0;
    long long total = 0;
    long long best = LLONG_MAX;
    while (made < *calls || total < *clocks) {
        unsigned long long t = kyn_StartCpuClocks();
        for (int i = 0; i < k; ++i) call();
        long long d = (long long)(kyn_StopCpuClocks() - t);
        if (d < best) best = d;
        total += d;
        made += k;
    }
    *calls = made;
    *clocks = made > 0 ? best / k : 0;
    return OK;
}
} // namespace

psResult spinLoopFastest(int loops, long long* clocks) { return fastestOf(spinCall, loops, clocks); }

psResult spinStat(int* calls, long long* clocks, int batch) { return statOf(spinCall, calls, clocks, batch); }

int failingCall()
{
    spinCall();
    return -2;
}

psResult failingLoop(int loops, long long* clocks)
{
    spinLoopFastest(loops, clocks);
    return FUNCFAIL;
}

psResult failingStat(int* calls, long long* clocks, int batch)
{
    spinStat(calls, clocks, batch);
    return FUNCFAIL;
}

psResult zeroLoop(int loops, long long* clocks)
{
    (void)loops;
    ++s_loopInvocations;
    *clocks = 0;
    return OK;
}

psResult jitterLoop(int loops, long long* clocks)
{
    ++s_loopInvocations;
    // Alternate invocations cost once and three times the spin per call.
    long long perCall = (s_loopInvocations % 2) ? s_spinTicks : 3 * s_spinTicks;
    unsigned long long t0 = kyn_StartCpuClocks();
    VirtualClock::advance((unsigned long long)(perCall * loops));
    *clocks = (long long)(kyn_StopCpuClocks() - t0);
    return OK;
}

VirtualClock::VirtualClock() : m_savedStart(kyn_StartCpuClocks), m_savedStop(kyn_StopCpuClocks)
{
    psSetCpuClocks(readVirtual, readVirtual);
}

VirtualClock::~VirtualClock() { psSetCpuClocks(m_savedStart, m_savedStop); }

unsigned long long VirtualClock::now() { return s_virtualNow; }
void VirtualClock::advance(unsigned long long ticks) { s_virtualNow += ticks; }

} // namespace synthetic
