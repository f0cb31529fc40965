// A whole credit payment in instalments through the real service over TLS on loopback, with
// the simulated payment library running its demonstration scenario: the client chooses credit,
// the chip, the store's instalment plan and three instalments as soon as each prompt arrives,
// and the payment runs to its confirmed result. Reported per payment: the service's CPU time
// (its process CPU clock, all threads, read before and after the timed payments), the CPU time
// of the thread that serves the client's connection alone (from /proc, for when another thread
// of the process is busy with something else), and the wall time, which the library's waits
// dominate (the service polls for a cancellation up to 100 ms at each of them, thirty here).
//
//   cmake --build build --target payment_bench && build/bench/payment_bench
#include <benchmark/benchmark.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "bench_support.h"
#include "requests/json_writer.h"
#include "requests/session_token.h"
#include "support/dialogue_answers.h"
#include "support/dialogue_client.h"
#include "support/simulated_library.h"

namespace {

using requests::JsonObject;

// The demonstration scenario without its journal: the simulator's record of every call is a
// test aid, not work a payment library does.
std::string ScenarioWithoutJournal() {
    std::ifstream file(QV_SOURCE_DIR "/tools/clisitef-sim/demo-scenario.json");
    std::string scenario((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t journal = scenario.find("\"journal\"");
    if (journal == std::string::npos) throw std::runtime_error("demo scenario not found");
    return scenario.erase(journal, scenario.find('\n', journal) - journal);
}

qvtest::AppFolder& Service() {
    static std::unique_ptr<qvtest::AppFolder> app = [] {
        auto folder = std::make_unique<qvtest::AppFolder>();
        qvtest::InstallSimulatedLibrary(folder->path());
        folder->PutFile("scenario.json", ScenarioWithoutJournal());
        folder->SetEnv("QV_CLISITEF_SCENARIO", *folder / "scenario.json");
        folder->SetEnv("QV_CLISITEF_POLL_MS", "0");
        folder->StartAndWaitForPort();
        return folder;
    }();
    return *app;
}

// CPU time the service's process has used so far, in microseconds.
double ServiceCpuMicros(clockid_t clock) {
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0) throw std::runtime_error("cannot read the CPU clock");
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

std::set<std::string> Threads(pid_t pid) {
    std::set<std::string> threads;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task"))
        threads.insert(entry.path().filename());
    return threads;
}

// CPU time a thread of the service has used so far, in microseconds (schedstat: nanoseconds
// on the CPU first).
double ThreadCpuMicros(pid_t pid, const std::string& tid) {
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/task/" + tid + "/schedstat");
    double nanoseconds = -1000;
    schedstat >> nanoseconds;
    return nanoseconds / 1000;
}

void BM_CreditPayment(benchmark::State& state) {
    const pid_t pid = Service().Pid();
    const std::set<std::string> before = Threads(pid);
    qvtest::DialogueClient client(Service().Client());
    std::string connection_thread;
    for (const std::string& tid : Threads(pid)) {
        if (!before.contains(tid)) connection_thread = tid;
    }
    clockid_t clock{};
    if (clock_getcpuclockid(pid, &clock) != 0) {
        state.SkipWithError("cannot open the service's CPU clock");
        return;
    }
    const std::string claims = JsonObject()
                                   .Add("secctional_code", "12")
                                   .Add("ip_address", "127.0.0.1")
                                   .Add("store_code", "00000000")
                                   .Add("additional_parameters", "")
                                   .Add("operator", "Caixa 1")
                                   .Add("sale_id", 1)
                                   .Add("company_id", 3)
                                   .Add("callback_url", "https://loja.test/retorno")
                                   .ToString();
    const std::string uuid = [&] {
        const auto reply = client.Run(
            JsonObject()
                .Add("route", "/session/start")
                .Add("type", "session")
                .Add("token", requests::SignSessionToken(claims, requests::TokenAlgorithm::kHS256))
                .ToString(),
            {"session", "error"});
        const size_t at = reply.back().find(R"("session_uuid":")");
        return at == std::string::npos ? std::string() : reply.back().substr(at + 16, 36);
    }();
    const std::string payment = JsonObject()
                                    .Add("route", "/transaction")
                                    .Add("type", "transaction")
                                    .Add("session_uuid", uuid)
                                    .Add("operation", 0)
                                    .Add("payer_name", "Jos\u00E9 da Silva")
                                    .Add("transaction_value", "189,23")
                                    .ToString();
    benchmark::IterationCount approved = 0;
    const double cpu_before = ServiceCpuMicros(clock);
    const double thread_before = ThreadCpuMicros(pid, connection_thread);
    qvbench::Measure(state, [&] {
        client.On("menu", qvtest::MenuAnswer("1:Cartao de Credito"))
            .On("menu", qvtest::MenuAnswer("1:Magnetico/Chip"))
            .On("menu", qvtest::MenuAnswer("2:Parcelado pela Loja"))
            .On("collect", qvtest::FieldAnswer(true, "03"));
        const auto messages = client.Run(payment);
        approved += messages.back().find(R"("status":"approved")") != std::string::npos;
    });
    const double cpu_after = ServiceCpuMicros(clock);
    const double thread_after = ThreadCpuMicros(pid, connection_thread);
    if (approved != state.iterations()) state.SkipWithError("a payment was not approved");
    state.counters["srv_cpu_ms_per_payment"] =
        (cpu_after - cpu_before) / 1000.0 / static_cast<double>(state.iterations());
    state.counters["conn_thread_cpu_ms_per_payment"] =
        (thread_after - thread_before) / 1000.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_CreditPayment)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

QV_BENCHMARK_MAIN()
