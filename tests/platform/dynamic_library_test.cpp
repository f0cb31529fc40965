// Loading a library at run time: a failure keeps the loader's own reason, naming the file.
#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "support/temp_folder.h"

namespace {

TEST(DynamicLibrary, AFailureSaysWhyAndNamesTheFile) {
    qvtest::TempFolder folder;
    const std::string missing = folder / "missing.dll";
    const std::string not_a_library = folder / "text.dll";
    ASSERT_TRUE(platform::WriteFile(not_a_library, std::string(4096, 'x')));

    platform::DynamicLibrary library;
    ASSERT_FALSE(library.Open(missing));
    const std::string missing_reason = library.LastError();
    ASSERT_FALSE(library.Open(not_a_library));
    const std::string format_reason = library.LastError();
    EXPECT_FALSE(library.IsOpen());

    EXPECT_NE(missing_reason.find(missing), std::string::npos) << missing_reason;
    EXPECT_NE(format_reason.find(not_a_library), std::string::npos) << format_reason;
    // Not the same words for both: the loader's reason, not a fixed text of ours.
    EXPECT_NE(missing_reason.substr(missing.size()), format_reason.substr(not_a_library.size()))
        << missing_reason << " / " << format_reason;
    EXPECT_EQ(library.Symbol("ConfiguraIntSiTefInterativoEx"), nullptr);
}

}  // namespace
