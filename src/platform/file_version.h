// The file version stamped into an executable or shared library: four 16-bit numbers
// (major, minor, release, build), carried on Linux by an ELF note that our build adds to every
// binary, on Windows by the fixed file version of the VERSIONINFO resource.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace platform {

using FileVersion = std::array<uint16_t, 4>;

// Reads file versions and remembers them per path, because the version route asks on every
// request. A remembered answer is given for `recheck_after`; after that the file is looked at
// again (one look at its identity) and read again only when it is another file or has changed
// (volume, file number, size, modification or status change time). A file changed less than
// `settle_time` ago is never remembered: a second change within one tick of the file clock would
// leave it looking the same. Thread-safe.
class FileVersionCache {
public:
    explicit FileVersionCache(std::chrono::milliseconds recheck_after,
                              std::chrono::seconds settle_time = std::chrono::seconds(2));
    ~FileVersionCache();

    // The version of the file at `path`, or nothing when the file is missing or carries no
    // version (not an ELF file or no note; no VERSIONINFO resource).
    std::optional<FileVersion> Get(const std::string& path);

private:
    struct Entry;
    std::optional<FileVersion> ReadAndRemember(const std::string& path);

    const std::chrono::milliseconds recheck_after_;
    const std::chrono::seconds settle_time_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;  // guarded by mutex_
};

// FileVersionCache::Get on the process's cache, which looks at a file again after a second.
std::optional<FileVersion> ReadFileVersion(const std::string& path);

}  // namespace platform
