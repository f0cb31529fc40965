// A private file on Windows: permissions of its own instead of its folder's (the application
// folder, which every user of the machine may read).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/private_files.h"
#include "platform/win32.h"
// After <windows.h>.
#include <aclapi.h>
#include <sddl.h>

#include "support/temp_folder.h"

namespace {

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(sid, &text)) return "?";
    std::string result = text;
    ::LocalFree(text);
    return result;
}

std::string ProcessUser() {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    ::CloseHandle(token);
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// "<sid> allowed <mask>" for each entry, sorted.
std::vector<std::string> Entries(const ACL* acl) {
    std::vector<std::string> entries;
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        ::GetAce(const_cast<ACL*>(acl), i, &ace);
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            entries.push_back("type " + std::to_string(header->AceType));
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        entries.push_back(SidText(&allowed->SidStart) + " allowed " + std::to_string(allowed->Mask));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Full control for the account running the test, the system account (S-1-5-18, which the
// service runs as) and the administrators (S-1-5-32-544).
std::vector<std::string> Expected() {
    std::vector<std::string> expected;
    for (const std::string& sid : {ProcessUser(), std::string("S-1-5-18"), std::string("S-1-5-32-544")})
        expected.push_back(sid + " allowed " + std::to_string(FILE_ALL_ACCESS));
    std::sort(expected.begin(), expected.end());
    return expected;
}

TEST(PrivateFiles, ThePermissionsAreForTheUserTheSystemAndAdministratorsAlone) {
    DWORD error = 0;
    const platform::win32::LocalAcl acl = platform::win32::PrivateFileAcl(error);
    ASSERT_TRUE(acl) << error;
    EXPECT_EQ(Entries(acl.get()), Expected());

    qvtest::TempFolder folder;
    const platform::FileStatus missing = platform::KeepPrivate(folder / "missing.pem");
    EXPECT_EQ(missing.Error(), ENOENT);
    EXPECT_EQ(missing.Path(), folder / "missing.pem");
}

// Windows only: Wine keeps no Windows permissions on files (scripts/test-windows.sh).
TEST(PrivateFiles, AFileKeptPrivateHasThosePermissionsAndNotItsFolders) {
    qvtest::TempFolder folder;
    const std::string key = folder / "server_key.pem";
    const std::string certificate = folder / "ca_cert.pem";
    ASSERT_TRUE(platform::WriteFile(key, "secret"));
    ASSERT_TRUE(platform::WriteFile(certificate, "public"));
    ASSERT_TRUE(platform::KeepPrivate(key));

    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetNamedSecurityInfoW(platform::win32::Wide(key).c_str(), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                      &descriptor),
              DWORD{ERROR_SUCCESS});
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    EXPECT_NE(control & SE_DACL_PROTECTED, 0);
    EXPECT_EQ(Entries(dacl), Expected());
    ::LocalFree(descriptor);

    // The file beside it keeps what it inherits from the folder.
    ASSERT_EQ(::GetNamedSecurityInfoW(platform::win32::Wide(certificate).c_str(), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                      &descriptor),
              DWORD{ERROR_SUCCESS});
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    EXPECT_EQ(control & SE_DACL_PROTECTED, 0);
    ::LocalFree(descriptor);
}

}  // namespace
