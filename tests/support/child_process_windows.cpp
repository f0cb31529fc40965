#include <algorithm>
#include <csignal>
#include <cwctype>
#include <stdexcept>

#include "platform/code_page.h"
#include "platform/service_control.h"
#include "platform/win32.h"
#include "support/child_process.h"

namespace qvtest {
namespace {

using platform::win32::Wide;

std::wstring Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towupper(c); });
    return text;
}

// The test's environment with `overrides` laid over it (names match in any letter case, as
// Windows has them), as the block CreateProcess takes.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& overrides) {
    std::map<std::wstring, std::wstring> merged;  // by upper-case name: name=value
    wchar_t* strings = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text = entry;
        const size_t eq = text.find(L'=', 1);  // "=C:=C:\..." entries start with '='
        if (eq != std::wstring::npos) merged[Upper(text.substr(0, eq))] = text;
    }
    ::FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : overrides) merged[Upper(Wide(name))] = Wide(name + "=" + value);
    std::wstring block;
    for (const auto& [key, entry] : merged) block += entry + L'\0';
    return block + L'\0';
}

// Programs of the build tree are named without their extension, as on Linux.
std::string ProgramFile(const std::string& program) {
    const size_t name = program.find_last_of("\\/");
    const bool has_extension =
        program.find('.', name == std::string::npos ? 0 : name + 1) != std::string::npos;
    return has_extension ? program : program + ".exe";
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env,
                           const std::string& output_file) {
    const std::string file = ProgramFile(program);
    std::vector<std::string> all{file};
    all.insert(all.end(), args.begin(), args.end());
    std::wstring command_line = platform::win32::CommandLine(all);
    std::wstring environment = EnvironmentBlock(env);

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = ::CreateFileW(Wide(output_file).c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + output_file);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(Wide(file).c_str(), command_line.data(), nullptr,
                                          nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
                                          environment.data(), nullptr, &startup, &info);
    const DWORD error = ::GetLastError();
    ::CloseHandle(output);
    if (!started)
        throw std::runtime_error("CreateProcess " + file + ": error " + std::to_string(error));
    ::CloseHandle(info.hThread);
    handle_ = info.hProcess;
    pid_ = static_cast<pid_t>(info.dwProcessId);
}

ChildProcess::~ChildProcess() {
    Stop();
    ::CloseHandle(static_cast<HANDLE>(handle_));
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (exit_code_) return exit_code_;
    const DWORD ms = static_cast<DWORD>(std::clamp<int64_t>(timeout.count(), 0, INFINITE - 1));
    if (::WaitForSingleObject(static_cast<HANDLE>(handle_), ms) != WAIT_OBJECT_0) return exit_code_;
    DWORD code = 0;
    ::GetExitCodeProcess(static_cast<HANDLE>(handle_), &code);
    exit_code_ = static_cast<int>(code);
    return exit_code_;
}

bool ChildProcess::Running() { return !Wait(std::chrono::milliseconds(0)); }

// A stop request goes to the service's control events (what the service manager's stop is to
// a service process); any other signal, or a program without those events, is terminated.
void ChildProcess::Signal(int sig) {
    if (!Running()) return;
    if ((sig == SIGTERM || sig == SIGINT) &&
        platform::SendServiceControl(pid_, platform::ServiceControl::kStop))
        return;
    ::TerminateProcess(static_cast<HANDLE>(handle_), 128 + sig);
}

int ChildProcess::Stop(std::chrono::milliseconds timeout) {
    Signal(SIGTERM);
    if (std::optional<int> code = Wait(timeout)) return *code;
    ::TerminateProcess(static_cast<HANDLE>(handle_), 128 + 9);
    return Wait(std::chrono::seconds(10)).value_or(-1);
}

}  // namespace qvtest
