// A CUPS scheduler of the test's own: Debian's cupsd, run as the test's user with its
// configuration, spool, logs and socket in a temporary folder (no TCP port, nothing of the
// system's scheduler touched), and one printer whose device is a file: every job's document
// is written to OutputFile() unchanged. Clients reach it with CUPS_SERVER=Socket().
// Stopped and removed with its owner, also when a test fails.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace qvtest {

class PrivateCups {
public:
    static constexpr const char* kPrinter = "QuorvexTest";

    // Starts cupsd and waits until it listens; raises with its error log when it does not.
    PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;
    ~PrivateCups();

    const std::string& Socket() const { return socket_; }
    std::string OutputFile() const { return folder_ / "out/printer-output"; }
    std::string ErrorLog() const;

    // Waits until `count` jobs have completed; false after `timeout`.
    bool WaitForCompletedJobs(int count,
                              std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

private:
    void WriteConfiguration() const;

    TempFolder folder_;
    std::string socket_;
    std::unique_ptr<ChildProcess> cupsd_;
};

}  // namespace qvtest
