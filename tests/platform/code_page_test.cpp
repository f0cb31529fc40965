#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* utf8;
    const char* cp1252;
};

TEST(CodePage, ConvertsBothWays) {
    const Case cases[] = {
        {"plain", "plain"},
        {"Sessão inválida.", "Sess\xE3o inv\xE1lida."},
        {"€ “quoted” – ™", "\x80 \x93quoted\x94 \x96 \x99"},
        {"Ç É ü ÿ", "\xC7 \xC9 \xFC \xFF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::Utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
        EXPECT_EQ(platform::Cp1252ToUtf8(c.cp1252), c.utf8) << c.utf8;
    }
}

TEST(CodePage, CharactersOutsideBecomeQuestionMarks) {
    EXPECT_EQ(platform::Utf8ToCp1252("a\xE4\xB8\xAD b \xF0\x9F\x98\x80"), "a? b ?");
    EXPECT_EQ(platform::Utf8ToCp1252("bad \xC3 end"), "bad ? end");
}

TEST(CodePage, UndefinedBytesRoundTrip) {
    const std::string bytes = "\x81\x8D\x8F\x90\x9D";
    EXPECT_EQ(platform::Utf8ToCp1252(platform::Cp1252ToUtf8(bytes)), bytes);
}

TEST(CodePage, SanitizeReplacesMalformedSequences) {
    EXPECT_EQ(platform::SanitizeUtf8("ok ã"), "ok ã");
    EXPECT_EQ(platform::SanitizeUtf8("a\xFF"
                                     "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(platform::SanitizeUtf8("\xE0\x80\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(platform::SanitizeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(platform::SanitizeUtf8("cut \xE3\x81"), "cut \xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(CodePage, SanitizeInPlaceFindsFaultsAnywhereInLongText) {
    // ASCII is skipped eight bytes at a time: a fault must be found at every position of
    // such a block, after it and at the very end, and well-formed text must stay as it is.
    const std::string replacement = "\xEF\xBF\xBD";
    for (size_t at = 0; at <= 24; ++at) {
        std::string text = std::string(at, 'a') + "\xC3" + std::string(9, 'b');
        platform::SanitizeUtf8InPlace(text);
        EXPECT_EQ(text, std::string(at, 'a') + replacement + std::string(9, 'b')) << at;

        std::string valid = std::string(at, 'a') + "\xC3\xA7\xEF\xBF\xBD" + std::string(at, 'c');
        const std::string before = valid;
        platform::SanitizeUtf8InPlace(valid);
        EXPECT_EQ(valid, before) << at;
    }
    std::string cut = std::string(16, 'x') + "\xF0\x9F\x98";
    platform::SanitizeUtf8InPlace(cut);
    EXPECT_EQ(cut, std::string(16, 'x') + replacement + replacement + replacement);
}

}  // namespace
