#include "platform/clock.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <optional>

#include "platform/test_clock.h"
#include "support/scoped_env.h"

namespace {

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "America/Sao_Paulo", 1);
        ::tzset();
    }
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

TEST_F(ClockTest, UtcOffsetFollowsTheZone) {
    EXPECT_EQ(platform::UtcOffsetSecondsAt({2025, 6, 1, 12, 0, 0, 0}), -3 * 3600);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(platform::UtcOffsetSecondsAt({2025, 6, 1, 12, 0, 0, 0}), 0);
}

TEST_F(ClockTest, LocalToUtcSubtractsTheOffsetInEffectThen) {
    using platform::LocalDateTime;
    // Brasília: UTC-3 now; UTC-2 during the summer time of 2018/2019.
    EXPECT_EQ(platform::LocalToUtc({2024, 5, 10, 14, 30, 0, 0}),
              (LocalDateTime{2024, 5, 10, 17, 30, 0, 0}));
    EXPECT_EQ(platform::LocalToUtc({2025, 12, 31, 22, 59, 59, 999}),
              (LocalDateTime{2026, 1, 1, 1, 59, 59, 999}));
    EXPECT_EQ(platform::LocalToUtc({2019, 1, 15, 12, 0, 0, 5}),
              (LocalDateTime{2019, 1, 15, 14, 0, 0, 5}));
    qvtest::ScopedEnv tokyo("TZ", "Asia/Tokyo");
    EXPECT_EQ(platform::LocalToUtc({2024, 3, 1, 8, 0, 0, 0}),
              (LocalDateTime{2024, 2, 29, 23, 0, 0, 0}));
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
