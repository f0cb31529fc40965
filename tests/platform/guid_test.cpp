#include "platform/guid.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(Guid, CanonicalUpperCaseVersion4AndFresh) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string guid = platform::NewGuid();
        ASSERT_EQ(guid.size(), 36u) << guid;
        for (size_t k = 0; k < guid.size(); ++k) {
            const bool hyphen = k == 8 || k == 13 || k == 18 || k == 23;
            EXPECT_EQ(guid[k] == '-', hyphen) << guid;
            if (!hyphen) {
                EXPECT_TRUE(std::isxdigit(guid[k]) && !std::islower(guid[k])) << guid;
            }
        }
        EXPECT_EQ(guid[14], '4') << guid;
        EXPECT_NE(std::string("89AB").find(guid[19]), std::string::npos) << guid;
        EXPECT_TRUE(seen.insert(guid).second) << guid;
    }
}

}  // namespace
