#include "platform/private_files.h"
#include "platform/win32.h"
// After <windows.h>.
#include <aclapi.h>

#include <vector>

namespace platform {
namespace {

// The SID of the account this process runs as; empty when it cannot be read.
std::vector<BYTE> ProcessUserSid(DWORD& error) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        error = ::GetLastError();
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    const bool read = size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    error = read ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(token);
    if (!read) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const BYTE* first = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(first, first + ::GetLengthSid(sid));
}

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    std::vector<BYTE> sid(size);
    if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    sid.resize(size);
    return sid;
}

EXPLICIT_ACCESS_W FullControl(std::vector<BYTE>& sid) {
    EXPLICIT_ACCESS_W access{};
    access.grfAccessPermissions = FILE_ALL_ACCESS;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid.data());
    return access;
}

}  // namespace

PrivateFiles::PrivateFiles() = default;

PrivateFiles::~PrivateFiles() = default;

namespace win32 {

LocalAcl PrivateFileAcl(DWORD& error) {
    error = ERROR_SUCCESS;
    std::vector<BYTE> sids[] = {ProcessUserSid(error), WellKnownSid(WinLocalSystemSid),
                                WellKnownSid(WinBuiltinAdministratorsSid)};
    for (const std::vector<BYTE>& sid : sids) {
        if (sid.empty()) {
            if (error == ERROR_SUCCESS) error = ERROR_INVALID_SID;
            return nullptr;
        }
    }
    EXPLICIT_ACCESS_W entries[] = {FullControl(sids[0]), FullControl(sids[1]), FullControl(sids[2])};
    PACL acl = nullptr;
    error = ::SetEntriesInAclW(static_cast<ULONG>(std::size(entries)), entries, nullptr, &acl);
    return LocalAcl(error == ERROR_SUCCESS ? acl : nullptr);
}

}  // namespace win32

FileStatus KeepPrivate(const std::string& path) {
    DWORD error = ERROR_SUCCESS;
    const win32::LocalAcl acl = win32::PrivateFileAcl(error);
    if (!acl) return win32::Failure(error, "build the permissions of", path);
    std::wstring wide = win32::Wide(path);
    // Protected: the folder's inheritable entries no longer reach the file.
    error = ::SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, acl.get(), nullptr);
    if (error != ERROR_SUCCESS) return win32::Failure(error, "set the permissions of", path);
    return {};
}

}  // namespace platform
