// The print queue: PDF files printed one at a time, in the order they were queued, by the
// print program (print_program.h) on a worker thread of its own, so that whoever queues a
// file returns at once. For each file the worker gives the program a fresh data folder
// (<temp folder>/SumatraPDF_<32 hex digits>), waits for it with a time-out (then kills it),
// retries once without print settings when the program refuses them, logs the outcome and
// deletes the data folder and the PDF, whatever the outcome. Failures are only logged.
//
// Thread contract: AddToQueue, Waiting, the print settings and the cooldown may be used from any
// thread at any time; FOnLog is set before Start. The destructor (on the owner's thread)
// asks the worker to end, waits for the job in progress and joins it; files still waiting
// are neither printed nor deleted.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "printing/auto_reset_event.h"

namespace printing {

// Receives every log line of the queue; an error it raises is ignored.
using TOnPrintLog = std::function<void(const std::string& AMessage)>;

// The queue's long waits. Production values unless QV_PRINT_TIMEOUT_MS,
// QV_PRINT_KILL_WAIT_MS or QV_PRINT_DELETE_PAUSE_MS say otherwise (FromEnvironment).
struct PrintWaits {
    std::chrono::milliseconds run_timeout{30000};  // one run of the program
    std::chrono::milliseconds kill_wait{5000};     // for a killed program to end
    std::chrono::milliseconds delete_pause{500};   // before a printed PDF is deleted

    static PrintWaits FromEnvironment();
};

class TPrintQueue {
public:
    // Logs "Fila de impressão criada"; the worker does not run before Start.
    TPrintQueue(std::string ASumatraPath, std::string APrinterName,
                PrintWaits waits = PrintWaits());
    TPrintQueue(const TPrintQueue&) = delete;
    TPrintQueue& operator=(const TPrintQueue&) = delete;
    ~TPrintQueue();  // Destroy

    void Start();

    // Queues an existing file and wakes the worker; a missing file is only logged.
    // Never waits for printing, never raises.
    void AddToQueue(const std::string& APDFFile) noexcept;

    // The -print-settings value of the next job ("fit" at first; blank text: none).
    void SetPrintSettings(const std::string& settings);
    std::string PrintSettings() const;

    // Files queued and not yet taken by the worker (the one printing is not counted).
    size_t Waiting() const;

    // Pause after each printed file (0: none); a stop cuts it short.
    void SetCooldownMs(uint32_t ms) { FCooldownMs = ms; }

    TOnPrintLog FOnLog;

private:
    enum class RunStatus { kEnded, kTimedOut, kFailed };
    struct RunResult {
        RunStatus status;
        int exit_code;
        std::error_code error;  // kFailed
    };

    void Execute() noexcept;
    void PrintWaitingFiles();
    std::optional<std::string> TakeNextFile();
    void PrintFile(const std::string& pdf);
    RunResult PrintWithSettings(const std::string& settings, const std::string& data_dir,
                                const std::string& pdf, std::string& info);
    void ReportRun(const RunResult& run, const std::string& info);
    RunResult RunCommandLine(const std::string& command_line);
    void CleanUp(const std::string& data_dir, const std::string& pdf) noexcept;
    bool Terminated() const { return terminated_; }
    void Log(const std::string& message) noexcept;

    const std::string FSumatraPath;
    const std::string FPrinterName;
    const PrintWaits waits_;
    std::atomic<uint32_t> FCooldownMs{0};

    mutable std::mutex FCritical;
    std::deque<std::string> FQueue;  // guarded by FCritical
    std::string FPrintSettings;      // guarded by FCritical
    AutoResetEvent FEvent;

    std::atomic<bool> terminated_{false};
    std::thread thread_;
};

}  // namespace printing
