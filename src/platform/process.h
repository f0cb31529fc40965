// A program started by the service and owned until it has ended. Started without a shell,
// without a window or terminal input, without any other inherited descriptor or handle, with
// the service's environment and working folder, and grouped with whatever it starts so that
// terminating it ends them all. On Linux: stdin is /dev/null, stdout and stderr are the
// service's own, signals have their default handling, and the group is a process group of its
// own. On Windows: no console window, and the group is a job object.
//
// Move-only. The destructor kills a program that still runs and reaps it without waiting
// more than a moment; it never raises. One thread at a time.
#pragma once

#include <chrono>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_descriptor.h"

namespace platform {

using ProcessId = int;

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

    // Waits up to `timeout` for the program to end. kEnded sets `exit_code` (on Linux 128 +
    // the signal number when a signal ended it); kFailed keeps the reason in LastError().
    WaitResult Wait(std::chrono::milliseconds timeout, int& exit_code);

    // Kills the program and everything it started, giving it no say: SIGKILL to its process
    // group on Linux, the job terminated with exit code 1 on Windows. No effect once it has
    // ended and been waited for.
    void Terminate() noexcept;

    ProcessId pid() const { return pid_; }
    const std::error_code& LastError() const { return last_error_; }

private:
    enum class ReapResult { kEnded, kRunning, kFailed };

    Process(ProcessId pid, FileDescriptor handle, FileDescriptor group = {})
        : pid_(pid), handle_(std::move(handle)), group_(std::move(group)) {}
    void Release() noexcept;
    // Collects the exit status once the program has ended (one look, no waiting).
    ReapResult TryReap(int& exit_code);
    // Sleeps until the program may have ended or `deadline` passes; false when waiting failed.
    bool AwaitChange(std::chrono::steady_clock::time_point deadline);

    ProcessId pid_ = -1;
    // What a wait sleeps on: a pidfd on Linux (none where the system offers none: waiting then
    // polls), the process handle on Windows.
    FileDescriptor handle_;
    // Windows: the job object that holds the program and what it starts (none when the
    // system would not make one: terminating then ends the program alone).
    FileDescriptor group_;
    bool reaped_ = false;
    int exit_code_ = 0;  // once reaped
    std::error_code last_error_;
};

}  // namespace platform
