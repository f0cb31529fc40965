// Round trips over TLS on loopback to the service with the echoing handler.
//
//   cmake --build build --target transport_bench && build/bench/transport_bench
//
// Reports the p50/p99 round trip of a 100-byte message on an open connection, the set-up of
// a connection (TCP + TLS + upgrade) and the round trip of a 5 MB message.
#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace {

using qvbench::Measure;

qvtest::AppFolder& Service() { return qvbench::RunningService(qvtest::kEchoServiceProgram); }

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

QV_BENCHMARK_MAIN()
