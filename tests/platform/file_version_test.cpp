#include "platform/file_version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace {

uint32_t LittleEndian(const std::string& bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width && at + i < bytes.size(); ++i)
        value |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

// Where a PE file's resource section lies in the file: [begin, end); nothing when it has none.
std::pair<size_t, size_t> ResourceSection(const std::string& binary) {
    const size_t pe = LittleEndian(binary, 0x3C, 4);
    const size_t sections = LittleEndian(binary, pe + 6, 2);
    const size_t table = pe + 24 + LittleEndian(binary, pe + 20, 2);
    for (size_t i = 0; i < sections; ++i) {
        const size_t header = table + 40 * i;
        if (binary.compare(header, 6, ".rsrc\0", 6) != 0) continue;
        const size_t begin = LittleEndian(binary, header + 20, 4);
        return {begin, begin + LittleEndian(binary, header + 16, 4)};
    }
    return {0, 0};
}

// The bytes that mark the version record in our binaries: the ELF note's name, or the
// signature of the VERSIONINFO resource's fixed part. Spoiling them leaves a file without a
// version that is otherwise the same binary.
std::string Spoiled(std::string binary) {
    size_t at = std::string::npos;
    if (binary.starts_with("MZ")) {
        // Looked for in the resource section only: code and debug information may hold the
        // signature's value too.
        const auto [begin, end] = ResourceSection(binary);
        at = binary.find("\xBD\x04\xEF\xFE", begin);
        if (at >= end) at = std::string::npos;
    } else {
        at = binary.find(std::string("Quorvex\0", 8));
    }
    if (at == std::string::npos) {
        ADD_FAILURE() << "no version record found";
        return binary;
    }
    binary[at] = 'X';
    return binary;
}

TEST(FileVersion, ReadsTheStampedNote) {
    auto version = platform::ReadFileVersion(platform::ExecutablePath());
    ASSERT_TRUE(version.has_value());
    platform::FileVersion expected{QV_VERSION_MAJOR, QV_VERSION_MINOR, QV_VERSION_PATCH,
                                   QV_VERSION_TWEAK};
    EXPECT_EQ(*version, expected);
}

TEST(FileVersion, NothingForFilesWithoutTheNote) {
    qvtest::TempFolder dir;
    platform::WriteFile(dir / "text.so", "not an ELF file");
    platform::WriteFile(dir / "truncated.so", std::string("\x7F"
                                                          "ELF\x02\x01\x01",
                                                          7));
    auto self = platform::ReadFile(platform::ExecutablePath());
    ASSERT_TRUE(self.has_value());
    // The same binary with its version record spoiled no longer carries a version.
    platform::WriteFile(dir / "spoiled.so", Spoiled(*self));

    for (const char* name : {"missing.so", "text.so", "truncated.so", "spoiled.so"}) {
        EXPECT_FALSE(platform::ReadFileVersion(dir / name).has_value()) << name;
    }
    // A program built without the stamp.
    EXPECT_FALSE(platform::ReadFileVersion(qvtest::BuildDir() + QV_PLATFORM_HELPER).has_value());
}

// A library (a copy of this binary) and the same bytes with the note spoiled, one byte longer
// so that an in-place rewrite changes the file's size whatever the file clock's resolution.
class FileVersionCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        stamped_ = platform::ReadFile(platform::ExecutablePath()).value_or("");
        spoiled_ = Spoiled(stamped_) + '\0';
        ASSERT_TRUE(platform::WriteFile(path_, stamped_));
    }
    // Replaces the library by a new file (as an installer does) or rewrites it in place.
    void Replace(const std::string& bytes) {
        ASSERT_TRUE(platform::WriteFile(dir_ / "new.so", bytes));
        std::filesystem::rename(dir_ / "new.so", path_);
    }
    void Rewrite(const std::string& bytes) { ASSERT_TRUE(platform::WriteFile(path_, bytes)); }

    const platform::FileVersion expected_{QV_VERSION_MAJOR, QV_VERSION_MINOR, QV_VERSION_PATCH,
                                          QV_VERSION_TWEAK};
    qvtest::TempFolder dir_;
    const std::string path_ = dir_ / "clisitef.dll";
    std::string stamped_, spoiled_;
};

TEST_F(FileVersionCacheTest, AChangedFileIsReadAgainOnceLookedAt) {
    // No settle time, so every answer is remembered and only the file's identity tells.
    platform::FileVersionCache cache(std::chrono::milliseconds(0), std::chrono::seconds(0));
    EXPECT_EQ(cache.Get(path_), expected_);
    Replace(spoiled_);
    EXPECT_FALSE(cache.Get(path_).has_value()) << "replaced by another file";
    Rewrite(stamped_);
    EXPECT_EQ(cache.Get(path_), expected_) << "rewritten in place";
    ASSERT_TRUE(platform::DeleteFile(path_));
    EXPECT_FALSE(cache.Get(path_).has_value()) << "removed";
}

TEST_F(FileVersionCacheTest, AnAnswerIsKeptUntilTheFileIsLookedAtAgain) {
    platform::FileVersionCache cache(std::chrono::hours(1), std::chrono::seconds(0));
    EXPECT_EQ(cache.Get(path_), expected_);
    Replace(spoiled_);
    EXPECT_EQ(cache.Get(path_), expected_);
    EXPECT_FALSE(cache.Get(dir_ / "other.so").has_value()) << "another path is its own entry";
}

TEST_F(FileVersionCacheTest, AFileJustChangedIsNotRemembered) {
    // The library was written a moment ago: within the settle time it is read every time.
    platform::FileVersionCache cache(std::chrono::hours(1), std::chrono::seconds(3600));
    EXPECT_EQ(cache.Get(path_), expected_);
    Rewrite(spoiled_);
    EXPECT_FALSE(cache.Get(path_).has_value());
}

}  // namespace
