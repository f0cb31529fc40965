// Programs started by the service: exit codes, time-outs, start failures and the arguments it
// is given. The program started is the tests' own helper (helper/main.cpp), so the same cases
// run on every system; what terminating a program ends besides it is each system's own
// (process_posix_test.cpp, process_windows_test.cpp).
#include "platform/process.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "support/app_folder.h"
#include "support/process_probe.h"
#include "support/temp_folder.h"
#include "support/text_lines.h"

namespace {

using platform::Process;
using Result = platform::Process::WaitResult;

std::string Helper() { return qvtest::BuildDir() + QV_PLATFORM_HELPER; }

Process StartHelper(std::vector<std::string> args) {
    args.insert(args.begin(), Helper());
    return Process::Start(args);
}

TEST(Process, ReportsExitCodes) {
    for (int code : {0, 3, 255}) {
        Process process = StartHelper({"exit", std::to_string(code)});
        int exit_code = -1;
        ASSERT_EQ(process.Wait(std::chrono::seconds(20), exit_code), Result::kEnded) << code;
        EXPECT_EQ(exit_code, code);
        // Asking again gives the same answer.
        EXPECT_EQ(process.Wait(std::chrono::milliseconds(0), exit_code), Result::kEnded);
        EXPECT_EQ(exit_code, code);
    }
}

TEST(Process, AWaitEndsAtItsTimeOut) {
    Process process = StartHelper({"sleep", "60000"});
    int exit_code = -1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(process.Wait(std::chrono::milliseconds(200), exit_code), Result::kTimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(exit_code, -1) << "no exit code while it runs";
}

TEST(Process, ADestroyedOwnerLeavesNoProgramBehind) {
    platform::ProcessId pid = 0;
    {
        Process process = StartHelper({"sleep", "60000"});
        pid = process.pid();
        ASSERT_FALSE(qvtest::ProcessGone(pid));
    }
    EXPECT_TRUE(qvtest::WaitUntil([&] { return qvtest::ProcessGone(pid); })) << pid;
}

TEST(Process, AProgramThatCannotStartRaisesTheSystemsReason) {
    qvtest::TempFolder folder;
    const std::string not_a_program = folder / "data.txt";
    ASSERT_TRUE(platform::WriteFile(not_a_program, "just text"));
    for (const std::string& path : {folder / "missing", not_a_program}) {
        try {
            Process::Start({path, "arg"});
            ADD_FAILURE() << path;
        } catch (const std::system_error& e) {
            if (path == not_a_program) {
                // No permission to run it on Linux, not a program on Windows.
                EXPECT_TRUE(e.code() == std::errc::permission_denied ||
                            e.code() == std::errc::executable_format_error)
                    << e.what();
            } else {
                EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory) << e.what();
            }
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(Process::Start({}), std::system_error);
}

TEST(Process, ArgumentsArriveAsGiven) {
    qvtest::TempFolder folder;
    const std::string out = folder / "args.txt";
    // Blanks, quotes and backslashes in every position a command line can spoil them.
    const std::vector<std::string> args = {"plain",
                                           "two words",
                                           "",
                                           "quote\"inside",
                                           "\"quoted\"",
                                           "C:\\Program Files\\",
                                           "back\\\\\"slash",
                                           "tab\there",
                                           "-print-to",
                                           "Impressora Fiscal"};
    std::vector<std::string> command = {"args", out};
    command.insert(command.end(), args.begin(), args.end());
    Process process = StartHelper(command);
    int exit_code = -1;
    ASSERT_EQ(process.Wait(std::chrono::seconds(20), exit_code), Result::kEnded);
    ASSERT_EQ(exit_code, 0);
    EXPECT_EQ(qvtest::ReadLines(out), args);
}

}  // namespace
