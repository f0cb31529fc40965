// The outcome of a file operation: success, or why it failed — the system's error number, the
// step that failed and the path — so that whoever logs or reports the failure can say "No
// space left on device" or "Permission denied" instead of a bare "failed".
//
// Values; safe to copy between threads.
#pragma once

#include <string>
#include <system_error>
#include <utility>

namespace platform {

class FileStatus {
public:
    // Success.
    FileStatus() = default;
    // The failure of `operation` ("open", "write", "rename", ...) on `path` with `error`
    // (an errno value). `reason` is the system's own text where it has one besides the errno
    // value's (Windows); empty takes the errno value's text.
    FileStatus(int error, std::string operation, std::string path, std::string reason = {})
        : error_(error),
          operation_(std::move(operation)),
          path_(std::move(path)),
          reason_(std::move(reason)) {}

    // True on success, so `if (!WriteFile(...))` reads as it always did.
    explicit operator bool() const { return error_ == 0; }

    int Error() const { return error_; }
    std::error_code Code() const { return {error_, std::generic_category()}; }
    const std::string& Operation() const { return operation_; }
    const std::string& Path() const { return path_; }

    // The system's text for the error: "No space left on device" ("There is not enough space
    // on the disk." on Windows).
    std::string Reason() const;
    // "<operation> <path>: <reason>"; empty on success.
    std::string Message() const;

    // Raises std::system_error (with Code() and "<operation> <path>") unless a success.
    void ThrowIfFailed() const;

private:
    int error_ = 0;
    std::string operation_;
    std::string path_;
    std::string reason_;
};

// The bytes of a file, or the failure to read it. Reads like std::optional<std::string>.
class FileContents {
public:
    FileContents(std::string bytes) : bytes_(std::move(bytes)) {}  // NOLINT: a read that worked
    FileContents(FileStatus failure) : status_(std::move(failure)) {}

    bool has_value() const { return bool(status_); }
    explicit operator bool() const { return has_value(); }
    const FileStatus& Status() const { return status_; }

    // The bytes; empty after a failure.
    const std::string& operator*() const { return bytes_; }
    const std::string* operator->() const { return &bytes_; }
    // The bytes, or the failure raised as std::system_error.
    const std::string& value() const {
        status_.ThrowIfFailed();
        return bytes_;
    }
    std::string value_or(std::string fallback) const {
        return has_value() ? bytes_ : std::move(fallback);
    }

private:
    std::string bytes_;
    FileStatus status_;
};

}  // namespace platform
