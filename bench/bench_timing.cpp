// What the timing engine itself costs: an empty pair of counter readings, and the clocks, calls and
// milliseconds the Auto search spends to measure functions of 1000, 100000 and 10 million ticks at
// 5% accuracy, with the multi-buffer wrappers' pair of loop and statistic functions and with a
// single call function.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

#include "ps_cpu_ticker.h"
#include "ps_ostream.h"
#include "ps_tool.h"

namespace {
long long s_spin = 0;
long long s_calls = 0;

int spinCall()
{
    ++s_calls;
    unsigned long long start = kyn_StartCpuClocks();
    while ((long long)(kyn_StopCpuClocks() - start) < s_spin) {
    }
    return 0;
}

// The multi-buffer loop wrapper: the fastest single call among loops.
psResult spinLoop(int loops, long long* clocks)
{
    spinCall();
    long long best = LLONG_MAX;
    for (int i = 0; i < loops; ++i) {
        unsigned long long s = kyn_StartCpuClocks();
        spinCall();
        best = std::min(best, (long long)(kyn_StopCpuClocks() - s));
    }
    *clocks = loops > 0 ? best : 0;
    return OK;
}

// The multi-buffer statistic wrapper: calls in batches until enough calls and clocks; the fastest
// batch per call.
psResult spinStat(int* calls, long long* clocks, int batch)
{
    const int k = batch < 2 ? 1 : batch;
    int made = 0;
    long long total = 0, best = LLONG_MAX;
    while (made < *calls || total < *clocks) {
        unsigned long long t = kyn_StartCpuClocks();
        for (int i = 0; i < k; ++i) spinCall();
        long long d = (long long)(kyn_StopCpuClocks() - t);
        best = std::min(best, d);
        total += d;
        made += k;
    }
    *calls = made;
    *clocks = best / k;
    return OK;
}

long long median(std::vector<long long> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void emptyPairs()
{
    const int n = 200000;
    std::vector<long long> raw(n), ticker(n);
    for (int i = 0; i < n; ++i) {
        unsigned long long a = kyn_StartCpuClocks();
        raw[i] = (long long)(kyn_StopCpuClocks() - a);
    }
    for (int i = 0; i < n; ++i) {
        psCpuTicker t;
        t.start();
        t.stop();
        ticker[i] = t.getTicks();
    }
    printf("Empty start/stop pair, clocks (%d pairs)\n", n);
    printf("  %-34s min %6lld  median %6lld\n", "kyn_StartCpuClocks/kyn_StopCpuClocks", *std::min_element(raw.begin(), raw.end()),
           median(raw));
    printf("  %-34s min %6lld  median %6lld\n", "psCpuTicker start()/stop()", *std::min_element(ticker.begin(), ticker.end()),
           median(ticker));
}

struct SearchCost {
    long long clocks;
    long long calls;
    double figure;
    psString comment;
};

SearchCost autoSearch(bool multiBuffer)
{
    psTool tool; // Auto, 5%
    s_calls = 0;
    unsigned long long t0 = kyn_StartCpuClocks();
    if (multiBuffer)
        tool.timing(spinLoop, spinStat, spinCall, nullptr);
    else
        tool.timing(nullptr, nullptr, spinCall, nullptr);
    SearchCost cost;
    cost.clocks = (long long)(kyn_StopCpuClocks() - t0);
    cost.calls = s_calls;
    cost.figure = tool.getFuncTicks();
    cost.comment = tool.getComment();
    return cost;
}

void searchCosts(int freq)
{
    const long long spins[] = {1000, 100000, 10000000};
    const int repeats = 5;
    double load = 0;
    if (FILE* f = fopen("/proc/loadavg", "r")) {
        if (fscanf(f, "%lf", &load) != 1) load = 0;
        fclose(f);
    }
    printf("\nAuto search at 5%% accuracy (median of %d searches; %d MHz; load average %.1f on %ld processors)\n",
           repeats, freq, load, psGetNumOfProcessors());
    printf("  %-22s %10s %14s %9s %9s %12s  %s\n", "functions", "cost", "search clocks", "calls", "ms", "figure",
           "comments");
    for (int kind = 0; kind < 2; ++kind) {
        for (long long spin : spins) {
            s_spin = spin;
            std::vector<long long> clocks, calls, figures;
            psString comments;
            for (int r = 0; r < repeats; ++r) {
                SearchCost cost = autoSearch(kind == 0);
                clocks.push_back(cost.clocks);
                calls.push_back(cost.calls);
                figures.push_back((long long)cost.figure);
                comments << (r ? " | " : "") << cost.comment;
            }
            long long c = median(clocks);
            printf("  %-22s %10lld %14lld %9lld %9.2f %12lld  %s\n", kind == 0 ? "loop + statistic" : "call only", spin, c,
                   median(calls), (double)c / freq / 1000.0, median(figures), comments.c_str());
        }
    }
}
} // namespace

int main()
{
    g_ostrm.setOutLevel(ERR);
    emptyPairs();
    int freq = psCpuTicker::getFreq();
    searchCosts(freq);
    return 0;
}
