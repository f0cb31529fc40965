// Round trip of "/health" through the real service over TLS on loopback, with the simulated
// payment library's file in dll/ (its version note is read at every request).
//
//   cmake --build build --target health_bench && build/bench/health_bench
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "support/simulated_library.h"

namespace {

qvtest::AppFolder& Service() {
    static qvtest::AppFolder& app = []() -> qvtest::AppFolder& {
        // The library must be in place before the service starts.
        static qvtest::AppFolder folder(qvtest::kServiceProgram);
        qvtest::InstallSimulatedLibrary(folder.path());
        folder.StartAndWaitForPort();
        return folder;
    }();
    return app;
}

void BM_HealthRoundTrip(benchmark::State& state) {
    auto client = Service().Client();
    const std::string frame = qvtest::TextFrame(R"({"route":"/health","type":"health"})");
    qvbench::Measure(state, [&] {
        client.Send(frame);
        benchmark::DoNotOptimize(client.ReadText());
    });
}
BENCHMARK(BM_HealthRoundTrip)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

QV_BENCHMARK_MAIN()
