#include "platform/paths.h"

namespace platform {
namespace {

// Position of the last separator in `path`, or npos.
size_t LastSeparator(const std::string& path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsPathSeparator(path[i - 1])) return i - 1;
    return std::string::npos;
}

}  // namespace

std::string ExecutableDir() {
    const std::string& path = ExecutablePath();
    return path.substr(0, LastSeparator(path) + 1);
}

std::string IncludeTrailingSeparator(const std::string& path) {
    if (path.empty() || IsPathSeparator(path.back())) return path;
    return path + kPathSeparator;
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    size_t name_start = LastSeparator(path);
    name_start = name_start == std::string::npos ? 0 : name_start + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < name_start) return path + ext;
    return path.substr(0, dot) + ext;
}

std::string ExtractFilePath(const std::string& path) {
    size_t sep = LastSeparator(path);
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string ExtractFileName(const std::string& path) {
    size_t sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace platform
