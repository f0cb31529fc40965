// Asks the running program whose executable is <file> for stop, pause or continue, as the
// service manager would:
//
//   qv-service-control stop|pause|continue <file>
//
// The tests that run the Windows build under Wine know the Linux process, not Wine's process
// id the control events are named with, so the program is found by its executable's full path
// (each test's application folder is its own). Exit code 0 when delivered, 1 when no such
// program runs, 2 when it took no request within 5 s (its events not made yet), 64 on a
// wrong command line.
#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/service_control.h"

namespace {

std::wstring FullPath(const std::wstring& file) {
    std::wstring full(MAX_PATH * 4, L'\0');
    const DWORD n = ::GetFullPathNameW(file.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                       nullptr);
    full.resize(n < full.size() ? n : 0);
    return full;
}

std::wstring ImagePath(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return {};
    std::wstring path(MAX_PATH * 4, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!::QueryFullProcessImageNameW(process, 0, path.data(), &size)) size = 0;
    ::CloseHandle(process);
    path.resize(size);
    return path;
}

std::vector<DWORD> ProcessesOf(const std::wstring& executable) {
    std::vector<DWORD> found;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (::lstrcmpiW(ImagePath(entry.th32ProcessID).c_str(), executable.c_str()) == 0)
            found.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return found;
}

bool Parse(const std::wstring& word, platform::ServiceControl& control) {
    if (word == L"stop") control = platform::ServiceControl::kStop;
    else if (word == L"pause") control = platform::ServiceControl::kPause;
    else if (word == L"continue") control = platform::ServiceControl::kContinue;
    else return false;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    platform::ServiceControl control{};
    if (argc != 3 || !Parse(argv[1], control)) return 64;
    const std::wstring executable = FullPath(argv[2]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        const std::vector<DWORD> processes = ProcessesOf(executable);
        if (processes.empty()) return 1;
        for (DWORD pid : processes)
            if (platform::SendServiceControl(static_cast<platform::ProcessId>(pid), control)) return 0;
        if (std::chrono::steady_clock::now() >= deadline) return 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
