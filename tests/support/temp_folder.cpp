#include "support/temp_folder.h"

#include <stdlib.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/file_system.h"
#include "platform/paths.h"

namespace qvtest {

TempFolder::TempFolder() {
    std::string pattern = platform::TempDir() + "qvtest-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
}

TempFolder::~TempFolder() { platform::RemoveTree(path_); }

std::string BuildDir() {
    const char* dir = std::getenv("QV_BUILD_DIR");
    if (dir == nullptr || *dir == '\0') throw std::runtime_error("QV_BUILD_DIR is not set");
    return platform::IncludeTrailingSeparator(dir);
}

}  // namespace qvtest
