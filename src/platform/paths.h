// Where the running program lives. The application folder is the executable's folder:
// configuration, certificates, logs, the payment library and backups sit beside it.
#pragma once

#include <string>

namespace platform {

// The separator this system writes between folder names: '/', or '\\' on Windows.
extern const char kPathSeparator;

// True for every character the system reads as a separator (Windows reads '/' as well).
bool IsPathSeparator(char c);

// True for a path that names its place without a current folder: "/x" on Linux; "C:\\x",
// "C:/x" or a network path "\\\\server\\share" on Windows.
bool IsAbsolutePath(const std::string& path);

// The folder part of `path`, with its trailing separator; empty for a bare file name.
std::string ExtractFilePath(const std::string& path);

// Full path of the running executable, as it was when first asked.
const std::string& ExecutablePath();

// Folder of the running executable, with a trailing separator.
std::string ExecutableDir();

// The account's folder for temporary files, with a trailing separator.
std::string TempDir();

// `path` with a separator appended when it does not end with one (empty stays empty).
std::string IncludeTrailingSeparator(const std::string& path);

// `path` with its extension (the part after the last dot of the file name) replaced by `ext`,
// which includes its dot; a name without an extension gets `ext` appended.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// The file-name part of `path` (after the last separator).
std::string ExtractFileName(const std::string& path);

}  // namespace platform
