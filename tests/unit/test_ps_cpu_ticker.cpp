// The process priority around measurements.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include "ps_cpu_ticker.h"

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
