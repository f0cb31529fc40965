#include <cctype>

#include "platform/paths.h"
#include "platform/win32.h"

namespace platform {

namespace {

std::string ModuleFileName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) win32::ThrowLastError("GetModuleFileName");
        if (n < path.size()) return win32::Utf8(std::wstring_view(path.data(), n));
        path.resize(path.size() * 2);
    }
}

}  // namespace

const char kPathSeparator = '\\';

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAbsolutePath(const std::string& path) {
    // A drive and a separator, or two separators (a network share, \\?\ paths). "C:x" and
    // "\\x" depend on the drive's current folder or the current drive: not absolute.
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && IsPathSeparator(path[2]);
    return drive || (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]));
}

const std::string& ExecutablePath() {
    // Read once: the version route asks on every request, and the service keeps running
    // from where it was started.
    static const std::string path = ModuleFileName();
    return path;
}

std::string TempDir() {
    // TMP, TEMP, the profile's folder or the Windows folder, whichever is set first.
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH + 1) return "C:\\Windows\\Temp\\";
    return IncludeTrailingSeparator(win32::Utf8(std::wstring_view(buffer, n)));
}

}  // namespace platform
