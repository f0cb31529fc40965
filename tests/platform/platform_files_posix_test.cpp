// File behaviour only Linux has: permission bits, and the C library's words for a failure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/file_system.h"
#include "support/temp_folder.h"

namespace {

TEST(FileOperations, ADurableReplacementKeepsThePermissions) {
    qvtest::TempFolder folder;
    const std::string path = folder / "KaCliSiTef_CliSiTef_001.tef";
    ASSERT_TRUE(platform::WriteFile(path, "899-100 = CRT\r\n"));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(platform::WriteFile(path, "899-100 = CNC\r\n", true));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(FileOperations, TheReasonIsTheSystemsText) {
    qvtest::TempFolder folder;
    const platform::FileStatus missing = platform::ReadFile(folder / "none/doc.pdf").Status();
    EXPECT_EQ(missing.Reason(), std::strerror(ENOENT));
}

}  // namespace
