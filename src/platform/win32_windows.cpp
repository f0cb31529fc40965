#include <cerrno>

#include "platform/win32.h"

namespace platform::win32 {
namespace {

struct ErrnoPair {
    DWORD code;
    int error;
};

// The Windows errors the service meets, by what they mean.
constexpr ErrnoPair kErrnoOf[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},
    {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_MOD_NOT_FOUND, ENOENT},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES},
    {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_WRITE_PROTECT, EROFS},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},
    {ERROR_DIRECTORY, ENOTDIR},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_BAD_EXE_FORMAT, ENOEXEC},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_NOT_SUPPORTED, ENOTSUP},
    {ERROR_BROKEN_PIPE, EPIPE},
    {WSAEINTR, EINTR},
    {WSAEWOULDBLOCK, EWOULDBLOCK},
    {WSAEINVAL, EINVAL},
    {WSAEMFILE, EMFILE},
    {WSAENOBUFS, ENOBUFS},
    {WSAEACCES, EACCES},
    {WSAEADDRINUSE, EADDRINUSE},
    {WSAEADDRNOTAVAIL, EADDRNOTAVAIL},
    {WSAEAFNOSUPPORT, EAFNOSUPPORT},
    {WSAEPFNOSUPPORT, EAFNOSUPPORT},
    {WSAEPROTONOSUPPORT, EPROTONOSUPPORT},
    {WSAECONNREFUSED, ECONNREFUSED},
    {WSAECONNRESET, ECONNRESET},
    {WSAECONNABORTED, ECONNABORTED},
    {WSAENOTCONN, ENOTCONN},
    {WSAETIMEDOUT, ETIMEDOUT},
    {WSAENETUNREACH, ENETUNREACH},
    {WSAEHOSTUNREACH, EHOSTUNREACH},
    {WSAENOTSOCK, ENOTSOCK},
};

class Category : public std::error_category {
public:
    const char* name() const noexcept override { return "windows"; }
    std::string message(int code) const override { return SystemText(static_cast<DWORD>(code)); }
    std::error_condition default_error_condition(int code) const noexcept override {
        return {ErrnoOf(static_cast<DWORD>(code)), std::generic_category()};
    }
};

}  // namespace

const std::error_category& WindowsCategory() {
    static const Category category;
    return category;
}

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int size = static_cast<int>(utf16.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

namespace {

// One argument as the C runtime of the started program splits it again: quoted when it holds
// a blank or a quote or is empty, with the backslashes before a quote doubled.
void AppendArgument(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

}  // namespace

std::wstring CommandLine(const std::vector<std::string>& args) {
    std::wstring line;
    for (const std::string& arg : args) {
        if (!line.empty()) line += L' ';
        AppendArgument(line, Wide(arg));
    }
    return line;
}

std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    // Inserts ignored: some texts carry a %1 for a name the caller would have to supply.
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) return "Windows error " + std::to_string(code);
    std::wstring text(buffer, length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return Utf8(text);
}

int ErrnoOf(DWORD code) {
    for (const ErrnoPair& pair : kErrnoOf)
        if (pair.code == code) return pair.error;
    return EIO;
}

FileStatus Failure(DWORD code, std::string operation, const std::string& path) {
    return FileStatus(ErrnoOf(code), std::move(operation), path, SystemText(code));
}

void ThrowError(DWORD code, const std::string& context) {
    throw std::system_error(static_cast<int>(code), WindowsCategory(), context);
}

void ThrowLastError(const std::string& context) { ThrowError(::GetLastError(), context); }

void ThrowSocketError(const std::string& context) {
    ThrowError(static_cast<DWORD>(::WSAGetLastError()), context);
}

}  // namespace platform::win32
