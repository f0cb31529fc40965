// A log file removed while the service holds it open: Linux lets it go (Windows refuses to
// remove the folder of an open file), and the service writes a new one at the next reopen.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "service/service_log.h"
#include "support/temp_folder.h"

namespace {

using service::ServiceLog;

class ServiceLogOpenFile : public ::testing::Test {
protected:
    qvtest::TempFolder folder_;
};

TEST_F(ServiceLogOpenFile, ARemovedLogIsCreatedAgainWhenTheFileIsReopened) {
    // Reopened at every line here; the service's own log reopens once a second.
    ServiceLog log(folder_.path(), "QuorvexSiTefService", std::chrono::milliseconds(0));
    ASSERT_TRUE(log.GravaLog("antes"));
    const std::string path = log.LogFilePath(platform::Now());
    ASSERT_TRUE(platform::RemoveTree(folder_ / "Log"));
    ASSERT_TRUE(log.GravaLog("depois"));
    const std::string text = platform::ReadFile(path).value_or("");
    EXPECT_EQ(text.find("antes"), std::string::npos);
    EXPECT_NE(text.find("] depois\r\n"), std::string::npos) << text;
}

}  // namespace
