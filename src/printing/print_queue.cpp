#include "printing/print_queue.h"

#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/guid.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/scope_exit.h"
#include "printing/print_document.h"
#include "printing/print_program.h"

namespace printing {
namespace {

constexpr const char* kDataDirPrefix = "SumatraPDF_";

// <temp folder>/SumatraPDF_ followed by a new GUID's 32 hexadecimal digits.
std::string NewDataDirPath() {
    std::string digits = platform::NewGuid();
    if (digits.empty()) throw std::runtime_error("Sem números aleatórios para a pasta de dados.");
    std::erase_if(digits, [](char c) { return c == '-'; });
    return platform::TempDir() + kDataDirPrefix + digits;
}

std::string JobInfo(const std::string& command_line, const std::string& data_dir) {
    return "Cmd: " + command_line + "\r\n" + "Data-dir: " + data_dir;
}

}  // namespace

PrintWaits PrintWaits::FromEnvironment() {
    PrintWaits waits;
    waits.run_timeout = platform::EnvMilliseconds("QV_PRINT_TIMEOUT_MS", waits.run_timeout);
    waits.kill_wait = platform::EnvMilliseconds("QV_PRINT_KILL_WAIT_MS", waits.kill_wait);
    waits.delete_pause = platform::EnvMilliseconds("QV_PRINT_DELETE_PAUSE_MS", waits.delete_pause);
    return waits;
}

TPrintQueue::TPrintQueue(std::string ASumatraPath, std::string APrinterName, PrintWaits waits)
    : FSumatraPath(std::move(ASumatraPath)),
      FPrinterName(std::move(APrinterName)),
      waits_(waits),
      FPrintSettings(kSettingsFit) {
    Log("Fila de impressão criada");
}

TPrintQueue::~TPrintQueue() {
    Log("Finalizando fila de impressão");
    terminated_ = true;
    FEvent.Signal();
    if (thread_.joinable()) thread_.join();
}

void TPrintQueue::Start() { thread_ = std::thread(&TPrintQueue::Execute, this); }

void TPrintQueue::AddToQueue(const std::string& APDFFile) noexcept {
    try {
        if (!platform::FileExists(APDFFile)) {
            Log("Arquivo não encontrado: " + APDFFile);
            return;
        }
        {
            std::lock_guard lock(FCritical);
            FQueue.push_back(APDFFile);
        }
        Log("Arquivo adicionado na fila: " + APDFFile);
        FEvent.Signal();
    } catch (const std::exception& e) {
        Log(std::string("Erro AddToQueue: ") + e.what());
    }
}

void TPrintQueue::SetPrintSettings(const std::string& settings) {
    std::lock_guard lock(FCritical);
    FPrintSettings = settings;
}

size_t TPrintQueue::Waiting() const {
    std::lock_guard lock(FCritical);
    return FQueue.size();
}

std::string TPrintQueue::PrintSettings() const {
    std::lock_guard lock(FCritical);
    return FPrintSettings;
}

void TPrintQueue::Execute() noexcept {
    Log("Thread de impressão iniciada");
    try {
        while (!Terminated()) {
            FEvent.Wait();
            if (Terminated()) break;
            // One signal may stand for several files: empty the queue before waiting again.
            PrintWaitingFiles();
        }
        Log("Thread de impressão finalizada");
    } catch (const std::exception& e) {
        Log(std::string("Erro fatal thread: ") + e.what());
    }
}

void TPrintQueue::PrintWaitingFiles() {
    while (!Terminated()) {
        std::optional<std::string> pdf = TakeNextFile();
        if (!pdf) return;
        try {
            Log("Iniciando impressão: " + *pdf);
            PrintFile(*pdf);
            Log("Impressão concluída: " + *pdf);
            // Waiting on the event lets a stop cut the pause short.
            if (FCooldownMs != 0 && !Terminated())
                FEvent.WaitFor(std::chrono::milliseconds(FCooldownMs.load()));
        } catch (const std::exception& e) {
            Log("Erro ao imprimir " + *pdf + " - " + e.what());
        }
    }
}

std::optional<std::string> TPrintQueue::TakeNextFile() {
    std::lock_guard lock(FCritical);
    if (FQueue.empty()) return std::nullopt;
    std::string pdf = std::move(FQueue.front());
    FQueue.pop_front();
    return pdf;
}

void TPrintQueue::PrintFile(const std::string& pdf) {
    std::string data_dir;
    // The data folder and the PDF go also when a step below raises.
    platform::ScopeExit clean_up([&] { CleanUp(data_dir, pdf); });

    data_dir = NewDataDirPath();
    platform::ForceDirectories(data_dir).ThrowIfFailed();
    const std::string settings(TrimBlanks(PrintSettings()));
    std::string info;
    RunResult run = PrintWithSettings(settings, data_dir, pdf, info);
    if (run.status == RunStatus::kEnded && run.exit_code == kExitSettingsRefused &&
        !settings.empty()) {
        Log("Aviso: SumatraPDF retornou ExitCode 3 para -print-settings (\"" + settings +
            "\"). Repetindo sem -print-settings.");
        run = PrintWithSettings("", data_dir, pdf, info);
    }
    ReportRun(run, info);
}

TPrintQueue::RunResult TPrintQueue::PrintWithSettings(const std::string& settings,
                                                      const std::string& data_dir,
                                                      const std::string& pdf, std::string& info) {
    const std::string command_line =
        PrintCommandLine(FSumatraPath, FPrinterName, settings, data_dir, pdf);
    info = JobInfo(command_line, data_dir);
    return RunCommandLine(command_line);
}

void TPrintQueue::ReportRun(const RunResult& run, const std::string& info) {
    switch (run.status) {
        case RunStatus::kFailed:
            throw std::system_error(run.error, "waitpid");
        case RunStatus::kTimedOut:
            Log("Timeout aguardando SumatraPDF.\r\n" + info);
            break;
        case RunStatus::kEnded:
            if (!IsPrintSuccess(run.exit_code))
                Log("Processo encerrado com erro (ExitCode: " + std::to_string(run.exit_code) +
                    ")\r\n" + info);
            break;
    }
}

TPrintQueue::RunResult TPrintQueue::RunCommandLine(const std::string& command_line) {
    platform::Process process = platform::Process::Start(platform::SplitCommandLine(command_line));
    int exit_code = 0;
    switch (process.Wait(waits_.run_timeout, exit_code)) {
        case platform::Process::WaitResult::kEnded:
            return {RunStatus::kEnded, exit_code, {}};
        case platform::Process::WaitResult::kFailed:
            return {RunStatus::kFailed, 0, process.LastError()};
        case platform::Process::WaitResult::kTimedOut:
            break;
    }
    process.Terminate();
    if (process.Wait(waits_.kill_wait, exit_code) != platform::Process::WaitResult::kEnded)
        Log("Aviso: processo não respondeu ao TerminateProcess");
    return {RunStatus::kTimedOut, 0, {}};
}

void TPrintQueue::CleanUp(const std::string& data_dir, const std::string& pdf) noexcept {
    try {
        if (!data_dir.empty() && platform::DirectoryExists(data_dir))
            platform::RemoveTree(data_dir).ThrowIfFailed();
    } catch (const std::exception& e) {
        Log(std::string("Aviso: falha ao remover data-dir temporário: ") + e.what());
    }
    try {
        if (platform::FileExists(pdf)) {
            // Give a program that has just ended, or been killed, a moment to let go of the file.
            std::this_thread::sleep_for(waits_.delete_pause);
            platform::DeleteFile(pdf).ThrowIfFailed();
        }
    } catch (const std::exception& e) {
        Log(std::string("Aviso: falha ao remover arquivo PDF: ") + e.what());
    }
}

void TPrintQueue::Log(const std::string& message) noexcept {
    try {
        if (FOnLog) FOnLog(message);
    } catch (...) {
        // A failing log must not stop the printing.
    }
}

}  // namespace printing
