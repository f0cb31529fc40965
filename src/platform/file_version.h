// The file version stamped into an executable or shared library: four 16-bit numbers
// (major, minor, release, build) carried by an ELF note that our build adds to every binary.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

using FileVersion = std::array<uint16_t, 4>;

// The version of the file at `path`, or nothing when the file is missing, is not an ELF file,
// or carries no version note. A file's answer is remembered and only read again once the
// file at `path` is another one or has changed (device, inode, size, modification or status
// change time), so asking again costs one stat. Thread-safe.
std::optional<FileVersion> ReadFileVersion(const std::string& path);

}  // namespace platform
