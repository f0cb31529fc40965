#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, QuotesGroupBlanksSeparate) {
    struct Case {
        const char* line;
        Args args;
    } cases[] = {
        {R"("/opt/app/QuorvexPrintPDF" -print-to "Sala 2" -print-settings "noscale" -silent )"
         R"(-exit-when-done -data-dir "/tmp/SumatraPDF_0A" "/opt/app/12_Temp.pdf")",
         {"/opt/app/QuorvexPrintPDF", "-print-to", "Sala 2", "-print-settings", "noscale",
          "-silent", "-exit-when-done", "-data-dir", "/tmp/SumatraPDF_0A", "/opt/app/12_Temp.pdf"}},
        {"", {}},
        {"  \t ", {}},
        {"a  b\tc", {"a", "b", "c"}},
        {R"("")", {""}},
        {R"(a "" b)", {"a", "", "b"}},
        {R"(x"y z"w)", {"xy zw"}},
        {R"(C:\dir\a.pdf "b\c")", {R"(C:\dir\a.pdf)", R"(b\c)"}},
        {R"("unclosed quote)", {"unclosed quote"}},
        {" lead and trail ", {"lead", "and", "trail"}},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::SplitCommandLine(c.line), c.args) << c.line;
}

}  // namespace
