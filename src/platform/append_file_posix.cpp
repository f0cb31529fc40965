#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/append_file.h"

namespace platform {

bool AppendFile::Append(const std::string& path, std::string_view bytes) {
    const auto now = std::chrono::steady_clock::now();
    if (!fd_ || path != path_ || now - opened_ >= reopen_after_) {
        if (!Open(path)) return false;
    }
    if (Write(bytes)) return true;
    // A descriptor gone bad (the file system was remounted, say): one more try on a fresh one.
    return Open(path) && Write(bytes);
}

bool AppendFile::Open(const std::string& path) {
    Close();
    fd_ = FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (!fd_) return false;
    path_ = path;
    opened_ = std::chrono::steady_clock::now();
    return true;
}

bool AppendFile::Write(std::string_view bytes) {
    ssize_t n;
    do {
        n = ::write(fd_.get(), bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(bytes.size());
}

void AppendFile::Close() noexcept {
    fd_.Close();
    path_.clear();
}

}  // namespace platform
