// What the timing engine itself costs, as Google Benchmark benchmarks: an empty pair of counter
// readings, and the clocks, calls and milliseconds the Auto search spends to measure functions of
// 1000, 100000 and 10 million ticks at 5% accuracy, with the multi-buffer wrappers' pair of loop and
// statistic functions and with a single call function.
#include <algorithm>
#include <climits>

#include "bench_clocks.h"
#include "ky_tzv_loops.h"
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

// spinCall as the lanes of a multi-buffer wrapper, timed by the wrappers' own loops.
struct SpinLanes {
    static int call() { return spinCall(); }
    static int fold(int status) { return status; }
};

psResult spinLoop(int loops, long long* clocks)
{
    kyTzvFastestCall<SpinLanes>(loops, clocks);
    return OK;
}

psResult spinStat(int* calls, long long* clocks, int batch)
{
    kyTzvFastestBatch<SpinLanes>(calls, clocks, batch);
    return OK;
}

// One empty pair of counter readings per iteration: the mean and the least clocks of a pair.
template <typename Pair>
void emptyPairs(benchmark::State& state, Pair pair)
{
    long long total = 0, least = LLONG_MAX;
    for (auto _ : state) {
        long long t = pair();
        total += t;
        least = std::min(least, t);
    }
    state.counters["clocks_per_op"] = benchmark::Counter((double)total / (double)state.iterations());
    state.counters["min_clocks"] = benchmark::Counter((double)least);
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

// One Auto search per iteration for a function of `spin` ticks: the clocks the search spends (the
// counter read around the loop), the calls it makes and the figure it finds; its comment is the label.
void searchCost(benchmark::State& state, bool multiBuffer)
{
    s_spin = state.range(0);
    long long calls = 0;
    double figure = 0;
    psString comment;
    bench::clockLoop(state, [&] {
        SearchCost cost = autoSearch(multiBuffer);
        calls += cost.calls;
        figure = cost.figure;
        comment = cost.comment;
    }, 1, "search_clocks");
    state.counters["calls_per_search"] = benchmark::Counter((double)calls / (double)(state.iterations() + 1));
    state.counters["figure"] = benchmark::Counter(figure);
    state.SetLabel(comment.c_str());
}
} // namespace

int main(int argc, char** argv)
{
    g_ostrm.setOutLevel(ERR);
    return bench::run(argc, argv, [] {
        benchmark::RegisterBenchmark("timing/empty_pair/kyn_StartCpuClocks", [](benchmark::State& state) {
            emptyPairs(state, [] {
                unsigned long long a = kyn_StartCpuClocks();
                return (long long)(kyn_StopCpuClocks() - a);
            });
        });
        benchmark::RegisterBenchmark("timing/empty_pair/psCpuTicker", [](benchmark::State& state) {
            emptyPairs(state, [] {
                psCpuTicker t;
                t.start();
                t.stop();
                return (long long)t.getTicks();
            });
        });
        // The multi-buffer wrappers' pair of loop and statistic functions, and a single call function.
        for (bool multiBuffer : {true, false})
            benchmark::RegisterBenchmark(multiBuffer ? "timing/auto_search/loop_and_statistic" : "timing/auto_search/call_only",
                                         [multiBuffer](benchmark::State& state) { searchCost(state, multiBuffer); })
                ->Arg(1000)
                ->Arg(100000)
                ->Arg(10000000)
                ->Iterations(5)
                ->Unit(benchmark::kMillisecond);
    });
}
