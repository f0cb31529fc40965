#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/append_file.h"

namespace platform {
namespace {

ssize_t WriteOnce(int fd, std::string_view bytes) {
    ssize_t n;
    do {
        n = ::write(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace

FileStatus AppendFile::Append(const std::string& path, std::string_view bytes) {
    const auto now = std::chrono::steady_clock::now();
    if (!fd_ || path != path_ || now - opened_ >= reopen_after_) {
        if (FileStatus opened = Open(path); !opened) return opened;
    }
    FileStatus written = Write(bytes);
    if (written) return written;
    // A descriptor gone bad (the file system was remounted, say): one more try on a fresh one.
    if (FileStatus opened = Open(path); !opened) return opened;
    return Write(bytes);
}

FileStatus AppendFile::Open(const std::string& path) {
    Close();
    fd_ = FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (!fd_) return FileStatus(errno, "open", path);
    path_ = path;
    opened_ = std::chrono::steady_clock::now();
    return {};
}

FileStatus AppendFile::Write(std::string_view bytes) {
    const ssize_t n = WriteOnce(fd_.get(), bytes);
    if (n == static_cast<ssize_t>(bytes.size())) return {};
    if (n < 0) return FileStatus(errno, "write", path_);
    // Only part of it fitted. The rest is tried once, which also tells why it did not fit;
    // failing that, what did land is taken back.
    const ssize_t rest = WriteOnce(fd_.get(), bytes.substr(static_cast<size_t>(n)));
    if (rest == static_cast<ssize_t>(bytes.size()) - n) return {};
    const int error = rest < 0 ? errno : ENOSPC;
    TakeBack(static_cast<size_t>(n + std::max<ssize_t>(rest, 0)));
    return FileStatus(error, "write", path_);
}

void AppendFile::TakeBack(size_t landed) noexcept {
    // Our bytes end where the descriptor stands; they are cut off only while they are still
    // the last ones in the file, so a line another writer appended meanwhile stays.
    const off_t end = ::lseek(fd_.get(), 0, SEEK_CUR);
    struct stat st {};
    if (end < static_cast<off_t>(landed) || ::fstat(fd_.get(), &st) != 0 || st.st_size != end)
        return;
    if (::ftruncate(fd_.get(), end - static_cast<off_t>(landed)) != 0) {
        // Nothing more to do: the part stays, and the failure is reported all the same.
    }
}

void AppendFile::Close() noexcept {
    fd_.Close();
    path_.clear();
}

}  // namespace platform
