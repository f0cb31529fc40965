// A fresh folder under the system's temporary folder, removed with everything in it when the
// owner goes away (also when a test fails).
#pragma once

#include <string>

namespace qvtest {

class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    // Path with a trailing separator.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Creates a folder of a fresh name inside `parent` (which ends with a separator); its path with
// a trailing separator. Raises std::runtime_error when it cannot.
std::string MakeFreshFolder(const std::string& parent);

// Folder of the CMake build tree the tests were built in (tools and the service live there).
std::string BuildDir();

}  // namespace qvtest
