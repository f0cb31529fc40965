#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/append_file.h"
#include "platform/file_system.h"

namespace platform {
namespace {

// Closes a file descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

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
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
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
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0 || !WriteAll(fd.get(), bytes)) return false;
    if (durable && ::fsync(fd.get()) != 0) return false;
    return fd.Close();
}

bool AppendToFile(const std::string& path, std::string_view bytes) {
    AppendFile file;
    return file.Append(path, bytes);
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& mask) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return names;
    while (dirent* entry = ::readdir(d)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        std::string full = dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
        if (FileExists(full)) names.push_back(name);
    }
    ::closedir(d);
    return names;
}

}  // namespace platform
