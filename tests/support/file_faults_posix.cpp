#include "support/file_faults.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <system_error>

namespace qvtest {
namespace {

constexpr int kOverrides[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

struct Capabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

Capabilities ThreadCapabilities() {
    Capabilities caps;
    if (::syscall(SYS_capget, &caps.header, caps.data) != 0)
        throw std::system_error(errno, std::generic_category(), "capget");
    return caps;
}

void SetEffective(bool on) {
    Capabilities caps = ThreadCapabilities();
    for (int cap : kOverrides) {
        const __u32 bit = 1u << (cap % 32);
        if (on)
            caps.data[cap / 32].effective |= bit;
        else
            caps.data[cap / 32].effective &= ~bit;
    }
    if (::syscall(SYS_capset, &caps.header, caps.data) != 0)
        throw std::system_error(errno, std::generic_category(), "capset");
}

}  // namespace

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, saved_.rlim_max};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        throw std::system_error(errno, std::generic_category(), "setrlimit");
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, old_handler_);
}

void LimitFileSize(pid_t pid, rlim_t bytes) {
    rlimit limit{};
    if (::prlimit(pid, RLIMIT_FSIZE, nullptr, &limit) != 0)
        throw std::system_error(errno, std::generic_category(), "prlimit");
    limit.rlim_cur = bytes;
    if (::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "prlimit");
}

WithoutFileOverride::WithoutFileOverride() {
    if (::geteuid() != 0) return;
    SetEffective(false);
    dropped_ = true;
}

WithoutFileOverride::~WithoutFileOverride() {
    if (dropped_) SetEffective(true);
}

std::vector<std::string> CommandWithoutFileOverride(const std::string& program) {
    if (::geteuid() != 0) return {program};
    // Out of the bounding set, root's capabilities are gone after the program is started.
    return {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search,-fowner", "--",
            program};
}

void ChangeModes(const std::string& path, unsigned folder_mode, unsigned file_mode) {
    namespace fs = std::filesystem;
    for (const auto& entry : fs::recursive_directory_iterator(path)) {
        fs::permissions(entry.path(),
                        static_cast<fs::perms>(entry.is_directory() ? folder_mode : file_mode));
    }
    fs::permissions(path, static_cast<fs::perms>(folder_mode));
}

}  // namespace qvtest
