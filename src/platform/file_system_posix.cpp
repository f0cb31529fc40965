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

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
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

bool ForceDirectories(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return DirectoryExists(path);
}

bool CreateDir(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 || DirectoryExists(path);
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !ec;
}

std::optional<std::string> ReadFile(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return data;
        data.append(buffer, static_cast<size_t>(n));
    }
}

bool WriteFile(const std::string& path, std::string_view bytes, bool durable) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd || !WriteAll(fd.get(), bytes)) return false;
    if (durable && ::fsync(fd.get()) != 0) return false;
    return fd.Close();
}

bool AppendToFile(const std::string& path, std::string_view bytes) {
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
