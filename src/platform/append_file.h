// A file kept open for appending. Every Append is a single write to a descriptor opened with
// O_APPEND (a handle with append access only, on Windows), so appends from several writers
// (processes too) never interleave within one call.
// An append that only partly fits (a full disk) is taken back, so the file never ends in half
// a line. The descriptor is reopened when the path changes and once it is older than
// `reopen_after`, so a file that was removed or rotated meanwhile is created again. Not
// synchronised: one writer at a time (the owner locks).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/file_descriptor.h"
#include "platform/file_status.h"

namespace platform {

class AppendFile {
public:
    explicit AppendFile(std::chrono::milliseconds reopen_after = std::chrono::seconds(1))
        : reopen_after_(reopen_after) {}

    // Appends `bytes` to `path` (created when missing); all of them, or none and the reason.
    FileStatus Append(const std::string& path, std::string_view bytes);
    void Close() noexcept;

private:
    FileStatus Open(const std::string& path);
    FileStatus Write(std::string_view bytes);
    // Removes the `landed` bytes of a write that only partly went through.
    void TakeBack(size_t landed) noexcept;

    std::chrono::milliseconds reopen_after_;
    FileDescriptor fd_;
    std::string path_;
    std::chrono::steady_clock::time_point opened_;
};

}  // namespace platform
