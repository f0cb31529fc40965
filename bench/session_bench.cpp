// Session starts: verifying a token in-process, and "/session/start" round trips through the
// real service over TLS on loopback with the simulated payment library (the parameters stay
// the same, so after the first start no set-up of the library is due).
//
//   cmake --build build --target session_bench && build/bench/session_bench
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "requests/json_envelope.h"
#include "requests/json_writer.h"
#include "requests/session_token.h"
#include "support/simulated_library.h"

namespace {

const std::string& Claims() {
    static const std::string claims = requests::JsonObject()
                                          .Add("secctional_code", "12")
                                          .Add("ip_address", "127.0.0.1")
                                          .Add("store_code", "00000000")
                                          .Add("additional_parameters", "PortaPinPad=AUTO_USB")
                                          .Add("operator", "Caixa 1")
                                          .Add("sale_id", 1)
                                          .Add("company_id", 3)
                                          .Add("callback_url", "https://loja.test/retorno")
                                          .ToString();
    return claims;
}

void BM_VerifyToken(benchmark::State& state) {
    const auto alg = static_cast<requests::TokenAlgorithm>(state.range(0));
    const std::string token = requests::SignSessionToken(Claims(), alg);
    requests::JsonDocument claims;
    for (auto _ : state) benchmark::DoNotOptimize(requests::VerifySessionToken(token, claims));
    state.SetLabel(requests::AlgorithmName(alg));
}
BENCHMARK(BM_VerifyToken)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

qvtest::AppFolder& Service() {
    static std::unique_ptr<qvtest::AppFolder> app = [] {
        auto folder = std::make_unique<qvtest::AppFolder>();
        qvtest::InstallSimulatedLibrary(folder->path());
        folder->SetEnv("QV_CLISITEF_POLL_MS", "0");
        folder->StartAndWaitForPort();
        return folder;
    }();
    return *app;
}

void BM_SessionStartRoundTrip(benchmark::State& state) {
    auto client = Service().Client();
    const std::string frame = qvtest::TextFrame(
        requests::JsonObject()
            .Add("route", "/session/start")
            .Add("type", "session")
            .Add("token", requests::SignSessionToken(Claims(), requests::TokenAlgorithm::kHS256))
            .ToString());
    // The first start sets the library up (progress messages and the reply).
    client.Send(frame);
    while (client.ReadText().find(R"("type":"session")") == std::string::npos) {
    }
    qvbench::Measure(state, [&] {
        client.Send(frame);
        benchmark::DoNotOptimize(client.ReadText());
    });
}
BENCHMARK(BM_SessionStartRoundTrip)->Iterations(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

QV_BENCHMARK_MAIN()
