// File operations: the reasons they report, durable replacement and appends that never leave
// part of a write behind, folders with names beyond ASCII. A FileCap makes the system cut
// writes short for real, the way a full disk does (support/file_cap.h).
#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

#include "platform/append_file.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/file_cap.h"
#include "support/temp_folder.h"

namespace {

using qvtest::FileCap;

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
        EXPECT_FALSE(c.status.Reason().empty()) << c.path;
        EXPECT_EQ(c.status.Message(),
                  c.status.Operation() + " " + c.path + ": " + c.status.Reason());
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
    qvtest::CappedFolder folder;
    const std::string path = folder / "KaCliSiTef_CliSiTef_001.tef";
    ASSERT_TRUE(platform::WriteFile(path, "899-100 = CRT\r\n"));
    // A temporary file left by a write that never finished is simply written over.
    ASSERT_TRUE(platform::WriteFile(path + ".tmp", "899-1"));

    ASSERT_TRUE(platform::WriteFile(path, "899-100 = CNC\r\n899-101 = 7\r\n", true));
    EXPECT_EQ(platform::ReadFile(path).value_or(""), "899-100 = CNC\r\n899-101 = 7\r\n");
    EXPECT_FALSE(platform::FileExists(path + ".tmp"));

    // Cut short by the disk: the old file stays as it was, and no temporary file is left.
    platform::FileStatus failed;
    {
        FileCap cap(folder);
        failed = platform::WriteFile(path, std::string(2 * FileCap::kBytes, 'x'), true);
    }
    EXPECT_EQ(failed.Error(), FileCap::Error()) << failed.Message();
    EXPECT_EQ(failed.Path(), path + ".tmp");
    EXPECT_EQ(platform::ReadFile(path).value_or(""), "899-100 = CNC\r\n899-101 = 7\r\n");
    EXPECT_TRUE(platform::ListFiles(folder.path(), "*.tmp").empty());
}

TEST(FileOperations, AnAppendThatOnlyPartlyFitsIsTakenBack) {
    qvtest::CappedFolder folder;
    const std::string path = folder / "trace.log";
    const std::string first = std::string(30, 'a') + "\r\n";
    platform::AppendFile file;
    ASSERT_TRUE(file.Append(path, first));
    platform::FileStatus cut, whole;
    {
        FileCap cap(folder);
        // Longer than the room left, so only its beginning lands.
        cut = file.Append(path, std::string(FileCap::kBytes, 'b') + "\r\n");
        whole = file.Append(path, std::string(10, 'c') + "\r\n");
    }
    EXPECT_EQ(cut.Error(), FileCap::Error()) << cut.Message();
    EXPECT_EQ(cut.Path(), path);
    EXPECT_TRUE(whole) << whole.Message();
    EXPECT_EQ(platform::ReadFile(path).value_or(""), first + std::string(10, 'c') + "\r\n");
}

// Folder and file names are UTF-8 inside the service, whatever the system takes at its calls:
// the service log's month folders are named in Portuguese.
TEST(FileOperations, NamesBeyondAsciiWorkEverywhere) {
    qvtest::TempFolder folder;
    const std::string month = folder / "Log/Março-2026";
    const std::string log = month + "/QuorvexSiTefService 11-03-2026.log";
    ASSERT_TRUE(platform::ForceDirectories(month));
    EXPECT_TRUE(platform::DirectoryExists(month));
    ASSERT_TRUE(platform::AppendToFile(log, "ação\r\n"));
    ASSERT_TRUE(platform::WriteFile(month + "/Relatório.tef", "ç", true));
    EXPECT_EQ(platform::ReadFile(log).value_or(""), "ação\r\n");
    EXPECT_EQ(platform::ListFiles(month, "*.TEF"), std::vector<std::string>{"Relatório.tef"});
    EXPECT_EQ(platform::ListFiles(month, "quorvex*"),
              std::vector<std::string>{"QuorvexSiTefService 11-03-2026.log"});
    EXPECT_TRUE(platform::DeleteFile(month + "/Relatório.tef"));
    EXPECT_TRUE(platform::RemoveTree(folder / "Log"));
    EXPECT_FALSE(platform::DirectoryExists(month));
}

}  // namespace
