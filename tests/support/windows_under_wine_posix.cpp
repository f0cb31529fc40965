#include "support/windows_under_wine.h"

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "platform/environment.h"
#include "platform/paths.h"
#include "support/child_process.h"
#include "support/process_listens.h"
#include "support/temp_folder.h"

namespace qvtest {
namespace {

namespace fs = std::filesystem;

// The control program of the Windows build (tests/support/service_control_program).
constexpr const char* kControlProgram = "tests/support/service_control_program/qv-service-control.exe";

const char* ControlName(int sig) {
    switch (sig) {
        case SIGTERM:
        case SIGINT: return "stop";
        case SIGUSR1: return "pause";
        case SIGUSR2: return "continue";
        default: return nullptr;
    }
}

// Whether process `pid` runs with `prefix` as its WINEPREFIX.
bool InPrefix(const std::string& pid, const std::string& prefix) {
    std::ifstream in("/proc/" + pid + "/environ");
    std::string entry;
    while (std::getline(in, entry, '\0'))
        if (entry == "WINEPREFIX=" + prefix) return true;
    return false;
}

}  // namespace

const std::optional<WindowsBuild>& WindowsBuildUnderWine() {
    static const std::optional<WindowsBuild> build = []() -> std::optional<WindowsBuild> {
        const std::string folder = platform::EnvText("QV_TEST_WINDOWS_BUILD");
        if (folder.empty()) return std::nullopt;
        const std::string wine = platform::EnvText("QV_TEST_WINE");
        return WindowsBuild{platform::IncludeTrailingSeparator(fs::absolute(folder).string()),
                            wine.empty() ? "/usr/lib/wine/wine64" : wine};
    }();
    return build;
}

std::string WindowsLibraryName(const WindowsBuild& build) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(build.folder + "tools/clisitef-sim", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("CliSiTef") && name.ends_with(".dll")) return name;
    }
    throw std::runtime_error("no simulated library in " + build.folder + "tools/clisitef-sim");
}

std::string WinePath(const std::string& path) {
    std::string converted = "Z:" + path;
    for (char& c : converted)
        if (c == '/') c = '\\';
    return converted;
}

bool SendWineServiceControl(const WindowsBuild& build, const std::string& executable, int sig) {
    const char* control = ControlName(sig);
    if (control == nullptr) throw std::invalid_argument("no service control for this signal");
    TempFolder scratch;
    ChildProcess program(build.wine, {build.folder + kControlProgram, control, WinePath(executable)},
                         {}, scratch / "output.txt");
    // Wine starts a program in well under a second when its server runs; the program itself
    // waits up to 5 s for the events to exist.
    return program.Wait(std::chrono::seconds(30)).value_or(-1) == 0;
}

bool WineServerListensOn(unsigned port) {
    const std::string prefix = platform::EnvText("WINEPREFIX");
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.starts_with("wineserver") && InPrefix(pid, prefix) &&
            ProcessListensOn(std::stoi(pid), static_cast<uint16_t>(port)))
            return true;
    }
    return false;
}

}  // namespace qvtest
