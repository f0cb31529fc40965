#include "support/temp_folder.h"

#include <stdexcept>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/guid.h"
#include "platform/paths.h"

namespace qvtest {

std::string MakeFreshFolder(const std::string& parent) {
    // A fresh name: a folder that already exists is never taken over.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string candidate = parent + "qvtest-" + platform::NewGuid();
        if (!platform::DirectoryExists(candidate) && platform::CreateDir(candidate))
            return platform::IncludeTrailingSeparator(candidate);
    }
    throw std::runtime_error("cannot create a folder in " + parent);
}

TempFolder::TempFolder() : path_(MakeFreshFolder(platform::TempDir())) {}

TempFolder::~TempFolder() { platform::RemoveTree(path_); }

std::string BuildDir() {
    const std::string dir = platform::EnvText("QV_BUILD_DIR");
    if (dir.empty()) throw std::runtime_error("QV_BUILD_DIR is not set");
    return platform::IncludeTrailingSeparator(dir);
}

}  // namespace qvtest
