#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Poll interval where the system offers no process descriptor to wait on.
constexpr std::chrono::milliseconds kPollInterval{5};

// The attributes and file actions of one posix_spawn call.
class SpawnSetup {
public:
    SpawnSetup() {
        ::posix_spawnattr_init(&attr_);
        ::posix_spawn_file_actions_init(&actions_);
        // The service blocks its control signals and ignores SIGPIPE; the program must not
        // inherit either.
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        ::posix_spawnattr_setsigmask(&attr_, &none);
        ::posix_spawnattr_setsigdefault(&attr_, &all);
        ::posix_spawnattr_setpgroup(&attr_, 0);
        ::posix_spawnattr_setflags(
            &attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
        ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attr_);
    }

    const posix_spawnattr_t* attr() const { return &attr_; }
    const posix_spawn_file_actions_t* actions() const { return &actions_; }

private:
    posix_spawnattr_t attr_;
    posix_spawn_file_actions_t actions_;
};

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 0;
}

// A descriptor that becomes readable when the program ends; -1 on systems without one.
// (Called through syscall: glibc 2.36's <sys/pidfd.h> cannot be included from C++.)
int OpenPidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

int PollMilliseconds(Clock::duration left) {
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::clamp<decltype(ms)>(ms, 0, 1 << 30));
}

}  // namespace

Process Process::Start(const std::vector<std::string>& args) {
    if (args.empty())
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "empty command line");
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    pid_t pid = -1;
    // glibc reports a failed exec here too (missing file, no permission, bad format).
    int rc = ::posix_spawn(&pid, argv[0], setup.actions(), setup.attr(), argv.data(), environ);
    if (rc != 0) throw std::system_error(rc, std::generic_category(), "posix_spawn " + args[0]);
    return Process(pid, FileDescriptor(OpenPidfd(pid)));
}

void Process::Terminate() noexcept {
    if (pid_ <= 0 || reaped_) return;
    // Until it is reaped the program keeps its pid and group id, so neither can name
    // somebody else.
    if (::kill(-pid_, SIGKILL) != 0) ::kill(pid_, SIGKILL);
}

Process::ReapResult Process::TryReap(int& exit_code) {
    if (!reaped_) {
        int status = 0;
        pid_t rc;
        do {
            rc = ::waitpid(pid_, &status, WNOHANG);
        } while (rc < 0 && errno == EINTR);
        if (rc < 0) {
            last_error_ = std::error_code(errno, std::generic_category());
            return ReapResult::kFailed;
        }
        if (rc == 0) return ReapResult::kRunning;
        reaped_ = true;
        exit_code_ = ExitCodeOf(status);
    }
    exit_code = exit_code_;
    return ReapResult::kEnded;
}

bool Process::AwaitChange(std::chrono::steady_clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    if (!handle_) {
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kPollInterval));
        return true;
    }
    pollfd entry{handle_.get(), POLLIN, 0};
    if (::poll(&entry, 1, PollMilliseconds(left)) < 0 && errno != EINTR) {
        last_error_ = std::error_code(errno, std::generic_category());
        return false;
    }
    return true;
}

}  // namespace platform
