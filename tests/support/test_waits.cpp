// The helpers of app_folder.h that every system has: certificates, bounded waits, free ports.
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "support/app_folder.h"

namespace qvtest {

const std::string& CertificateFolder() {
    static TempFolder folder;
    static std::string path;
    static std::once_flag once;
    std::call_once(once, [] {
        // A Windows test under Wine cannot run the script: its runner makes the files first.
        path = platform::EnvText("QV_TEST_CERTIFICATES");
        if (!path.empty()) {
            path = platform::IncludeTrailingSeparator(path);
            return;
        }
        path = folder.path();
        const std::string command = std::string("bash '") + QV_SOURCE_DIR +
                                    "/scripts/make-certificates.sh' '" + folder.path() + "'";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("make-certificates.sh failed");
    });
    return path;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

uint16_t FreePort() {
    platform::Socket probe = platform::ListenTcp(platform::IpFamily::kIPv4, 0, 1);
    return probe.LocalPort();
}

}  // namespace qvtest
