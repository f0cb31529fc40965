// A Linux process follows a change of its own zone (TZ) at once; so do the day's offsets
// around a past summer time. (A Windows process has the system's zone only.)
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/process.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/text_lines.h"

namespace {

class OwnZone : public ::testing::Test {
protected:
    qvtest::ScopedEnv zone_{"TZ", "America/Sao_Paulo"};
};

TEST_F(OwnZone, UtcOffsetFollowsTheZone) {
    EXPECT_EQ(platform::UtcOffsetSecondsAt({2025, 6, 1, 12, 0, 0, 0}), -3 * 3600);
    zone_.Set("TZ", "UTC");
    EXPECT_EQ(platform::UtcOffsetSecondsAt({2025, 6, 1, 12, 0, 0, 0}), 0);
}

TEST_F(OwnZone, LocalToUtcSubtractsTheOffsetInEffectThen) {
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

// The zone a process runs in is the one it starts in: each case runs the helper program in
// its zone.
TEST(Zone, TheOffsetInEffectAtALocalTime) {
    struct Case {
        const char* zone;
        const char* local;  // y-m-d-h-n
        int64_t offset;
    } cases[] = {
        {"America/Sao_Paulo", "2025-6-1-12-0", -3 * 3600},
        {"UTC", "2025-6-1-12-0", 0},
        {"Asia/Tokyo", "2024-3-1-8-0", 9 * 3600},
        // Summer and winter, and the rules of 2006 against those of 2007 on.
        {"America/New_York", "2025-7-1-12-0", -4 * 3600},
        {"America/New_York", "2025-1-15-12-0", -5 * 3600},
        {"America/New_York", "2006-3-20-12-0", -5 * 3600},
        {"America/New_York", "2007-3-20-12-0", -4 * 3600},
    };
    qvtest::TempFolder folder;
    for (const Case& c : cases) {
        qvtest::ScopedEnv zone("TZ", c.zone);
        const std::string out = folder / "offsets.txt";
        platform::Process helper = platform::Process::Start(
            {qvtest::BuildDir() + QV_PLATFORM_HELPER, "offsets", out, c.local});
        int exit_code = -1;
        ASSERT_EQ(helper.Wait(std::chrono::seconds(30), exit_code),
                  platform::Process::WaitResult::kEnded);
        ASSERT_EQ(exit_code, 0) << c.zone;
        EXPECT_EQ(qvtest::ReadLines(out), std::vector<std::string>{std::to_string(c.offset)})
            << c.zone << " " << c.local;
    }
}

}  // namespace
