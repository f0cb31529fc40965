#include "requests/token_expiry.h"

namespace requests {

std::optional<std::string> TokenExpiryRefusal(simdjson::dom::object claims,
                                              std::chrono::system_clock::time_point now) {
    simdjson::dom::element exp;
    if (claims["exp"].get(exp)) return kTokenWithoutExpiry;
    double seconds = 0;
    // A number written as text is not a date of the token standard; it is refused rather
    // than guessed at.
    if (exp.get_double().get(seconds)) return kTokenExpiryInvalid;
    const double now_seconds = std::chrono::duration<double>(now.time_since_epoch()).count();
    if (now_seconds >= seconds + static_cast<double>(kTokenClockSkew.count())) return kTokenExpired;
    return std::nullopt;
}

}  // namespace requests
