// What keeping a payment's outcome costs: one synced commit of the result store (write-ahead
// log, synchronous FULL) on the disk of the temporary folder, and the three moves a request
// with a request_id makes (running, confirming, done). Wall time is the disk's sync; CPU time
// is ours and SQLite's.
//
//   cmake --build build --target result_store_bench && build/bench/result_store_bench
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "results/result_store.h"
#include "support/temp_folder.h"

namespace {

// An approved result of the size a real one has (one entry, two receipt copies).
const std::string kResult = R"({"type":"result","status":"approved","transaction_data":[{)" +
                            std::string(1500, 'x') + "}]}";

void BM_SyncedBegin(benchmark::State& state) {
    qvtest::TempFolder folder;
    results::TResultStore store(folder / "resultados.db");
    int64_t n = 0;
    qvbench::Measure(state, [&] {
        ++n;
        store.Begin("begin-" + std::to_string(n), n);
    });
}
BENCHMARK(BM_SyncedBegin)->Iterations(500)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RequestWithAnId(benchmark::State& state) {
    qvtest::TempFolder folder;
    results::TResultStore store(folder / "resultados.db");
    int64_t n = 0;
    qvbench::Measure(state, [&] {
        const std::string id = "request-" + std::to_string(++n);
        store.Begin(id, n);
        store.MarkConfirming(id, {"43200", "20251126", "120000"}, kResult, kResult, n);
        store.Finish(id, results::TRecordState::kConfirming, kResult, n);
    });
}
BENCHMARK(BM_RequestWithAnId)->Iterations(300)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

QV_BENCHMARK_MAIN()
