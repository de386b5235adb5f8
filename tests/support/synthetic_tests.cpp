#include "synthetic_tests.h"

#include "ky_tzv_loops.h"

namespace synthetic {

namespace {
long long s_spinTicks = 0;
long long s_calls = 0;
int s_loops = 0;
int s_stats = 0;
unsigned long long s_now = 1000000;

unsigned long long readVirtual() { return s_now++; }
} // namespace

void setSpinTicks(long long ticks) { s_spinTicks = ticks; }
long long spinTicks() { return s_spinTicks; }
void resetCounts() { s_calls = s_loops = s_stats = 0; }
long long callCount() { return s_calls; }
int loopInvocations() { return s_loops; }
int statInvocations() { return s_stats; }

int spinCall()
{
    ++s_calls;
    unsigned long long start = kyn_StartCpuClocks();
    while ((long long)(kyn_StopCpuClocks() - start) < s_spinTicks) {
    }
    return 0;
}

namespace {
// spinCall as the lanes of a multi-buffer wrapper.
struct SpinLanes {
    static int call() { return spinCall(); }
    static int fold(int status) { return status; }
};
} // namespace

psResult spinLoopFastest(int loops, long long* clocks)
{
    ++s_loops;
    kyTzvFastestCall<SpinLanes>(loops, clocks);
    return OK;
}

psResult spinStat(int* calls, long long* clocks, int batch)
{
    ++s_stats;
    kyTzvFastestBatch<SpinLanes>(calls, clocks, batch);
    return OK;
}

int failingCall() { return spinCall(), -2; }
psResult failingLoop(int loops, long long* clocks) { return spinLoopFastest(loops, clocks), FUNCFAIL; }
psResult failingStat(int* calls, long long* clocks, int batch) { return spinStat(calls, clocks, batch), FUNCFAIL; }

psResult zeroLoop(int, long long* clocks)
{
    ++s_loops;
    *clocks = 0;
    return OK;
}

psResult jitterLoop(int loops, long long* clocks)
{
    ++s_loops;
    long long perCall = (s_loops % 2) ? s_spinTicks : 3 * s_spinTicks;
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
