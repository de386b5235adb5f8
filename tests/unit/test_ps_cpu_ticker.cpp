// The clock counter, the frequency estimate, the priority around measurements and the host queries.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <string>

#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "kyncp.h"
#include "ps_cpu_ticker.h"
#include "ps_platform.h"
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

    EXPECT_EQ(psCpuTicker::getClockFactor(), 1);
}

TEST(CpuTicker, ClockReadersAreReplacedOnlyByRealFunctions)
{
    psCpuClockFunc start = kyn_StartCpuClocks;
    psCpuClockFunc stop = kyn_StopCpuClocks;
    ASSERT_NE(start, nullptr);
    ASSERT_NE(stop, nullptr);
    psSetCpuClocks(nullptr, nullptr);
    EXPECT_EQ(kyn_StartCpuClocks, start);
    EXPECT_EQ(kyn_StopCpuClocks, stop);

    psSetCpuClocks(cpStartTscp, cpStopTscp);
    EXPECT_EQ(kyn_StartCpuClocks, &cpStartTscp);
    EXPECT_EQ(kyn_StopCpuClocks, &cpStopTscp);
    // The real counter moves forward across a span.
    psCpuTicker ticker;
    ticker.start();
    ticker.stop();
    EXPECT_GE(ticker.getTicks(), 0);
    psSetCpuClocks(start, stop);
}

namespace {
// Counter ticks per microsecond over a span of the monotonic clock, independently of the estimate.
double measuredMHz()
{
    timespec a, b;
    clock_gettime(CLOCK_MONOTONIC, &a);
    unsigned long long t0 = kyncpGetCpuClocks();
    double elapsed = 0;
    do {
        clock_gettime(CLOCK_MONOTONIC, &b);
        elapsed = (b.tv_sec - a.tv_sec) + (b.tv_nsec - a.tv_nsec) * 1e-9;
    } while (elapsed < 0.3);
    unsigned long long t1 = kyncpGetCpuClocks();
    return (double)(t1 - t0) / elapsed / 1e6;
}
} // namespace

TEST(CpuTicker, FrequencyEstimateAgreesWithTheMonotonicClockAndIsCached)
{
    psCpuTicker::setFreq(0);
    int estimate = psCpuTicker::getFreq();
    double reference = measuredMHz();
    ASSERT_GT(reference, 0);
    // The estimate may be rounded to a nominal value up to 3% away.
    EXPECT_NEAR(estimate, reference, reference * 0.06);

    // Later calls return the cached value at once.
    time_t before = time(nullptr);
    EXPECT_EQ(psCpuTicker::getFreq(), estimate);
    EXPECT_LE(difftime(time(nullptr), before), 1.0);

    psCpuTicker::setFreq(1234);
    EXPECT_EQ(psCpuTicker::getFreq(), 1234);
    psCpuTicker::setFreq(-5);
    psCpuTicker::setFreq(1234);
    EXPECT_EQ(psCpuTicker::getFreq(), 1234);
    psCpuTicker::setFreq(0);
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

TEST(CpuTicker, HostQueries)
{
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    EXPECT_GE(psGetNumOfProcessors(), 1);
    if (online >= 1) {
        EXPECT_EQ(psGetNumOfProcessors(), online);
    }

    struct utsname names;
    ASSERT_EQ(uname(&names), 0);
    char os[256];
    psOS osText(os, sizeof(os));
    EXPECT_EQ(std::string(os), std::string(names.sysname) + " (" + names.release + ", " + names.machine + ")");
    EXPECT_STREQ(osText.text(), os);

    char cut[6];
    psOS(cut, sizeof(cut));
    EXPECT_EQ(std::string(cut), (std::string(names.sysname) + " (").substr(0, 5));

    char expectedHost[1024] = {0};
    gethostname(expectedHost, sizeof(expectedHost));
    char host[psHost::bufferSize];
    psHost hostText(host);
    EXPECT_STREQ(host, expectedHost);
    EXPECT_STREQ(hostText.text(), expectedHost);

    // No buffer: nothing written, an empty text, no crash.
    EXPECT_STREQ(psOS(nullptr, 10).text(), "");
    EXPECT_STREQ(psHost(nullptr).text(), "");
    char tiny[1] = {'x'};
    EXPECT_STREQ(psHost(tiny, 1).text(), "");
}
