// Test doubles for the timing engine: functions of known cost, functions that fail or show no
// clocks, and a virtual counter under which every cost is exact.
#ifndef PS_TEST_SYNTHETIC_TESTS_H
#define PS_TEST_SYNTHETIC_TESTS_H

#include "ps_cpu_ticker.h"
#include "ps_result.h"

namespace synthetic {

// The cost of one spinCall in counter ticks, and the calls and invocations since resetCounts.
extern long long spinTicks, callCount;
extern int loopInvocations, statInvocations;
void resetCounts();

// Spins on the counter until spinTicks ticks have passed; returns 0, the library's success.
int spinCall();
// The funcLoop of a multi-buffer wrapper: a warm-up call, then loops calls each timed alone; the
// fastest single call (the whole series when loops is 0).
psResult spinLoopFastest(int loops, long long* clocks);
// The funcStat of a multi-buffer wrapper: batches of `batch` calls until at least *calls calls and
// *clocks clocks; the calls made and the fastest batch per call.
psResult spinStat(int* calls, long long* clocks, int batch);
// A library function failing in every lane (-2), and loop and statistic functions that spin like
// the ones above and then report FUNCFAIL.
int failingCall();
psResult failingLoop(int loops, long long* clocks);
psResult failingStat(int* calls, long long* clocks, int batch);
// A loop function that never shows any clocks.
psResult zeroLoop(int loops, long long* clocks);
// Costs alternating between spinTicks and three times as much per call (virtual counter only):
// no two figures ever agree within 5%.
psResult jitterLoop(int loops, long long* clocks);

// While it lives, the clock readers are a counter that moves on by one tick per reading and by
// whatever advance() adds.
class VirtualClock {
public:
    VirtualClock();
    ~VirtualClock();
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;
    static void advance(unsigned long long ticks);

private:
    psCpuClockFunc m_savedStart, m_savedStop;
};

} // namespace synthetic

#endif
