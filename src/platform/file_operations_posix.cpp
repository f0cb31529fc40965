#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/file_descriptor.h"
#include "platform/file_operations.h"

namespace platform {
namespace {

[[noreturn]] void RaiseErrno(int error, const std::string& what, const std::string& path) {
    throw std::system_error(error, std::generic_category(), what + " " + path);
}

// Writes everything; the errno of the failure otherwise (ENOSPC for a write that stalls).
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

}  // namespace

bool CreateNewFile(const std::string& path, std::string_view bytes) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd && errno == EEXIST) return false;
    if (!fd) RaiseErrno(errno, "open", path);
    int error = WriteAll(fd.get(), bytes);
    if (!fd.Close() && error == 0) error = errno;
    if (error != 0) {
        ::unlink(path.c_str());
        RaiseErrno(error, "write", path);
    }
    return true;
}

void CreateDirectories(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) throw std::system_error(ec, "mkdir " + path);
}

void RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) RaiseErrno(errno, "unlink", path);
}

void RemoveDirectoryTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    if (ec) throw std::system_error(ec, "remove " + path);
}

}  // namespace platform
