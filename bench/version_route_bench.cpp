// Round trip of the version route through the real service over TLS on loopback: transport,
// router, envelope, version reader and reply writer together.
//
//   cmake --build build --target version_route_bench && build/bench/version_route_bench
#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace {

qvtest::AppFolder& Service() { return qvbench::RunningService(qvtest::kServiceProgram); }

void BM_VersionRoundTrip(benchmark::State& state) {
    auto client = Service().Client();
    const std::string frame =
        qvtest::TextFrame(R"({"route":"/version","type":"version","category":"service_exe"})");
    qvbench::Measure(state, [&] {
        client.Send(frame);
        benchmark::DoNotOptimize(client.ReadText());
    });
}
BENCHMARK(BM_VersionRoundTrip)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

QV_BENCHMARK_MAIN()
