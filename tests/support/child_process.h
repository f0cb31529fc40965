// A program started by a test, with its output captured in a file. The owner stops it
// (SIGTERM, then SIGKILL after a bounded wait) when it goes away, also when a test fails.
// On Windows SIGTERM and SIGINT are the service's stop request (platform::SendServiceControl)
// and every other signal, or a program that takes no such request, ends it at once.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qvtest {

class ChildProcess {
public:
    // Starts `program` with `args` (without argv[0]); the environment is the test's own with
    // `env` laid over it. stdout and stderr go to `output_file`.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& output_file);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool Running();
    void Signal(int sig);
    // The program's process id (for reading its CPU clock, say).
    pid_t pid() const { return pid_; }

    // Waits up to `timeout` for the program to end; its exit code (128 + signal when killed
    // by a signal), or nothing while it still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

    // SIGTERM, then SIGKILL when it has not ended within `timeout`. The exit code.
    int Stop(std::chrono::milliseconds timeout = std::chrono::seconds(20));

private:
    pid_t pid_ = -1;
    void* handle_ = nullptr;  // Windows: the process handle
    std::optional<int> exit_code_;
};

}  // namespace qvtest
