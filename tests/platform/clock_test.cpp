#include "platform/clock.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/process.h"
#include "platform/test_clock.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/text_lines.h"

namespace {

class ClockTest : public ::testing::Test {
protected:
    // Brasília; a Windows process cannot change its zone, and runs in Brasília (the tests'
    // runner starts Wine in it).
    qvtest::ScopedEnv zone_{"TZ", "America/Sao_Paulo"};
};

TEST_F(ClockTest, FormatsPatterns) {
    platform::LocalDateTime t{2025, 3, 7, 9, 5, 4, 42};
    struct Case {
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"dd/mm/yyyy hh:nn:ss", "07/03/2025 09:05:04"},
        {"dd/mm hh:nn:ss:zzz", "07/03 09:05:04:042"},
        {"mmmmm-yyyy", "março-2025"},
        {"mm-yyyy", "03-2025"},
        {"dd-mm-yyyy", "07-03-2025"},
        {"YYYYMMDD", "20250307"},
        {"HHNNSS", "090504"},
        {"hh:mm", "09:05"},
        {"d/m/yy", "7/3/25"},
        {"\"at\" hh", "at 09"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::FormatDateTime(c.pattern, t), c.expected);
}

TEST_F(ClockTest, DayCountRoundTrips) {
    platform::LocalDateTime t{2025, 12, 25, 10, 30, 0, 0};
    EXPECT_DOUBLE_EQ(platform::ToDateTime({1899, 12, 30}), 0.0);
    EXPECT_DOUBLE_EQ(platform::ToDateTime({1900, 1, 1}), 2.0);
    EXPECT_EQ(platform::FromDateTime(platform::ToDateTime(t)), t);
}

// The offsets a process started in Brasília's zone computes: on Linux from TZ, on Windows
// from the system's zone, which Wine takes from the TZ it was started with (the Windows test
// run starts it so). Other zones are a Linux test (clock_zone_posix_test.cpp): under Wine a
// process cannot have a zone of its own.
int64_t HelperOffset(const std::string& local) {
    qvtest::TempFolder folder;
    const std::string out = folder / "offsets.txt";
    platform::Process helper =
        platform::Process::Start({qvtest::BuildDir() + QV_PLATFORM_HELPER, "offsets", out, local});
    int exit_code = -1;
    EXPECT_EQ(helper.Wait(std::chrono::seconds(30), exit_code),
              platform::Process::WaitResult::kEnded);
    EXPECT_EQ(exit_code, 0) << local;
    const std::vector<std::string> lines = qvtest::ReadLines(out);
    return lines.size() == 1 ? std::stoll(lines[0]) : -1;
}

TEST(Zone, TheOffsetInEffectAtALocalTimeInTheZoneTheProcessStartedIn) {
    qvtest::ScopedEnv zone("TZ", "America/Sao_Paulo");
    EXPECT_EQ(HelperOffset("2025-6-1-12-0"), -3 * 3600);
    EXPECT_EQ(HelperOffset("2025-12-24-23-30"), -3 * 3600);
}

TEST_F(ClockTest, TheTestClockReadsALocalMomentOrNothing) {
    struct Case {
        const char* text;
        std::optional<platform::LocalDateTime> moment;
    } cases[] = {
        {"2025-11-26 23:59:59", platform::LocalDateTime{2025, 11, 26, 23, 59, 59}},
        {"2025-11-27 00:00:07\r\n", platform::LocalDateTime{2025, 11, 27, 0, 0, 7}},
        {"2024-02-29 12:00:00 ", platform::LocalDateTime{2024, 2, 29, 12, 0, 0}},
        {"2025-02-29 12:00:00", std::nullopt},  // no such day
        {"2025-11-26 24:00:00", std::nullopt},
        {"2025-11-26T10:00:00", std::nullopt},
        {"2025-11-26 10:00", std::nullopt},
        {"26/11/2025 10:00:00", std::nullopt},
        {"2025-1a-26 10:00:00", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto parsed = platform::ParseClockText(c.text);
        ASSERT_EQ(parsed.has_value(), c.moment.has_value()) << c.text;
        if (parsed) {
            EXPECT_EQ(platform::ToLocal(*parsed), *c.moment) << c.text;
        }
    }
}

}  // namespace
