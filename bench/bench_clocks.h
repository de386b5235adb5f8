// Clocks per operation for Google Benchmark: the time-stamp counter is read around the benchmark
// loop and divided by the units the loop processed (lanes, operations or bytes), and the result is
// a user counter, so that the json output carries it next to the times.
// Our functions are named "tzv/<operation>", OpenSSL's same operation "openssl/<operation>", so
// that the two siblings line up in Google Benchmark's compare tool (filters tzv and openssl).
#ifndef BENCH_CLOCKS_H
#define BENCH_CLOCKS_H

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace bench {

constexpr const char* kPerOp = "clocks_per_op";     // per lane or per operation
constexpr const char* kPerByte = "clocks_per_byte"; // per byte of all lanes

// Runs `call` in the benchmark loop; each call processes `units` units. The counter `counter`
// (kPerOp, kPerByte or another name) is clocks per unit.
inline void clockLoop(benchmark::State& state, const std::function<void()>& call, double units,
                      const char* counter)
{
    call(); // first-use set-up and caches, outside the figure
    unsigned long long t0 = __rdtsc();
    for (auto _ : state) call();
    unsigned long long clocks = __rdtsc() - t0;
    state.counters[counter] = benchmark::Counter((double)clocks / ((double)state.iterations() * units));
    // Google Benchmark's own rates count the same units, so they too compare 16 lanes with one buffer.
    const auto processed = (int64_t)((double)state.iterations() * units);
    if (std::string(counter) == kPerByte)
        state.SetBytesProcessed(processed);
    else if (std::string(counter) == kPerOp)
        state.SetItemsProcessed(processed);
}

// With --benchmark_repetitions, also the least figure of the repetitions: on a shared machine the
// least disturbed one, as the harness reports the fastest call.
inline benchmark::internal::Benchmark* withMin(benchmark::internal::Benchmark* b)
{
    return b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

// Registers one measured call under `name`.
inline benchmark::internal::Benchmark* add(const std::string& name, std::function<void()> call, double units,
                                           const char* counter)
{
    return withMin(benchmark::RegisterBenchmark(name.c_str(), [call, units, counter](benchmark::State& state) {
        clockLoop(state, call, units, counter);
    }));
}

// Registers our function and OpenSSL's same operation side by side.
inline void addPair(const std::string& operation, std::function<void()> ours, double ourUnits,
                    std::function<void()> openssl, double opensslUnits, const char* counter)
{
    add("tzv/" + operation, std::move(ours), ourUnits, counter);
    add("openssl/" + operation, std::move(openssl), opensslUnits, counter);
}

// Registers a benchmark that cannot run here, so that the output says why.
inline void addMissing(const std::string& name, const std::string& why)
{
    benchmark::RegisterBenchmark(name.c_str(), [why](benchmark::State& state) { state.SkipWithError(why.c_str()); });
}

// The usual main of the benchmark programs: their benchmarks are registered by `registerAll`.
inline int run(int argc, char** argv, const std::function<void()>& registerAll)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench

#endif
