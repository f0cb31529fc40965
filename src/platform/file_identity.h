// What the file-version cache (file_version.cpp) needs from the system: a file's identity
// without reading it, and its version read together with the identity of the file actually
// read. Implemented beside the version reader of each system (file_version_elf.cpp,
// file_version_windows.cpp).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_version.h"

namespace platform {

// What tells one file (or one state of it) from another: its volume and number there (device
// and inode), its size, and its last modification and status change.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t number = 0;
    int64_t size = 0;
    std::chrono::system_clock::time_point modified;
    std::chrono::system_clock::time_point changed;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path`; nothing when there is none.
std::optional<FileIdentity> IdentifyFile(const std::string& path);

struct IdentifiedVersion {
    FileIdentity identity;
    std::optional<FileVersion> version;  // nothing when the file carries none
};

// Opens the file at `path` and reads its version; nothing when it cannot be opened.
std::optional<IdentifiedVersion> ReadIdentifiedVersion(const std::string& path);

}  // namespace platform
