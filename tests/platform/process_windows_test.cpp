// On Windows a program started by the service runs in a job object: terminating it ends
// whatever it started too, also a program started the same way (a job within the job).
#include <gtest/gtest.h>

#include "platform/process.h"
#include "support/app_folder.h"
#include "support/process_probe.h"
#include "support/temp_folder.h"
#include "support/text_lines.h"

namespace {

using platform::Process;
using Result = platform::Process::WaitResult;

TEST(ProcessOnWindows, TerminateEndsTheJob) {
    qvtest::TempFolder folder;
    const std::string pid_file = folder / "child.pid";
    Process process = Process::Start({qvtest::BuildDir() + QV_PLATFORM_HELPER, "spawn", pid_file});
    ASSERT_TRUE(qvtest::WaitUntil([&] { return qvtest::ReadLines(pid_file).size() == 1; },
                                  std::chrono::seconds(20)));
    const platform::ProcessId child = std::stoi(qvtest::ReadLines(pid_file)[0]);
    ASSERT_FALSE(qvtest::ProcessGone(child));

    process.Terminate();
    int exit_code = 0;
    ASSERT_EQ(process.Wait(std::chrono::seconds(10), exit_code), Result::kEnded);
    EXPECT_EQ(exit_code, 1) << "the job ends with exit code 1";
    EXPECT_TRUE(qvtest::WaitUntil([&] { return qvtest::ProcessGone(child); })) << child;
}

}  // namespace
