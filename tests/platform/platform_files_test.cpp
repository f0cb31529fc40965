// File operations: the reasons they report, durable replacement and appends that never leave
// part of a write behind. A file-size limit (RLIMIT_FSIZE) makes the kernel cut writes short
// for real, the way a full disk does, whatever the user running the tests.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/append_file.h"
#include "platform/file_system.h"
#include "support/file_faults.h"
#include "support/temp_folder.h"

namespace {

using qvtest::FileSizeLimit;

TEST(FileOperations, CreateNewFileNeverReplacesAFile) {
    qvtest::TempFolder folder;
    const std::string path = folder / "doc.pdf";
    EXPECT_TRUE(platform::CreateNewFile(path, "first"));
    EXPECT_EQ(platform::CreateNewFile(path, "second").Error(), EEXIST);
    EXPECT_EQ(platform::ReadFile(path).value_or("<unreadable>"), "first");
    ASSERT_TRUE(platform::ForceDirectories(folder / "sub"));
    EXPECT_EQ(platform::CreateNewFile(folder / "sub", "x").Error(), EEXIST);
}

TEST(FileOperations, FailuresCarryTheReasonAndThePath) {
    qvtest::TempFolder folder;
    ASSERT_TRUE(platform::WriteFile(folder / "file", "x"));
    const std::string missing = folder / "none/doc.pdf";
    const std::string below_file = folder / "file/sub";
    struct Case {
        platform::FileStatus status;
        std::string path;
        int error;
    } cases[] = {
        {platform::CreateNewFile(missing, "x"), missing, ENOENT},
        {platform::WriteFile(missing, "x"), missing, ENOENT},
        {platform::WriteFile(missing, "x", true), missing + ".tmp", ENOENT},
        {platform::DeleteFile(missing), missing, ENOENT},
        {platform::ReadFile(missing).Status(), missing, ENOENT},
        {platform::AppendToFile(missing, "x"), missing, ENOENT},
        {platform::ForceDirectories(below_file), below_file, ENOTDIR},
        {platform::CreateDir(below_file), below_file, ENOTDIR},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.status) << c.path;
        EXPECT_EQ(c.status.Error(), c.error) << c.status.Message();
        EXPECT_EQ(c.status.Path(), c.path);
        EXPECT_EQ(c.status.Message(),
                  c.status.Operation() + " " + c.path + ": " + std::strerror(c.error));
    }
    try {
        platform::DeleteFile(missing).ThrowIfFailed();
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_NO_THROW(platform::WriteFile(folder / "file", "y").ThrowIfFailed());
}

TEST(FileOperations, FolderTreesComeAndGoWhole) {
    qvtest::TempFolder folder;
    const std::string tree = folder / "a/b/c";
    EXPECT_TRUE(platform::ForceDirectories(tree));
    EXPECT_TRUE(platform::ForceDirectories(tree));  // already there
    EXPECT_TRUE(platform::CreateDir(tree));
    ASSERT_TRUE(platform::WriteFile(tree + "/file", "x"));
    EXPECT_TRUE(platform::RemoveTree(folder / "a"));
    EXPECT_FALSE(platform::DirectoryExists(folder / "a"));
    EXPECT_TRUE(platform::RemoveTree(folder / "a"));  // already gone
}

TEST(FileOperations, ADurableReplacementIsWholeOrNothing) {
    qvtest::TempFolder folder;
    const std::string path = folder / "KaCliSiTef_CliSiTef_001.tef";
    ASSERT_TRUE(platform::WriteFile(path, "899-100 = CRT\r\n"));
    ::chmod(path.c_str(), 0640);
    // A temporary file left by a write that never finished is simply written over.
    ASSERT_TRUE(platform::WriteFile(path + ".tmp", "899-1"));

    ASSERT_TRUE(platform::WriteFile(path, "899-100 = CNC\r\n899-101 = 7\r\n", true));
    EXPECT_EQ(platform::ReadFile(path).value_or(""), "899-100 = CNC\r\n899-101 = 7\r\n");
    EXPECT_FALSE(platform::FileExists(path + ".tmp"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the replacement keeps the file's permissions";

    // Cut short by the disk: the old file stays as it was, and no temporary file is left.
    platform::FileStatus failed;
    {
        FileSizeLimit limit(20);
        failed = platform::WriteFile(path, std::string(100, 'x'), true);
    }
    EXPECT_EQ(failed.Error(), EFBIG) << failed.Message();
    EXPECT_EQ(failed.Path(), path + ".tmp");
    EXPECT_EQ(platform::ReadFile(path).value_or(""), "899-100 = CNC\r\n899-101 = 7\r\n");
    EXPECT_TRUE(platform::ListFiles(folder.path(), "*.tmp").empty());
}

TEST(FileOperations, AnAppendThatOnlyPartlyFitsIsTakenBack) {
    qvtest::TempFolder folder;
    const std::string path = folder / "trace.log";
    platform::AppendFile file;
    ASSERT_TRUE(file.Append(path, std::string(30, 'a') + "\r\n"));
    platform::FileStatus cut, whole;
    {
        FileSizeLimit limit(50);
        cut = file.Append(path, std::string(40, 'b') + "\r\n");
        whole = file.Append(path, std::string(10, 'c') + "\r\n");
    }
    EXPECT_EQ(cut.Error(), EFBIG) << cut.Message();
    EXPECT_EQ(cut.Path(), path);
    EXPECT_TRUE(whole) << whole.Message();
    EXPECT_EQ(platform::ReadFile(path).value_or(""),
              std::string(30, 'a') + "\r\n" + std::string(10, 'c') + "\r\n");
}

}  // namespace
