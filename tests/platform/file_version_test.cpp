#include "platform/file_version.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace {

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
    // The same binary with the note's name spoiled no longer carries a version.
    std::string spoiled = *self;
    size_t at = spoiled.find(std::string("Quorvex\0", 8));
    ASSERT_NE(at, std::string::npos);
    spoiled[at] = 'X';
    platform::WriteFile(dir / "spoiled.so", spoiled);

    for (const char* name : {"missing.so", "text.so", "truncated.so", "spoiled.so"}) {
        EXPECT_FALSE(platform::ReadFileVersion(dir / name).has_value()) << name;
    }
    EXPECT_FALSE(platform::ReadFileVersion("/bin/true").has_value());
}

}  // namespace
