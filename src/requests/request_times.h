// The long waits of the request layer. Tests shorten them through the environment; the
// product's values apply whenever a variable is unset or not a positive number.
#pragma once

#include <chrono>

namespace requests {

struct TRequestTimes {
    // How long the client has to answer a prompt (QV_ANSWER_TIMEOUT_MS).
    std::chrono::milliseconds answer_timeout{120000};
    // How long a highlighted receipt copy counts down (QV_HIGHLIGHT_MS), and the pause
    // between two countdown messages (QV_HIGHLIGHT_STEP_MS).
    std::chrono::milliseconds highlight_time{3000};
    std::chrono::milliseconds highlight_step{500};
    // Lifetime of a session (QV_SESSION_LIFETIME_MS).
    std::chrono::milliseconds session_lifetime{1800000};

    static TRequestTimes FromEnvironment();
};

}  // namespace requests
