// The switch that points the tests which run the service at its Windows build, run under
// Wine: QV_TEST_WINDOWS_BUILD names a 64-bit Windows build folder (build-windows/x64). The
// application folder then lays out the Windows programs and payment library of that build
// and starts them with Wine's 64-bit loader, in the Wine prefix of the environment
// (WINEPREFIX, whose server the runner keeps up). Stop, pause and continue reach the program
// through its control events, set by a small Windows program of that build.
#pragma once

#include <optional>
#include <string>

namespace qvtest {

struct WindowsBuild {
    std::string folder;  // with a trailing separator
    std::string wine;    // Wine's 64-bit loader
};

// The Windows build the tests run, or nothing when they run the programs of this build.
const std::optional<WindowsBuild>& WindowsBuildUnderWine();

// The simulated payment library's file name in the Windows build (CliSiTef64I.dll).
std::string WindowsLibraryName(const WindowsBuild& build);

// How a Windows program under Wine names a file of this system: its Z: drive path.
std::string WinePath(const std::string& path);

// Asks the running program `executable` (its file here) for the service control meant by
// `sig` as on Linux: SIGTERM or SIGINT stop, SIGUSR1 pause, SIGUSR2 continue. False when
// the request could not be delivered (no such program, or it takes no requests yet).
bool SendWineServiceControl(const WindowsBuild& build, const std::string& executable, int sig);

// Whether Wine keeps a TCP socket listening on `port` for a program of this prefix: Wine's
// server owns the sockets of its programs, so they are not the program process's own.
bool WineServerListensOn(unsigned port);

}  // namespace qvtest
