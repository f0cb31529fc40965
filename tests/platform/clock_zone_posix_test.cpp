// A Linux process follows a change of its own zone (TZ) at once; so do the day's offsets
// around a past summer time. (A Windows process has the system's zone only.)
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "support/scoped_env.h"

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

}  // namespace
