#include "platform/environment.h"
#include "platform/win32.h"

namespace platform {

// Through the W functions: the C runtime's copy of the environment holds the texts in the
// ANSI code page, which loses a folder named Março-2026 on most systems.
std::string EnvText(const char* name) {
    const std::wstring wide_name = win32::Wide(name);
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD n = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                                  static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) return win32::Utf8(std::wstring_view(value.data(), n));
        value.resize(n);
    }
}

bool EnvIsSet(const char* name) {
    ::SetLastError(ERROR_SUCCESS);
    wchar_t probe[1];
    return ::GetEnvironmentVariableW(win32::Wide(name).c_str(), probe, 1) != 0 ||
           ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

void SetEnvText(const char* name, const std::string& value) {
    ::SetEnvironmentVariableW(win32::Wide(name).c_str(), win32::Wide(value).c_str());
}

void UnsetEnv(const char* name) { ::SetEnvironmentVariableW(win32::Wide(name).c_str(), nullptr); }

}  // namespace platform
