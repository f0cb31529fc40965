// A 5 MiB PDF through "/print" on the real service over TLS on loopback: the time from the
// request's last byte leaving the client to the document being in the print queue. "/print"
// sends no reply, so the time ends with the reply to a version request sent right behind it
// (the connection serves its messages in order); version_route_bench measures that round trip
// alone. The print program is a stand-in that exits at once.
//
//   cmake --build build --target print_route_bench && build/bench/print_route_bench
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "bench_support.h"
#include "platform/file_system.h"
#include "printing/base64.h"
#include "printing/print_document.h"
#include "printing/print_program.h"
#include "support/sample_pdf.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kDocumentSize = 5 * 1024 * 1024;
constexpr const char* kVersionRequest =
    R"({"route":"/version","type":"version","category":"service_exe"})";

qvtest::AppFolder& Service() {
    static std::unique_ptr<qvtest::AppFolder> app = [] {
        auto folder = std::make_unique<qvtest::AppFolder>();
        folder->WriteIni("[sitef]\r\nserver_port=" + std::to_string(folder->port()) +
                         "\r\nprinter=Bench\r\n");
        const std::string program = *folder / printing::kPrintProgramName;
        platform::WriteFile(program, "#!/bin/sh\nexit 0\n");
        ::chmod(program.c_str(), 0755);
        folder->PutFile(printing::kPrintLibraryName, "stand-in");
        std::filesystem::create_directories(*folder / "tmp");
        folder->SetEnv("TMPDIR", *folder / "tmp");
        folder->SetEnv("QV_PRINT_DELETE_PAUSE_MS", "1");
        folder->StartAndWaitForPort();
        return folder;
    }();
    return *app;
}

// The request for a 5 MiB document, to `route`.
std::string PrintFrame(const std::string& route) {
    const std::string pdf = qvtest::SamplePdf("Benchmark", kDocumentSize - 700);
    return qvtest::TextFrame(
        R"({"route":")" + route +
        R"(","type":"print","file_type":"pdf","data":"data:application/pdf;base64,)" +
        qvtest::Base64Encode(pdf) + R"("})");
}

// Sends the request to `route` and times it as above. `reply` is the reply the request gets
// itself (empty: none).
void MeasureUntilHandled(benchmark::State& state, const std::string& route,
                         const std::string& reply = "") {
    auto client = Service().Client();
    const std::string print = PrintFrame(route);
    const std::string version = qvtest::TextFrame(kVersionRequest);
    std::vector<double> micros;
    for (auto _ : state) {
        client.Send(print);
        const auto last_byte_sent = Clock::now();
        client.Send(version);
        const std::string first = reply.empty() ? "" : client.ReadText();
        const std::string last = client.ReadText();
        const double elapsed =
            std::chrono::duration<double, std::micro>(Clock::now() - last_byte_sent).count();
        if (first != reply || last.find(R"("type":"version")") == std::string::npos) {
            state.SkipWithError(("unexpected reply: " + first + last).c_str());
            break;
        }
        micros.push_back(elapsed);
        state.SetIterationTime(elapsed / 1e6);
    }
    qvbench::ReportPercentiles(state, micros);
}

void BM_PrintFiveMiBUntilQueued(benchmark::State& state) { MeasureUntilHandled(state, "/print"); }
BENCHMARK(BM_PrintFiveMiBUntilQueued)
    ->Iterations(40)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The same message to a route that needs a session it lacks: what reading and routing 7 MB
// cost before any handler runs.
void BM_FiveMiBRefusedByTheRouter(benchmark::State& state) {
    MeasureUntilHandled(state, "/initialize",
                        R"({"type":"error","message":"Campo session_uuid nao encontrado."})");
}
BENCHMARK(BM_FiveMiBRefusedByTheRouter)
    ->Iterations(40)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The print handler's own work on the document, in this process: decoding the Base64 text
// and writing the temporary file.
void BM_DecodeAndWriteFiveMiB(benchmark::State& state) {
    const std::string data = "data:application/pdf;base64," +
                             qvtest::Base64Encode(qvtest::SamplePdf("Benchmark", kDocumentSize));
    const std::string folder = Service().path();
    qvbench::Measure(state, [&] {
        const std::string file = printing::WritePrintDocument(
            folder, "pdf", printing::DecodeBase64(printing::WithoutDataUrlPrefix(data)));
        platform::DeleteFile(file);
    });
}
BENCHMARK(BM_DecodeAndWriteFiveMiB)->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

QV_BENCHMARK_MAIN()
