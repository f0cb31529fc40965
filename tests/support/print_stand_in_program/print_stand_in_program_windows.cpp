// The print program's stand-in on Windows, as the shell script of support/print_stand_in does
// on Linux: records each call (its arguments joined by '|', then whether the -data-dir folder
// existed) in <folder>/calls.txt, keeps a copy of the document (the last argument) as
// <folder>/documents/<call>, and exits with the code line <call> of <folder>/outcomes names,
// or with "hang" starts itself as a child that waits as it does (so that killing the call
// shows whether its children go too) and waits (60 s at most) until <folder>/release exists,
// the two process ids in <folder>/hanging.pid and <folder>/hanging-child.pid. <folder> is the
// one named in the file <this program>.folder, else the program's own.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace {

using platform::win32::Utf8;
using platform::win32::Wide;

std::string RecordFolder() {
    std::string named = platform::ReadFile(platform::ExecutablePath() + ".folder").value_or("");
    while (!named.empty() && (named.back() == '\n' || named.back() == '\r')) named.pop_back();
    return named.empty() ? platform::ExecutableDir() : platform::IncludeTrailingSeparator(named);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The first argument of the hanging call's child; no print command line starts with it.
constexpr const char* kChildMode = "--stand-in-child";

void WaitForRelease(const std::string& folder) {
    for (int i = 0; i < 600 && !platform::FileExists(folder + "release"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// Started plainly, in no job of its own: only a kill of the job this call runs in ends it
// before its release. Its handle, or none when it could not start.
HANDLE StartChild(const std::string& folder) {
    std::wstring command_line = L"\"" + Wide(platform::ExecutablePath()) + L"\" " + Wide(kChildMode);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &info))
        return nullptr;
    ::CloseHandle(info.hThread);
    platform::WriteFile(folder + "hanging-child.pid", std::to_string(info.dwProcessId));
    return info.hProcess;
}

// Released, the call ends after its child, so that nothing runs from its folder any more.
int Hang(const std::string& folder, HANDLE child) {
    WaitForRelease(folder);
    if (child != nullptr) ::WaitForSingleObject(child, 5000);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
    const std::string folder = RecordFolder();
    if (args.size() == 1 && args[0] == kChildMode) {
        WaitForRelease(folder);
        return 0;
    }

    std::string data_dir, record;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0 && args[i - 1] == "-data-dir") data_dir = args[i];
        record += args[i] + "|";
    }
    const std::string calls = platform::ReadFile(folder + "calls.txt").value_or("");
    const size_t call = Lines(calls).size() + 1;
    platform::ForceDirectories(folder + "documents");
    if (!args.empty())
        if (auto document = platform::ReadFile(args.back()))
            platform::WriteFile(folder + "documents\\" + std::to_string(call), *document);
    const std::vector<std::string> outcomes =
        Lines(platform::ReadFile(folder + "outcomes").value_or(""));
    const std::string outcome = call <= outcomes.size() ? outcomes[call - 1] : "";
    const bool hang = outcome == "hang";
    HANDLE child = nullptr;
    if (hang) {
        child = StartChild(folder);
        platform::WriteFile(folder + "hanging.pid", std::to_string(::GetCurrentProcessId()));
    }
    record += platform::DirectoryExists(data_dir) ? "data-dir-present" : "data-dir-missing";
    platform::WriteFile(folder + "calls.txt", calls + record + "\n");
    if (hang) return Hang(folder, child);
    return outcome.empty() ? 0 : std::stoi(outcome);
}
