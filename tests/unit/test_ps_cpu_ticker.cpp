// The clock counter's spans and the process priority around measurements.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include "ps_cpu_ticker.h"
#include "synthetic_tests.h"

using synthetic::VirtualClock;

TEST(CpuTicker, SumsClosedSpansOnly)
{
    // The virtual counter moves on by one tick per reading: a span of n ticks of work is n + 1.
    VirtualClock clock;
    psCpuTicker ticker;
    ticker.on();
    VirtualClock::advance(500);
    ticker.off();
    ticker.off(); // without an open span: nothing
    VirtualClock::advance(100000); // between spans: not counted
    ticker.on();
    VirtualClock::advance(99);
    ticker.off();
    EXPECT_EQ(ticker.getTicks(), 501 + 100);
    // start() and the first on() after stop() begin a new series.
    ticker.start();
    VirtualClock::advance(999);
    ticker.stop();
    EXPECT_EQ(ticker.getTicks(), 1000);
    ticker.on();
    VirtualClock::advance(9);
    ticker.off();
    EXPECT_EQ(ticker.getTicks(), 10);
}

TEST(CpuTicker, PriorityIsChangedOnlyForRootAndRestoredOnce)
{
    const int original = getpriority(PRIO_PROCESS, 0);
    const bool root = getuid() == 0;
    // 1 high, 2 normal, 3 low; an unknown value and 0 change nothing.
    const struct { int priority, nice; } cases[] = {{3, 10}, {1, -20}, {7, original}, {0, original}};
    for (const auto& c : cases) {
        psSetPriority(c.priority);
        EXPECT_EQ(getpriority(PRIO_PROCESS, 0), root ? c.nice : original) << c.priority;
        psResetPriority();
        EXPECT_EQ(getpriority(PRIO_PROCESS, 0), original) << c.priority;
    }
    // A second reset has nothing left to restore.
    if (root) setpriority(PRIO_PROCESS, 0, original + 1);
    psResetPriority();
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), root ? original + 1 : original);
    setpriority(PRIO_PROCESS, 0, original);
}
