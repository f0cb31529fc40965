// Documents of print requests: Base64 decoding, the data-URL prefix and the temporary file.
#include "printing/print_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <system_error>

#include "platform/file_system.h"
#include "printing/base64.h"
#include "support/sample_pdf.h"
#include "support/temp_folder.h"

namespace {

using printing::Base64Error;
using printing::DecodeBase64;

// `text` cut into lines of `width` characters ended by `line_end`.
std::string Wrapped(const std::string& text, size_t width, const std::string& line_end) {
    std::string wrapped;
    for (size_t at = 0; at < text.size(); at += width) wrapped += text.substr(at, width) + line_end;
    return wrapped;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

TEST(Base64, DecodesWithOrWithoutPaddingAndSkipsLineBreaksAndBlanks) {
    struct Case {
        const char* text;
        std::string bytes;
    } cases[] = {
        {"", ""},
        {"TWFu", "Man"},
        {"TWE=", "Ma"},
        {"TWE", "Ma"},
        {"TQ==", "M"},
        {"TQ", "M"},
        {"TW\r\nFu", "Man"},
        {" T W E = ", "Ma"},
        {"TQ=\r\n=\r\n", "M"},
        {"+/+/", "\xFB\xFF\xBF"},
        {"AAEC\nAwQF", std::string("\0\1\2\3\4\5", 6)},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeBase64(c.text), c.bytes) << c.text;
}

TEST(Base64, LargeDocumentsSurviveEveryLineWrapping) {
    for (size_t size : {1u, 2u, 3u, 1000u, 65537u}) {
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        const std::string text = qvtest::Base64Encode(bytes);
        EXPECT_EQ(DecodeBase64(text), bytes) << size;
        EXPECT_EQ(DecodeBase64(Wrapped(text, 76, "\r\n")), bytes) << size;
        EXPECT_EQ(DecodeBase64(Wrapped(text, 63, "\n")), bytes) << size;
        EXPECT_EQ(DecodeBase64(Wrapped(text, 1, " ")), bytes) << size;
    }
}

TEST(Base64, RefusesWhatIsNotBase64) {
    for (const char* text : {"TWF@", "TW\tFu", "TW-_", "TW=u", "TQ===", "TQ=", "T", "TWFuT",
                             "TWE=TWFu", "=", "==", "TWFu\xC3\xA9"}) {
        EXPECT_THROW(DecodeBase64(text), Base64Error) << text;
    }
    EXPECT_THROW(DecodeBase64(std::string("TW\0u", 4)), Base64Error);
    try {
        DecodeBase64("QUJD$EFG");
        FAIL();
    } catch (const Base64Error& e) {
        EXPECT_STREQ(e.what(), "Texto Base64 inválido: caractere não permitido na posição 5.");
    }
}

TEST(PrintDocument, ADataUrlPrefixEndsAtTheFirstComma) {
    EXPECT_EQ(printing::WithoutDataUrlPrefix("data:application/pdf;base64,JVBERi0="), "JVBERi0=");
    EXPECT_EQ(printing::WithoutDataUrlPrefix("JVBERi0="), "JVBERi0=");
    EXPECT_EQ(printing::WithoutDataUrlPrefix("a,b,c"), "b,c");
    EXPECT_EQ(printing::WithoutDataUrlPrefix("data:,"), "");
}

TEST(PrintDocument, WritesEachDocumentToANewTemporaryFile) {
    qvtest::TempFolder folder;
    std::set<std::string> paths;
    for (int i = 0; i < 50; ++i) {
        const std::string bytes = "%PDF document " + std::to_string(i);
        const std::string path = printing::WritePrintDocument(folder.path(), "pdf", bytes);
        const std::string name = path.substr(folder.path().size());
        EXPECT_TRUE(path.starts_with(folder.path()));
        EXPECT_TRUE(std::regex_match(name, std::regex("(0|[1-9][0-9]{0,6})_Temp\\.pdf"))) << name;
        EXPECT_EQ(platform::ReadFile(path).value_or("<unreadable>"), bytes);
        paths.insert(path);
    }
    EXPECT_EQ(paths.size(), 50u);
    EXPECT_EQ(platform::ReadFile(printing::WritePrintDocument(folder.path(), "pdf", ""))
                  .value_or("<unreadable>"),
              "");
}

TEST(PrintDocument, AFileThatCannotBeWrittenIsAnErrorWithItsReason) {
    qvtest::TempFolder folder;
    try {
        printing::WritePrintDocument(folder / "missing/", "pdf", "%PDF");
        FAIL();
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
        EXPECT_NE(std::string(e.what()).find(folder / "missing/"), std::string::npos) << e.what();
    }
}

}  // namespace
