// The two timed loops through which the timing engine measures a function over its lanes, written
// once for the suites' wrappers, the unit tests' stand-in functions and the benchmarks of the engine.
// Between two clock readings only the call runs (and a volatile counter for batches); statuses are
// folded after the span and judged by the caller.
#ifndef KY_TZV_LOOPS_H
#define KY_TZV_LOOPS_H

#include <climits>

#include "ps_cpu_ticker.h"

// Lanes is a type with
//   static Status call();           the measured call
//   static int fold(Status);        the library status of a call's result (0: success)

// One warm-up call, then n calls each timed alone: *clocks is the fastest (with no timed call, the
// cost of an empty start/stop pair). Returns the result of the last call.
template <class Lanes>
auto kyTzvFastestCall(int n, long long* clocks)
{
    auto status = Lanes::call(); // warm-up
    unsigned long long t0 = kyn_StartCpuClocks();
    long long best = LLONG_MAX;
    for (int i = 0; i < n; ++i) {
        unsigned long long start = kyn_StartCpuClocks();
        status = Lanes::call();
        long long span = (long long)(kyn_StopCpuClocks() - start);
        if (span < best) best = span;
    }
    long long total = (long long)(kyn_StopCpuClocks() - t0);
    *clocks = n > 0 ? best : total;
    return status;
}

// Batches of `batch` calls (at least one) until *count calls and *clocks clocks: *count becomes the
// calls made, *clocks the fastest batch per call less one step of the counting loop. A failing
// batch ends the series and counts for the fastest span only. Returns the folded status of the
// failing batch, 0 when none failed.
template <class Lanes>
int kyTzvFastestBatch(int* count, long long* clocks, int batch)
{
    kyn_StartCpuClocks();
    // The cost of one step of the counting loop, taken off the per-call figure at the end.
    long long overhead = LLONG_MAX;
    for (int r = 0; r < 100; ++r) {
        unsigned long long start = kyn_StartCpuClocks();
        for (volatile int i = 0; i < 100; ++i) {
        }
        long long span = (long long)(kyn_StopCpuClocks() - start);
        if (span < overhead) overhead = span;
    }
    overhead /= 100;

    const int k = batch < 2 ? 1 : batch;
    kyn_StartCpuClocks();
    int calls = 0;
    long long total = 0;
    long long best = LLONG_MAX;
    int status = 0;
    for (;;) {
        if (calls >= *count && psCpuTicker::getClockFactor() * total >= *clocks) {
            status = 0;
            break;
        }
        auto last = decltype(Lanes::call())();
        unsigned long long start = kyn_StartCpuClocks();
        for (volatile int i = 0; i < k; ++i) last = Lanes::call();
        long long span = (long long)(kyn_StopCpuClocks() - start);
        if (span < best) best = span;
        status = Lanes::fold(last);
        // A failing batch still counts for the best span, not for the calls made.
        if (status != 0) break;
        total += span;
        calls += k;
    }
    *count = calls;
    long long per = (best >= 0 && best <= (long long)UINT_MAX) ? (long long)((unsigned)best / (unsigned)k) : best / k;
    *clocks = per > overhead ? per - overhead : per;
    return status;
}

#endif
