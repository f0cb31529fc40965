// "/health": what an engineer on call needs first about a running service, served without a
// session. Every value is an atomic read, or a copy taken under a short lock that is never
// held across a call into the payment library, so asking never disturbs a running payment.
// Nothing secret goes out: no token, no key, no card data (the last error is masked where the
// service log keeps it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/last_error.h"

namespace requests {

inline constexpr const char* kHealthRoute = "/health";

struct THealthReport {
    std::string version;  // of the running service
    int64_t uptime_seconds = 0;
    bool library_loaded = false;
    std::optional<std::string> library_version;  // none: no library file in dll/
    bool operation_running = false;
    int pending_transactions = 0;        // approved, not yet confirmed or undone
    std::optional<int64_t> print_queue;  // files waiting; none while the service stops
    int connections = 0;                 // open, this one included
    std::optional<service::TLastError::Entry> last_error;
};

// {"type":"health","version":..,"uptime_seconds":..,"library":{"loaded":..,"version":..},
//  "operation_running":..,"pending_transactions":..,"print_queue":..,"connections":..,
//  "last_error":{"time":..,"message":..} or null}
std::string HealthReply(const THealthReport& report);

}  // namespace requests
