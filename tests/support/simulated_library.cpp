#include "support/simulated_library.h"

#include <stdexcept>

#include "platform/file_system.h"
#include "support/temp_folder.h"
#include "support/windows_under_wine.h"
#include "tef/clisitef_abi.h"

namespace qvtest {

std::string InstallSimulatedLibrary(const std::string& app_folder, const WindowsBuild* windows) {
    const std::string name = windows ? WindowsLibraryName(*windows) : tef::kCliSiTefLibraryName;
    const std::string built = (windows ? windows->folder : BuildDir()) + "tools/clisitef-sim/" + name;
    auto bytes = platform::ReadFile(built);
    if (!bytes) throw std::runtime_error("the simulated library is not built: " + built);
    const std::string folder = app_folder + "dll/";
    const std::string path = folder + name;
    if (!platform::ForceDirectories(folder) || !platform::WriteFile(path, *bytes))
        throw std::runtime_error("cannot copy the simulated library to " + path);
    return path;
}

std::string InstallSimulatedLibrary(const std::string& app_folder) {
    const auto& windows = WindowsBuildUnderWine();
    return InstallSimulatedLibrary(app_folder, windows ? &*windows : nullptr);
}

}  // namespace qvtest
