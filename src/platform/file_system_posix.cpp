#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/append_file.h"
#include "platform/file_descriptor.h"
#include "platform/file_system.h"

namespace platform {
namespace {

FileStatus Failure(std::string operation, const std::string& path) {
    return FileStatus(errno, std::move(operation), path);
}

FileStatus Failure(const std::error_code& ec, std::string operation, const std::string& path) {
    return FileStatus(ec.value(), std::move(operation), path);
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

// Writes `bytes` to the open file `fd` of `path`, then flushes it to the disk when `sync`, and
// closes it.
FileStatus WriteAndClose(FileDescriptor fd, const std::string& path, std::string_view bytes,
                         bool sync) {
    if (int error = WriteAll(fd.get(), bytes)) return FileStatus(error, "write", path);
    if (sync && ::fsync(fd.get()) != 0) return Failure("fsync", path);
    if (!fd.Close()) return Failure("close", path);
    return {};
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A renamed file's new name is only on the disk once its folder is.
FileStatus SyncFolder(const std::string& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return Failure("open", folder);
    if (::fsync(fd.get()) != 0) return Failure("fsync", folder);
    return {};
}

// The replacement keeps the permissions the file had.
void KeepMode(int fd, const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
}

FileStatus ReplaceDurably(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + std::string(kTemporarySuffix);
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd) return Failure("open", temporary);
    KeepMode(fd.get(), path);
    FileStatus status = WriteAndClose(std::move(fd), temporary, bytes, true);
    if (status && ::rename(temporary.c_str(), path.c_str()) != 0) status = Failure("rename", path);
    if (!status) {
        ::unlink(temporary.c_str());
        return status;
    }
    return SyncFolder(FolderOf(path));
}

}  // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileStatus ForceDirectories(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) return Failure(ec, "mkdir", path);
    if (!DirectoryExists(path)) return FileStatus(ENOTDIR, "mkdir", path);
    return {};
}

FileStatus CreateDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return {};
    FileStatus failure = Failure("mkdir", path);
    return DirectoryExists(path) ? FileStatus() : failure;
}

FileStatus DeleteFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return Failure("unlink", path);
    return {};
}

FileStatus RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    if (ec) return Failure(ec, "remove", path);
    return {};
}

FileContents ReadFile(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return Failure("open", path);
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Failure("read", path);
        if (n == 0) return data;
        data.append(buffer, static_cast<size_t>(n));
    }
}

FileStatus WriteFile(const std::string& path, std::string_view bytes, bool durable) {
    if (durable) return ReplaceDurably(path, bytes);
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd) return Failure("open", path);
    return WriteAndClose(std::move(fd), path, bytes, false);
}

FileStatus CreateNewFile(const std::string& path, std::string_view bytes) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd) return Failure("open", path);
    FileStatus status = WriteAndClose(std::move(fd), path, bytes, false);
    if (!status) ::unlink(path.c_str());
    return status;
}

FileStatus AppendToFile(const std::string& path, std::string_view bytes) {
    AppendFile file;
    return file.Append(path, bytes);
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& mask) {
    std::vector<std::string> names;
    DirectoryHandle handle(dir.c_str());
    while (const char* entry = handle.NextName()) {
        std::string name = entry;
        if (name == "." || name == "..") continue;
        if (::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        std::string full = dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
        if (FileExists(full)) names.push_back(name);
    }
    return names;
}

}  // namespace platform
