#include "tef/trace_log.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "support/temp_folder.h"

namespace {

TEST(TraceLog, LineFormat) {
    platform::LocalDateTime when{2025, 3, 6, 9, 5, 4, 7};
    EXPECT_EQ(tef::TraceLine(when, "Opera\xE7\xE3o"), "-- 06/03 09:05:04:007 - Opera\xE7\xE3o\r\n");
}

TEST(TraceLog, AppendsAndNeverFails) {
    qvtest::TempFolder folder;
    tef::AppendTraceLine(folder / "trace.log", "um");
    tef::AppendTraceLine(folder / "trace.log", "dois");
    const std::string text = platform::ReadFile(folder / "trace.log").value_or("");
    EXPECT_EQ(text.size(), 2 * std::string("-- dd/mm hh:nn:ss:zzz - ").size() + 4 + 6);
    EXPECT_NE(text.find(" - um\r\n-- "), std::string::npos);
    EXPECT_TRUE(text.ends_with(" - dois\r\n"));
    // A folder that does not exist, or no file at all: nothing happens.
    EXPECT_NO_THROW(tef::AppendTraceLine(folder / "missing/trace.log", "tres"));
    EXPECT_FALSE(platform::DirectoryExists(folder / "missing"));
    EXPECT_NO_THROW(tef::AppendTraceLine("", "quatro"));
}

}  // namespace
