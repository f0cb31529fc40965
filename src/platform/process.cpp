#include "platform/process.h"

#include <utility>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// How long the destructor waits for a killed program before leaving it to the system.
constexpr std::chrono::milliseconds kReleaseWait{1000};

}  // namespace

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      handle_(std::move(other.handle_)),
      group_(std::move(other.group_)),
      reaped_(other.reaped_),
      exit_code_(other.exit_code_),
      last_error_(other.last_error_) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Release();
        pid_ = std::exchange(other.pid_, -1);
        handle_ = std::move(other.handle_);
        group_ = std::move(other.group_);
        reaped_ = other.reaped_;
        exit_code_ = other.exit_code_;
        last_error_ = other.last_error_;
    }
    return *this;
}

Process::~Process() { Release(); }

void Process::Release() noexcept {
    if (pid_ > 0 && !reaped_) {
        Terminate();
        int ignored = 0;
        Wait(kReleaseWait, ignored);
    }
    handle_.Close();
    group_.Close();
    pid_ = -1;
}

Process::WaitResult Process::Wait(std::chrono::milliseconds timeout, int& exit_code) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        switch (TryReap(exit_code)) {
            case ReapResult::kEnded:
                return WaitResult::kEnded;
            case ReapResult::kFailed:
                return WaitResult::kFailed;
            case ReapResult::kRunning:
                break;
        }
        if (Clock::now() >= deadline) return WaitResult::kTimedOut;
        if (!AwaitChange(deadline)) return WaitResult::kFailed;
    }
}

}  // namespace platform
