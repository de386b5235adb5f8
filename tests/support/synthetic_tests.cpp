#include "synthetic_tests.h"

#include "ky_tzv_loops.h"

namespace synthetic {

long long spinTicks = 0, callCount = 0;
int loopInvocations = 0, statInvocations = 0;
void resetCounts() { callCount = loopInvocations = statInvocations = 0; }

namespace {
unsigned long long s_now = 1000000;
unsigned long long readVirtual() { return s_now++; }
} // namespace

int spinCall()
{
    ++callCount;
    unsigned long long start = kyn_StartCpuClocks();
    while ((long long)(kyn_StopCpuClocks() - start) < spinTicks) {
    }
    return 0;
}

// spinCall as the lanes of a multi-buffer wrapper.
struct SpinLanes {
    static int call() { return spinCall(); }
    static int fold(int status) { return status; }
};

psResult spinLoopFastest(int loops, long long* clocks)
{
    ++loopInvocations;
    kyTzvFastestCall<SpinLanes>(loops, clocks);
    return OK;
}

psResult spinStat(int* calls, long long* clocks, int batch)
{
    ++statInvocations;
    kyTzvFastestBatch<SpinLanes>(calls, clocks, batch);
    return OK;
}

int failingCall() { return spinCall(), -2; }
psResult failingLoop(int loops, long long* clocks) { return spinLoopFastest(loops, clocks), FUNCFAIL; }
psResult failingStat(int* calls, long long* clocks, int batch) { return spinStat(calls, clocks, batch), FUNCFAIL; }

psResult zeroLoop(int, long long* clocks)
{
    ++loopInvocations;
    *clocks = 0;
    return OK;
}

psResult jitterLoop(int loops, long long* clocks)
{
    ++loopInvocations;
    long long perCall = (loopInvocations % 2) ? spinTicks : 3 * spinTicks;
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
void VirtualClock::advance(unsigned long long ticks) { s_now += ticks; }

} // namespace synthetic
