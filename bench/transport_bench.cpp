// Round trips over TLS on loopback to the service with the echoing handler.
//
//   cmake --build build --target transport_bench && build/bench/transport_bench
//
// Reports the p50/p99 round trip of a 100-byte message on an open connection, the set-up of
// a connection (TCP + TLS + upgrade) and the round trip of a 5 MB message.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "support/app_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

qvtest::AppFolder& Service() {
    static std::unique_ptr<qvtest::AppFolder> app = [] {
        auto folder = std::make_unique<qvtest::AppFolder>(qvtest::kEchoServiceProgram);
        folder->StartAndWaitForPort();
        return folder;
    }();
    return *app;
}

void ReportPercentiles(benchmark::State& state, std::vector<double>& micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

template <class Body>
void Measure(benchmark::State& state, Body body) {
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = Clock::now();
        body();
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    ReportPercentiles(state, micros);
}

void BM_RoundTrip100Bytes(benchmark::State& state) {
    auto client = Service().Client();
    const std::string frame = qvtest::TextFrame(std::string(100, 'r'));
    Measure(state, [&] {
        client.Send(frame);
        benchmark::DoNotOptimize(client.ReadText());
    });
}
BENCHMARK(BM_RoundTrip100Bytes)->Iterations(20000)->Unit(benchmark::kMicrosecond);

void BM_ConnectionSetUp(benchmark::State& state) {
    Measure(state, [] { benchmark::DoNotOptimize(Service().Client()); });
}
BENCHMARK(BM_ConnectionSetUp)->Iterations(300)->Unit(benchmark::kMicrosecond);

void BM_RoundTrip5MB(benchmark::State& state) {
    auto client = Service().Client();
    const std::string frame = qvtest::TextFrame(std::string(5'000'000, 'm'));
    Measure(state, [&] {
        client.Send(frame);
        benchmark::DoNotOptimize(client.ReadText());
    });
}
BENCHMARK(BM_RoundTrip5MB)->Iterations(30)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QV_BUILD_DIR", QV_DEFAULT_BUILD_DIR, 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
