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

bool IgnoresFilePermissions() { return false; }

}  // namespace qvtest
