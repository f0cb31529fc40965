// Cost of the CliSiTef engine's interactive dialogue per library command: one function whose
// script hands out 10,000 operator messages (command 1) before its approval, run through the
// engine with every event bound to a handler that does nothing. The simulated library's own
// cost is measured alone on the same script (BM_LibraryAlone), so that the engine's share is
// the difference. With and without the trace file, which production keeps on.
//
//   cmake --build build --target tef_loop_bench && build/bench/tef_loop_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "support/simulated_library.h"
#include "support/temp_folder.h"
#include "tef/clisitef.h"
#include "tef/clisitef_library.h"
#include "tef/kaclisitef.h"

namespace {

constexpr int kCommands = 10000;

// The scenario, written once; every run of the function hands out the same commands.
const std::string& ScenarioFile() {
    static qvtest::TempFolder folder;
    static const std::string path = [] {
        std::string script = R"({"script": [)";
        for (int i = 0; i < kCommands; ++i)
            script += R"({"command": 1, "text": "Processando@aguarde..."},)";
        script += R"({"command": 0, "field": 133, "text": "000001"}, {"status": 0}]})";
        const std::string file = folder / "scenario.json";
        platform::WriteFile(file, script);
        ::setenv("QV_CLISITEF_SCENARIO", file.c_str(), 1);
        ::setenv("QV_CLISITEF_POLL_MS", "0", 1);
        ::unsetenv("QV_CLISITEF_JOURNAL");
        ::setenv("TZ", "America/Sao_Paulo", 1);
        ::tzset();
        return file;
    }();
    return path;
}

void CountCommands(benchmark::State& state) {
    state.counters["per_command"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * (kCommands + 2),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EngineDialogue(benchmark::State& state, bool trace) {
    ScenarioFile();
    qvtest::TempFolder app;
    qvtest::InstallSimulatedLibrary(app.path());
    tef::TKaCliSiTef component;
    component.ModoServico = true;
    component.OnExibeMsg = [](tef::TKaCliSiTefOperacaoMensagem, const std::string& m,
                              tef::TModalResult&) { benchmark::DoNotOptimize(m.data()); };
    component.OnComandaECF = [](auto, auto&, int& r) { r = 1; };
    component.OnComandaImpressao = [](int& r, auto&, bool) { r = 1; };
    component.OnComandaECFAbreVinculado = [](auto&, auto&, auto, int& r) { r = 1; };
    component.OnComandaECFImprimeVia = [](auto, int, auto&, int& r) { r = 1; };
    component.OnInfoECF = [](auto, std::string& r) { r = "L"; };
    component.SetPathBackup(app / "TEF");
    if (trace) component.SetArqLOG(app / "trace.log");
    tef::TKaCliSiTefCliSiTef& engine = component.TEFCliSiTef();
    engine.ModoServico = true;
    engine.PathDLL = app / "dll";
    engine.EnderecoIP = "127.0.0.1";
    engine.CodigoLoja = "00000000";
    engine.NumeroTerminal = "AG001203";
    component.Inicializar(tef::gpCliSiTef);

    for (auto _ : state) {
        int32_t status = engine.IniciarFuncao(3, "CRT", 100000, "", "");
        if (status == tef::kCliSiTefContinue)
            status = engine.ContinuarFuncao(false, "0", "", "", "");
        if (status != 0) state.SkipWithError("the function was not approved");
        // The trace file would grow by some MB a run; each run starts with an empty one.
        state.PauseTiming();
        if (trace) platform::DeleteFile(app / "trace.log");
        state.ResumeTiming();
    }
    CountCommands(state);
}
BENCHMARK_CAPTURE(BM_EngineDialogue, trace_on, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EngineDialogue, trace_off, false)->Unit(benchmark::kMillisecond);

// The same calls without the engine: what the simulated library itself costs.
void BM_LibraryAlone(benchmark::State& state) {
    ScenarioFile();
    qvtest::TempFolder app;
    qvtest::InstallSimulatedLibrary(app.path());
    tef::TCliSiTefLibrary library;
    library.Load(app / "dll");
    const tef::TCliSiTefEntryPoints& e = library.EntryPoints();
    e.ConfiguraIntSiTefInterativoEx("127.0.0.1", "00000000", "AG001203", 0, "");
    std::string buffer(tef::kCliSiTefBufferSize, '\0');
    for (auto _ : state) {
        int32_t status =
            e.IniciaFuncaoSiTefInterativo(3, "10,00", "1", "20251126", "120000", "", "");
        int32_t comando = 0, tipo = 0;
        int16_t minimo = 0, maximo = 0;
        buffer[0] = '\0';
        while (status == tef::kCliSiTefContinue) {
            status = e.ContinuaFuncaoSiTefInterativo(&comando, &tipo, &minimo, &maximo,
                                                     buffer.data(), tef::kCliSiTefBufferSize, 0);
            buffer[0] = '\0';
        }
        if (status != 0) state.SkipWithError("the function was not approved");
    }
    CountCommands(state);
}
BENCHMARK(BM_LibraryAlone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QV_BUILD_DIR", QV_DEFAULT_BUILD_DIR, 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
