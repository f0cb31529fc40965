// Move-only owners of operating-system handles: an open file (a descriptor, or a HANDLE on
// Windows), a socket (a descriptor, or a SOCKET) and a directory listing. Every handle the
// platform layer hands out (sockets, wake events, files, processes) sits in one of them, so
// exactly one object closes it. Not synchronised: one owner at a time.
#pragma once

#include <cstdint>
#include <utility>

namespace platform {

// What the system hands out, and how an owner tells a handle from none and closes it (false
// when the system reported an error; the handle is released either way).
#if defined(_WIN32)
struct FileHandleTraits {
    using Type = void*;  // HANDLE: both NULL and INVALID_HANDLE_VALUE hold nothing
    static constexpr Type None() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr && h != reinterpret_cast<Type>(-1); }
    static bool Close(Type h) noexcept;
};
struct SocketHandleTraits {
    using Type = uintptr_t;  // SOCKET
    static constexpr Type None() { return ~Type(0); }
    static bool IsValid(Type s) { return s != None(); }
    static bool Close(Type s) noexcept;
};
#else
struct FileHandleTraits {
    using Type = int;  // a negative value holds nothing
    static constexpr Type None() { return -1; }
    static bool IsValid(Type fd) { return fd >= 0; }
    static bool Close(Type fd) noexcept;
};
using SocketHandleTraits = FileHandleTraits;
#endif

template <class Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    // Takes ownership of `handle`.
    explicit UniqueHandle(Type handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.Release();
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Close(); }

    bool IsValid() const { return Traits::IsValid(handle_); }
    explicit operator bool() const { return IsValid(); }
    Type get() const { return handle_; }

    // Closes the handle now. False when the system reported an error (a write that failed
    // late, for example); the handle is released either way.
    bool Close() noexcept { return !IsValid() || Traits::Close(Release()); }

private:
    Type Release() noexcept { return std::exchange(handle_, Traits::None()); }

    Type handle_ = Traits::None();
};

// An open file, pipe, event, process or job.
using FileDescriptor = UniqueHandle<FileHandleTraits>;
// A socket (on POSIX systems the same kind of descriptor as a file).
using SocketDescriptor = UniqueHandle<SocketHandleTraits>;
using NativeSocket = SocketHandleTraits::Type;

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
    void* dir_ = nullptr;  // the system's listing, kept opaque so the header needs no system header
};

}  // namespace platform
