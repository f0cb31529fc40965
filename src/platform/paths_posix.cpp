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

const char kPathSeparator = '/';

bool IsPathSeparator(char c) { return c == '/'; }

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path.front() == '/'; }

const std::string& ExecutablePath() {
    // Read once: the version route asks on every request, and the service keeps running
    // from where it was started.
    static const std::string path = ReadExecutableLink();
    return path;
}

std::string TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    return IncludeTrailingSeparator(tmp && *tmp ? tmp : "/tmp");
}

}  // namespace platform
