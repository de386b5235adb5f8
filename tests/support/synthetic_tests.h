// Test doubles for the timing engine: functions of known cost, functions that fail, and a virtual
// counter under which every cost is exact.
#ifndef PS_TEST_SYNTHETIC_TESTS_H
#define PS_TEST_SYNTHETIC_TESTS_H

#include "ps_cpu_ticker.h"
#include "ps_result.h"

namespace synthetic {

// The cost of one spinCall in counter ticks; 0 makes it return at once.
void setSpinTicks(long long ticks);
long long spinTicks();

// Calls of spinCall and of the loop/statistic/old-style functions since resetCounts.
void resetCounts();
long long callCount();
int loopInvocations();
int statInvocations();

// Spins on the counter (kyn_StartCpuClocks, then kyn_StopCpuClocks) until spinTicks() ticks have
// passed; returns 0, the library's success status.
int spinCall();
// The funcLoop of a multi-buffer wrapper: one warm-up call, then loops calls each timed alone;
// reports the fastest single call (the total of the whole series when loops is 0).
psResult spinLoopFastest(int loops, long long* clocks);
// The funcStat of a multi-buffer wrapper: calls in batches of `batch` until at least *calls calls
// and *clocks clocks were spent; reports the calls made and the fastest batch per call.
psResult spinStat(int* calls, long long* clocks, int batch);

// A library function that fails in every lane: funcCall gives -2; the loop and statistic
// functions spin like the ones above and then report FUNCFAIL.
int failingCall();
psResult failingLoop(int loops, long long* clocks);
psResult failingStat(int* calls, long long* clocks, int batch);
// A loop function whose measurement never shows any clocks.
psResult zeroLoop(int loops, long long* clocks);
// Costs alternate between spinTicks() and three times as much (virtual counter only, where a
// call costs exactly what it advances): no two figures ever agree within 5%.
psResult jitterLoop(int loops, long long* clocks);

// While it lives, the clock readers are a virtual counter that moves on by one tick per reading
// and by whatever advance() adds; afterwards the previous readers come back.
class VirtualClock {
public:
    VirtualClock();
    ~VirtualClock();
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    static unsigned long long now();
    static void advance(unsigned long long ticks);

private:
    psCpuClockFunc m_savedStart;
    psCpuClockFunc m_savedStop;
};

} // namespace synthetic

#endif
