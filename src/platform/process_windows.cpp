#include <algorithm>

#include "platform/process.h"
#include "platform/win32.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// A job whose programs all end when it is terminated, or when its last handle is closed (the
// service ending unexpectedly takes them along).
FileDescriptor NewJob() {
    FileDescriptor job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                          sizeof limits))
        job.Close();
    return job;
}

DWORD WaitMilliseconds(Clock::duration left) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<DWORD>(std::clamp<decltype(ms)>(ms, 0, INFINITE - 1));
}

}  // namespace

Process Process::Start(const std::vector<std::string>& args) {
    if (args.empty())
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "empty command line");
    std::wstring command_line = win32::CommandLine(args);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Suspended until it is in its job, so that nothing it starts escapes the job.
    if (!::CreateProcessW(win32::Wide(args[0]).c_str(), command_line.data(), nullptr, nullptr,
                          FALSE, CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                          &info))
        win32::ThrowLastError("CreateProcess " + args[0]);
    FileDescriptor process(info.hProcess);
    FileDescriptor thread(info.hThread);
    FileDescriptor job = NewJob();
    // A service already in a job that allows no nested one keeps the program out of ours.
    if (job && !::AssignProcessToJobObject(job.get(), process.get())) job.Close();
    ::ResumeThread(thread.get());
    return Process(static_cast<ProcessId>(info.dwProcessId), std::move(process), std::move(job));
}

void Process::Terminate() noexcept {
    if (!handle_ || reaped_) return;
    if (!group_ || !::TerminateJobObject(group_.get(), 1)) ::TerminateProcess(handle_.get(), 1);
}

Process::ReapResult Process::TryReap(int& exit_code) {
    if (!reaped_) {
        const DWORD state = ::WaitForSingleObject(handle_.get(), 0);
        if (state == WAIT_TIMEOUT) return ReapResult::kRunning;
        if (state != WAIT_OBJECT_0) {
            last_error_ =
                std::error_code(static_cast<int>(::GetLastError()), win32::WindowsCategory());
            return ReapResult::kFailed;
        }
        DWORD code = 0;
        if (!::GetExitCodeProcess(handle_.get(), &code)) code = 0;  // 0 when it cannot be read
        reaped_ = true;
        exit_code_ = static_cast<int>(code);
    }
    exit_code = exit_code_;
    return ReapResult::kEnded;
}

bool Process::AwaitChange(std::chrono::steady_clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    if (::WaitForSingleObject(handle_.get(), WaitMilliseconds(left)) == WAIT_FAILED) {
        last_error_ = std::error_code(static_cast<int>(::GetLastError()), win32::WindowsCategory());
        return false;
    }
    return true;
}

}  // namespace platform
