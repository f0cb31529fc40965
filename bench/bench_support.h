// Shared by the benchmarks: a service started once per process, and latency percentiles of
// round trips timed one by one.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "support/app_folder.h"

namespace qvbench {

// `program` (relative to the build tree) running in its own application folder until the
// benchmark process ends. One service per process.
inline qvtest::AppFolder& RunningService(const char* program) {
    static std::unique_ptr<qvtest::AppFolder> app = [program] {
        auto folder = std::make_unique<qvtest::AppFolder>(program);
        folder->StartAndWaitForPort();
        return folder;
    }();
    return *app;
}

inline void ReportPercentiles(benchmark::State& state, std::vector<double>& micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

// Runs `body` once per iteration and reports the p50/p99 of its duration.
template <class Body>
void Measure(benchmark::State& state, Body body) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = Clock::now();
        body();
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    ReportPercentiles(state, micros);
}

}  // namespace qvbench

// main() of a benchmark that starts services from the build tree it was built in.
#define QV_BENCHMARK_MAIN()                                \
    int main(int argc, char** argv) {                      \
        ::setenv("QV_BUILD_DIR", QV_DEFAULT_BUILD_DIR, 0); \
        benchmark::Initialize(&argc, argv);                \
        benchmark::RunSpecifiedBenchmarks();               \
        benchmark::Shutdown();                             \
        return 0;                                          \
    }
