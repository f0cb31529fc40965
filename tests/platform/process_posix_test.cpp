// What a program started by the service gets on Linux: 128 + the signal as the exit code of a
// signal's end, and a clean start (no descriptor, blocked or ignored signal of ours, a process
// group of its own).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/file_descriptor.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "support/app_folder.h"
#include "support/temp_folder.h"
#include "support/text_lines.h"

namespace {

using platform::Process;
using Result = platform::Process::WaitResult;

Process Shell(const std::string& script) { return Process::Start({"/bin/sh", "-c", script}); }

// A signal's end reads as 128 + its number, as a shell reports it; Terminate sends SIGKILL.
TEST(ProcessOnLinux, ASignalsEndReadsAs128PlusItsNumber) {
    Process killed_itself = Shell("kill -9 $$");
    int exit_code = -1;
    ASSERT_EQ(killed_itself.Wait(std::chrono::seconds(10), exit_code), Result::kEnded);
    EXPECT_EQ(exit_code, 128 + SIGKILL);

    Process sleeper = Shell("sleep 60");
    sleeper.Terminate();
    ASSERT_EQ(sleeper.Wait(std::chrono::seconds(10), exit_code), Result::kEnded);
    EXPECT_EQ(exit_code, 128 + SIGKILL);
}

// Terminate kills the program's process group: what it started in the background goes too.
TEST(ProcessOnLinux, TerminateEndsTheProcessGroup) {
    qvtest::TempFolder folder;
    const std::string pid_file = folder / "child.pid";
    Process process = Shell("sleep 60 & echo $! > '" + pid_file + "'; wait");
    ASSERT_TRUE(qvtest::WaitUntil([&] { return qvtest::ReadLines(pid_file).size() == 1; }));
    const pid_t child = std::stoi(qvtest::ReadLines(pid_file)[0]);

    int exit_code = -1;
    EXPECT_EQ(process.Wait(std::chrono::milliseconds(50), exit_code), Result::kTimedOut);
    process.Terminate();
    ASSERT_EQ(process.Wait(std::chrono::seconds(10), exit_code), Result::kEnded);
    // The orphaned sleep is reaped by the system once killed.
    EXPECT_TRUE(qvtest::WaitUntil([&] { return ::kill(child, 0) != 0; })) << child;
}

// A field of /proc/<pid>/status ("SigBlk", ...), as its hexadecimal number.
uint64_t StatusMask(pid_t pid, const std::string& field) {
    for (const std::string& line : qvtest::ReadLines("/proc/" + std::to_string(pid) + "/status"))
        if (line.starts_with(field + ":"))
            return std::stoull(line.substr(field.size() + 1), nullptr, 16);
    ADD_FAILURE() << field;
    return ~0ull;
}

std::vector<std::string> Descriptors(pid_t pid) {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ProcessOnLinux, StartsWithoutOurDescriptorsSignalsOrTerminal) {
    qvtest::TempFolder folder;
    // A descriptor of ours without close-on-exec, a blocked and an ignored signal: none of
    // them may reach the program.
    platform::FileDescriptor leaked(
        ::open((folder / "held.txt").c_str(), O_WRONLY | O_CREAT, 0644));
    ASSERT_GE(leaked.get(), 3);
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
    struct sigaction ignore {
    }, previous_pipe{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &previous_pipe), 0);

    // The program has been exec'd when Start returns: its /proc entry shows its start state.
    Process process = Process::Start({"/bin/sleep", "60"});
    leaked.Close();
    ::sigaction(SIGPIPE, &previous_pipe, nullptr);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    const pid_t pid = process.pid();
    EXPECT_EQ(Descriptors(pid), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/fd/0"), "/dev/null");
    EXPECT_EQ(::getpgid(pid), pid) << "the program leads a process group of its own";
    EXPECT_EQ(StatusMask(pid, "SigBlk"), 0u);
    // Signals 1 to 31; the C library keeps two real-time signals of its own ignored.
    EXPECT_EQ(StatusMask(pid, "SigIgn") & 0x7FFFFFFFu, 0u);
}

}  // namespace
