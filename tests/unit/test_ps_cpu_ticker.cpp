// The clock counter's spans and the priority around measurements.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>

#include <sys/resource.h>
#include <unistd.h>

#include "ps_cpu_ticker.h"
#include "synthetic_tests.h"

using synthetic::VirtualClock;

TEST(CpuTicker, SumsClosedSpansOnly)
{
    VirtualClock clock;
    psCpuTicker ticker;
    EXPECT_EQ(ticker.getTicks(), 0);
    EXPECT_EQ(ticker.getCount(), 0);
    EXPECT_EQ(ticker.getMinimum(), LLONG_MAX);

    // A span is the stop reading minus the start reading; the virtual counter moves on by one
    // tick per reading, so a span of nothing is one tick.
    ticker.on();
    VirtualClock::advance(500);
    ticker.off();
    EXPECT_EQ(ticker.getTicks(), 501);
    EXPECT_EQ(ticker.getCount(), 1);

    // An off() without an open span changes nothing.
    ticker.off();
    EXPECT_EQ(ticker.getTicks(), 501);
    EXPECT_EQ(ticker.getCount(), 1);

    // Work between off() and the next on() is not counted.
    VirtualClock::advance(100000);
    ticker.on();
    VirtualClock::advance(99);
    ticker.off();
    EXPECT_EQ(ticker.getTicks(), 501 + 100);
    EXPECT_EQ(ticker.getCount(), 2);
    EXPECT_EQ(ticker.getMinimum(), 100);

    // start() begins a new series: total, count and minimum restart.
    ticker.start();
    VirtualClock::advance(999);
    ticker.stop();
    EXPECT_EQ(ticker.getTicks(), 1000);
    EXPECT_EQ(ticker.getCount(), 1);
    EXPECT_EQ(ticker.getMinimum(), 1000);

    // After stop() the next on() also restarts the series.
    ticker.on();
    VirtualClock::advance(9);
    ticker.off();
    EXPECT_EQ(ticker.getTicks(), 10);
    EXPECT_EQ(ticker.getCount(), 1);
}

namespace {
int currentNice()
{
    errno = 0;
    return getpriority(PRIO_PROCESS, 0);
}
} // namespace

TEST(CpuTicker, PriorityIsChangedOnlyForRootAndRestoredOnce)
{
    const int original = currentNice();
    const bool root = getuid() == 0;

    psSetPriority(0);
    psResetPriority();
    EXPECT_EQ(currentNice(), original);

    psSetPriority(3);
    EXPECT_EQ(currentNice(), root ? 10 : original);
    psResetPriority();
    EXPECT_EQ(currentNice(), original);

    if (root) {
        psSetPriority(1);
        EXPECT_EQ(currentNice(), -20);
        psResetPriority();
        EXPECT_EQ(currentNice(), original);
    }

    // An unknown priority saves but changes nothing; the reset restores the same value.
    psSetPriority(7);
    EXPECT_EQ(currentNice(), original);
    psResetPriority();
    EXPECT_EQ(currentNice(), original);

    // A second reset has nothing left to restore.
    psSetPriority(3);
    psResetPriority();
    if (root) setpriority(PRIO_PROCESS, 0, original + 1);
    psResetPriority();
    EXPECT_EQ(currentNice(), root ? original + 1 : original);
    if (root) setpriority(PRIO_PROCESS, 0, original);
}

