// The simulated payment library (tools/clisitef-sim) for tests that need one in an application
// folder. A test target using it must depend on the target clisitef_sim.
#pragma once

#include <string>

namespace qvtest {

// Copies the built library to `app_folder` + "dll/" + its name (libclisitef.so; the Windows
// build's under Wine, windows_under_wine.h), creating the folder, and returns that path. A
// copy, not a link: the loader takes a second link to a file it has already loaded for the
// same library, state included, so each test gets a fresh one this way.
// Throws std::runtime_error when the library is not built or cannot be copied.
std::string InstallSimulatedLibrary(const std::string& app_folder);

struct WindowsBuild;

// The same with the library of `windows` when not null, this build's otherwise.
std::string InstallSimulatedLibrary(const std::string& app_folder, const WindowsBuild* windows);

class AppFolder;

// Installs the library into `app` for the service it runs, with `scenario` (JSON text) as
// app/scenario.json, its journal in app/journal.log and waits that do not block.
void InstallSimulatedLibrary(AppFolder& app, const std::string& scenario);

}  // namespace qvtest
