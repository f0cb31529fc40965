// The file operations that report their reason.
#include <gtest/gtest.h>

#include <system_error>

#include "platform/file_operations.h"
#include "platform/file_system.h"
#include "support/temp_folder.h"

namespace {

TEST(FileOperations, CreateNewFileNeverReplacesAFile) {
    qvtest::TempFolder folder;
    const std::string path = folder / "doc.pdf";
    EXPECT_TRUE(platform::CreateNewFile(path, "first"));
    EXPECT_FALSE(platform::CreateNewFile(path, "second"));
    EXPECT_EQ(platform::ReadFile(path), "first");
    platform::CreateDirectories(folder / "sub");
    EXPECT_FALSE(platform::CreateNewFile(folder / "sub", "x"));
}

TEST(FileOperations, FailuresCarryTheReasonAndThePath) {
    qvtest::TempFolder folder;
    auto expect_error = [&](auto operation, const std::string& path, std::errc error) {
        try {
            operation();
            ADD_FAILURE() << path;
        } catch (const std::system_error& e) {
            EXPECT_EQ(e.code(), error) << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    };
    const std::string missing = folder / "none/doc.pdf";
    expect_error([&] { platform::CreateNewFile(missing, "x"); }, missing,
                 std::errc::no_such_file_or_directory);
    expect_error([&] { platform::RemoveFile(missing); }, missing,
                 std::errc::no_such_file_or_directory);
    ASSERT_TRUE(platform::WriteFile(folder / "file", "x"));
    const std::string below_file = folder / "file/sub";
    expect_error([&] { platform::CreateDirectories(below_file); }, below_file,
                 std::errc::not_a_directory);
}

TEST(FileOperations, FolderTreesComeAndGoWhole) {
    qvtest::TempFolder folder;
    const std::string tree = folder / "a/b/c";
    platform::CreateDirectories(tree);
    platform::CreateDirectories(tree);  // already there
    ASSERT_TRUE(platform::WriteFile(tree + "/file", "x"));
    platform::RemoveDirectoryTree(folder / "a");
    EXPECT_FALSE(platform::DirectoryExists(folder / "a"));
    platform::RemoveDirectoryTree(folder / "a");  // already gone
}

}  // namespace
