// Load on a running service for tests and benchmarks: many clients asking the version at once,
// many messages on one connection, many connections one after another, and the service's
// resident memory. Each load checks every reply against the first one the service gave.
//
// Thread contract: each function runs on the caller's thread (VersionFlood starts and joins
// its own client threads).
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "support/app_folder.h"

namespace qvtest {

inline constexpr const char* kVersionRequest =
    R"({"route":"/version","type":"version","category":"service_exe"})";

struct LoadOutcome {
    size_t replies = 0;  // version replies read
    size_t wrong = 0;    // replies unlike the first one, and clients that failed
};

// The service's resident memory in KiB (VmRSS of /proc/<pid>/status); -1 when unreadable.
long ResidentKiB(pid_t pid);

// `clients` connections at once, each sending `messages` version requests one after another.
LoadOutcome VersionFlood(const AppFolder& app, int clients, int messages);

// `messages` version requests one after another on one connection.
LoadOutcome MessagesOnOneConnection(const AppFolder& app, int messages);

// `cycles` times: connect, upgrade, one version request, close.
LoadOutcome ConnectionCycles(const AppFolder& app, int cycles);

}  // namespace qvtest
