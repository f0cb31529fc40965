// Files that cannot grow past a size, for real, the way a full disk stops them, on every
// system: on Linux a file-size limit of the process (see file_faults.h); on Windows a full
// volume, where a file grows only within the space it already holds. scripts/test-windows.sh
// mounts a small volume for that and names it in QV_SMALL_VOLUME.
//
// Make the files in a CappedFolder, then take a FileCap while the writes that must fail run.
// One FileCap at a time.
#pragma once

#include <cstddef>
#include <string>

#include "support/temp_folder.h"

namespace qvtest {

// A fresh folder where a FileCap stops files (on the small volume on Windows).
class CappedFolder {
public:
    CappedFolder();
    CappedFolder(const CappedFolder&) = delete;
    CappedFolder& operator=(const CappedFolder&) = delete;
    ~CappedFolder();

    // Path with a trailing separator.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

class FileCap {
public:
    // What a file may hold while the cap lives: a file of fewer bytes grows up to it, and a
    // write that would pass it is cut short there; the next one fails with Error().
    static constexpr size_t kBytes = 4096;

    explicit FileCap(const CappedFolder& folder);
    FileCap(const FileCap&) = delete;
    FileCap& operator=(const FileCap&) = delete;
    ~FileCap();

    // The errno value of a write stopped by the cap: EFBIG on Linux, ENOSPC on Windows.
    static int Error();

private:
    std::string filler_;  // Windows: the file that takes up the rest of the volume
};

}  // namespace qvtest
