// The real service over TLS under load, with the simulated payment library:
//  - BM_PaymentsWhileFiftyClientsAskTheVersion: one client pays one debit after another while
//    fifty clients each send 200 "/version" requests; reported: payments made, version replies,
//    and any payment whose dialogue differed from the one run alone or any wrong reply (the
//    benchmark then fails);
//  - BM_TenThousandMessagesOnOneConnection and BM_TwoThousandConnectionCycles: the service's
//    resident memory (VmRSS) before and after, in KiB, after a warm-up.
//
//   cmake --build build --target load_bench && build/bench/load_bench
#include <atomic>
#include <thread>

#include "bench_support.h"
#include "support/debit_dialogue.h"
#include "support/service_load.h"
#include "support/simulated_library.h"

namespace {

qvtest::AppFolder& Service() {
    static std::unique_ptr<qvtest::AppFolder> app = [] {
        auto folder = std::make_unique<qvtest::AppFolder>();
        qvtest::InstallSimulatedLibrary(*folder, qvtest::kDebitScenario);
        // The journal is a test aid the library would not write.
        folder->SetEnv("QV_CLISITEF_JOURNAL", "/dev/null");
        folder->StartAndWaitForPort();
        return folder;
    }();
    return *app;
}

void Fail(benchmark::State& state, const qvtest::LoadOutcome& outcome, const char* what) {
    if (outcome.wrong != 0) state.SkipWithError(what);
}

void BM_PaymentsWhileFiftyClientsAskTheVersion(benchmark::State& state) {
    qvtest::DialogueClient till(Service().Client());
    const std::string uuid = qvtest::OpenSession(till);
    const std::vector<std::string> alone = qvtest::DebitDialogue(till, uuid);
    for (auto _ : state) {
        std::atomic<bool> flooding = true;
        qvtest::LoadOutcome flood;
        std::thread clients([&] {
            flood = qvtest::VersionFlood(Service(), 50, 200);
            flooding = false;
        });
        int payments = 0, different = 0;
        for (; flooding; ++payments) different += qvtest::DebitDialogue(till, uuid) != alone;
        clients.join();
        state.counters["payments"] = payments;
        state.counters["version_replies"] = static_cast<double>(flood.replies);
        Fail(state, flood, "a version reply was wrong");
        if (different != 0) state.SkipWithError("a payment's dialogue changed under load");
    }
}
BENCHMARK(BM_PaymentsWhileFiftyClientsAskTheVersion)->Iterations(1)->Unit(benchmark::kMillisecond);

template <class Load>
void MeasureResident(benchmark::State& state, Load load) {
    const pid_t pid = Service().Pid();
    qvtest::ConnectionCycles(Service(), 50);
    qvtest::MessagesOnOneConnection(Service(), 500);
    const long before = qvtest::ResidentKiB(pid);
    for (auto _ : state) Fail(state, load(), "a reply was wrong");
    const long after = qvtest::ResidentKiB(pid);
    state.counters["rss_before_kib"] = static_cast<double>(before);
    state.counters["rss_after_kib"] = static_cast<double>(after);
    state.counters["rss_growth_kib"] = static_cast<double>(after - before);
}

void BM_TenThousandMessagesOnOneConnection(benchmark::State& state) {
    MeasureResident(state, [] { return qvtest::MessagesOnOneConnection(Service(), 10000); });
}
BENCHMARK(BM_TenThousandMessagesOnOneConnection)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_TwoThousandConnectionCycles(benchmark::State& state) {
    MeasureResident(state, [] { return qvtest::ConnectionCycles(Service(), 2000); });
}
BENCHMARK(BM_TwoThousandConnectionCycles)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

QV_BENCHMARK_MAIN()
