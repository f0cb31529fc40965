#include "support/simulated_library.h"

#include <stdexcept>

#include "platform/file_system.h"
#include "support/temp_folder.h"
#include "tef/clisitef_abi.h"

namespace qvtest {

std::string InstallSimulatedLibrary(const std::string& app_folder) {
    const std::string built = BuildDir() + "tools/clisitef-sim/" + tef::kCliSiTefLibraryName;
    auto bytes = platform::ReadFile(built);
    if (!bytes) throw std::runtime_error("the simulated library is not built: " + built);
    const std::string folder = app_folder + "dll/";
    const std::string path = folder + tef::kCliSiTefLibraryName;
    if (!platform::ForceDirectories(folder) || !platform::WriteFile(path, *bytes))
        throw std::runtime_error("cannot copy the simulated library to " + path);
    return path;
}

}  // namespace qvtest
