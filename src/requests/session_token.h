// Session tokens: JSON Web Tokens in compact serialization (header.payload.signature, each part
// base64url without padding), signed with HMAC-SHA-256/384/512 under the key built into the
// service. The service verifies them at session start; the token tool signs them with the
// same code.
//
// Stateless functions; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "requests/json_envelope.h"

namespace requests {

enum class TokenAlgorithm { kHS256, kHS384, kHS512 };

// The shared signing key; the HMAC key is its bytes.
inline constexpr std::string_view kSessionTokenKey = "Hq7Lm2XwZ9cV4bNt8RkP3sYd6FjG1eUa";

// "HS256", "HS384", "HS512".
const char* AlgorithmName(TokenAlgorithm alg);
// The algorithm of an "alg" value; none for "none" and everything else.
std::optional<TokenAlgorithm> AlgorithmFromName(std::string_view name);

std::string Base64UrlEncode(std::string_view bytes);
// None when `text` holds a character outside the base64url alphabet (padding included) or
// has an impossible length.
std::optional<std::string> Base64UrlDecode(std::string_view text);

// The raw HMAC of `data` under `key`.
std::string Hmac(TokenAlgorithm alg, std::string_view key, std::string_view data);

// A token of header {"alg":<alg>,"typ":"JWT"} and payload `claims_json` (the text of a JSON
// object, used as it stands).
std::string SignSessionToken(std::string_view claims_json, TokenAlgorithm alg,
                             std::string_view key = kSessionTokenKey);

// A token that is not three dot-separated parts. Its text is the client's answer.
class MalformedTokenError : public RequestError {
public:
    using RequestError::RequestError;
};

// A token whose parts cannot be decoded into JSON objects, or whose "alg" is missing, "none"
// or unknown. Answered only with the general session-start failure.
class UndecodableTokenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decodes `token`, parses its claims into `claims` and tells whether its signature is the
// HMAC of its first two parts under `key` (compared in constant time). Nothing else is
// checked: expiry and the other registered claims are left alone. Raises MalformedTokenError
// or UndecodableTokenError.
bool VerifySessionToken(std::string_view token, JsonDocument& claims,
                        std::string_view key = kSessionTokenKey);

}  // namespace requests
