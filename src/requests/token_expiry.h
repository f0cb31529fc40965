// The expiry a shop may require of session tokens: the "exp" claim, a JSON number of seconds
// since 1970-01-01 UTC (fractions allowed). A token is still taken up to a minute after its
// expiry, because the machine that signed it and the shop's machine rarely agree on the time
// to the second.
//
// Stateless; safe from any thread.
#pragma once

#include <simdjson.h>

#include <chrono>
#include <optional>
#include <string>

namespace requests {

inline constexpr std::chrono::seconds kTokenClockSkew{60};

inline constexpr const char* kTokenWithoutExpiry = "Expiração do token não informada.";
inline constexpr const char* kTokenExpiryInvalid = "Expiração do token inválida.";
inline constexpr const char* kTokenExpired = "Token expirado.";

// Why the token with `claims` may not be used at `now` (one of the texts above); none when
// its expiry lies ahead, or less than kTokenClockSkew behind.
std::optional<std::string> TokenExpiryRefusal(simdjson::dom::object claims,
                                              std::chrono::system_clock::time_point now);

}  // namespace requests
