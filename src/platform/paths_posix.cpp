#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/paths.h"

namespace platform {

namespace {

std::string ReadExecutableLink() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            throw std::system_error(errno, std::generic_category(), "readlink /proc/self/exe");
        if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

const std::string& ExecutablePath() {
    // Read once: the version route asks on every request, and the service keeps running
    // from where it was started.
    static const std::string path = ReadExecutableLink();
    return path;
}

std::string ExecutableDir() {
    const std::string& path = ExecutablePath();
    return path.substr(0, path.rfind(kPathSeparator) + 1);
}

std::string TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    return IncludeTrailingSeparator(tmp && *tmp ? tmp : "/tmp");
}

std::string IncludeTrailingSeparator(const std::string& path) {
    if (path.empty() || path.back() == kPathSeparator) return path;
    return path + kPathSeparator;
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    size_t name_start = path.rfind(kPathSeparator);
    name_start = name_start == std::string::npos ? 0 : name_start + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < name_start) return path + ext;
    return path.substr(0, dot) + ext;
}

std::string ExtractFileName(const std::string& path) {
    size_t sep = path.rfind(kPathSeparator);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace platform
