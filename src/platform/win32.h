// What every Windows unit of the platform layer shares: the system headers, text crossing
// the seam (UTF-8 inside, UTF-16 at the system), command lines, and the one translation of a
// Windows error into ours. Included by the *_windows.cpp files of this folder, and by the
// Windows test support, which starts programs the way the service does.
#pragma once

#include <windows.h>
// After <windows.h>: CommandLineToArgvW.
#include <shellapi.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/file_status.h"

// <windows.h> renames DeleteFile to DeleteFileW; ours is platform::DeleteFile.
#undef DeleteFile

namespace platform::win32 {

// UTF-8 → UTF-16 for the W functions; malformed UTF-8 becomes U+FFFD.
std::wstring Wide(std::string_view utf8);
// UTF-16 from the system → UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view utf16);

// The command line CreateProcessW takes for `args` (args[0] the program): each argument
// quoted, when it needs it, so that the started program's C runtime splits it back as it was.
std::wstring CommandLine(const std::vector<std::string>& args);

// The system's own text for a Windows error code (GetLastError, WSAGetLastError), without
// the trailing line break: "The system cannot find the file specified."
std::string SystemText(DWORD code);

// The errno value that means the same as a Windows error code, so that callers test one
// set of values on every system (ERROR_FILE_NOT_FOUND → ENOENT, WSAEADDRINUSE → EADDRINUSE);
// EIO for codes without a counterpart.
int ErrnoOf(DWORD code);

// The failure of `operation` on `path` with `code`: its errno counterpart and the system's
// text, as FileStatus carries them.
FileStatus Failure(DWORD code, std::string operation, const std::string& path);

// Windows error codes as std::error_code: message() is the system's text, and each code
// compares equal to its errno counterpart (ec == std::errc::no_such_file_or_directory).
const std::error_category& WindowsCategory();

// std::system_error for `code` in WindowsCategory, "<context>: <the system's text>".
[[noreturn]] void ThrowError(DWORD code, const std::string& context);
// The same for the calling thread's last error (GetLastError, WSAGetLastError for sockets).
[[noreturn]] void ThrowLastError(const std::string& context);
[[noreturn]] void ThrowSocketError(const std::string& context);

// Memory the system allocated with LocalAlloc, freed with LocalFree.
struct LocalFreeDeleter {
    void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};
using LocalAcl = std::unique_ptr<ACL, LocalFreeDeleter>;

// The access list KeepPrivate gives a file: full control for the account running this process,
// the system account and the administrators, nothing else. Null with the reason in `error`
// when it cannot be made.
LocalAcl PrivateFileAcl(DWORD& error);

// Before a socket is closed: forgets that it was shut down (socket_windows.cpp).
void ForgetSocketShutdown(uintptr_t socket) noexcept;

}  // namespace platform::win32
