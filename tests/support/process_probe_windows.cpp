#include <windows.h>

#include "support/process_probe.h"

namespace qvtest {

bool ProcessGone(platform::ProcessId pid) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return true;
    const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

// Asked of the system once: a read-only file that opens for writing (Wine run as root does
// this; Windows itself does not).
bool IgnoresFilePermissions() {
    static const bool ignores = [] {
        wchar_t folder[MAX_PATH + 1];
        wchar_t path[MAX_PATH + 1];
        if (::GetTempPathW(MAX_PATH + 1, folder) == 0 ||
            ::GetTempFileNameW(folder, L"qvp", 0, path) == 0)
            return false;
        ::SetFileAttributesW(path, FILE_ATTRIBUTE_READONLY);
        HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool opened = file != INVALID_HANDLE_VALUE;
        if (opened) ::CloseHandle(file);
        ::SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path);
        return opened;
    }();
    return ignores;
}

}  // namespace qvtest
