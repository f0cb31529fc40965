// A program started by the service and owned until it has ended. Started without a shell,
// without a window or terminal input (stdin is /dev/null; stdout and stderr are the
// service's own), without any other inherited descriptor, with default signal handling and
// the service's environment and working folder, in a process group of its own so that
// terminating it also ends whatever it started.
//
// Move-only. The destructor kills a program that still runs and reaps it without waiting
// more than a moment; it never raises. One thread at a time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_descriptor.h"

namespace platform {

class Process {
public:
    enum class WaitResult { kEnded, kTimedOut, kFailed };

    // Starts args[0] (a path, not searched for) with `args`. Raises std::system_error with
    // the system's reason when it cannot be started (missing file, no permission, ...).
    static Process Start(const std::vector<std::string>& args);

    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    // Waits up to `timeout` for the program to end. kEnded sets `exit_code` (128 + the
    // signal number when a signal ended it); kFailed keeps the reason in LastError().
    WaitResult Wait(std::chrono::milliseconds timeout, int& exit_code);

    // Kills the program and its process group (SIGKILL: a program cannot choose its exit
    // code here). No effect once it has ended and been waited for.
    void Terminate() noexcept;

    pid_t pid() const { return pid_; }
    const std::error_code& LastError() const { return last_error_; }

private:
    enum class ReapResult { kEnded, kRunning, kFailed };

    Process(pid_t pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}
    void Release() noexcept;
    // Collects the exit status once the program has ended (one look, no waiting).
    ReapResult TryReap(int& exit_code);
    // Sleeps until the program may have ended or `deadline` passes; false when waiting failed.
    bool AwaitChange(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    FileDescriptor pidfd_;  // none where the system offers none: waiting then polls
    bool reaped_ = false;
    int exit_code_ = 0;  // once reaped
    std::error_code last_error_;
};

}  // namespace platform
