// Move-only owners of operating-system handles: a file descriptor and a directory stream.
// Every descriptor the platform layer hands out (sockets, wake events, files) sits in a
// FileDescriptor, so exactly one object closes it. Not synchronised: one owner at a time.
#pragma once

#include <utility>

namespace platform {

class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes ownership of `fd` (a negative value holds nothing).
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    bool IsValid() const { return fd_ >= 0; }
    explicit operator bool() const { return IsValid(); }
    int get() const { return fd_; }

    // Closes the descriptor now. False when the system reported an error (a write that
    // failed late, for example); the descriptor is released either way.
    bool Close() noexcept;

private:
    int fd_ = -1;
};

// An open directory being listed; closed with its owner.
class DirectoryHandle {
public:
    // Opens `path` for listing; IsOpen() tells whether that worked.
    explicit DirectoryHandle(const char* path) noexcept;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    ~DirectoryHandle();

    bool IsOpen() const { return dir_ != nullptr; }

    // The next entry's name, or nullptr after the last one. Valid until the next call.
    const char* NextName() noexcept;

private:
    void* dir_ = nullptr;  // DIR*, kept opaque so the header needs no system header
};

}  // namespace platform
