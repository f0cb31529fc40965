#include "requests/version_text.h"

#include <gtest/gtest.h>

namespace requests {
namespace {

TEST(VersionText, ParsesFreeText) {
    struct Case {
        const char* text;
        platform::FileVersion expected;
    } cases[] = {
        {"1.0.0.25", {1, 0, 0, 25}},
        {"1.0.0.30 (beta)", {1, 0, 0, 30}},
        {"v2-3_4 build 5", {2, 3, 4, 5}},
        {"1.0.0.65561", {1, 0, 0, 25}},
        {"1.2", {1, 2, 0, 0}},
        {"", {0, 0, 0, 0}},
        {"Versão não encontrada", {0, 0, 0, 0}},
        {"1.99999999999.3.4", {1, 0, 3, 4}},
        {"1.2147483647.3.4", {1, 0xFFFF, 3, 4}},
        {"1.2147483648.3.4", {1, 0, 3, 4}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseVersionText(c.text), c.expected) << c.text;
    EXPECT_EQ(FormatVersion({1, 0, 65535, 25}), "1.0.65535.25");
}

TEST(VersionText, AnnouncedIsNewerOnlyByItsFourthNumber) {
    struct Case {
        const char* installed;
        const char* announced;
        bool newer;
    } cases[] = {
        {"1.0.0.24", "1.0.0.25", true},      {"1.0.0.24", "1.1.0.0", false},
        {"1.0.0.24", "2.0.0.24", false},     {"2.0.0.5", "1.9.9.9", false},
        {kVersionNotFound, "0.0.0.1", true}, {"1.0.0.24", "1.0.0.30 (beta)", true},
        {"1.0.0.24", "1.0.0.65561", true},   {"1.0.0.26", "1.0.0.65561", false},
        {"1.5.0.1", "1.0.0.2", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNewerVersion(ParseVersionText(c.announced), ParseVersionText(c.installed)),
                  c.newer)
            << c.installed << " vs " << c.announced;
    }
}

}  // namespace
}  // namespace requests
