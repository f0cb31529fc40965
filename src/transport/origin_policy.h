// Which browser pages may open a WebSocket to the service. A browser names the page's origin
// in the upgrade request's Origin header and, unlike with other requests, lets any page
// connect; the listener refuses an upgrade whose origin the shop did not list. A request
// without an Origin header comes from a program, not a page, and passes unless the policy
// demands one.
//
// The default policy refuses nothing. Immutable once built; safe to share between threads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace transport {

class OriginPolicy {
public:
    OriginPolicy() = default;
    // `allowed` empty: every origin passes. `require_origin`: requests without one are refused.
    OriginPolicy(const std::vector<std::string>& allowed, bool require_origin);

    // The origins of a configuration value: separated by commas, semicolons or blanks.
    static std::vector<std::string> ParseList(std::string_view text);

    // "HTTPS://Loja.example:443/" and "https://loja.example" are the same origin: letters in
    // lower case, no trailing slash, no default port.
    static std::string Normalize(std::string_view origin);

    // Why the upgrade `request` (up to its empty line) is refused, for the log; nothing when
    // it may go on.
    std::optional<std::string> Refusal(std::string_view request) const;

    // Refuses something at all.
    bool Active() const { return !allowed_.empty() || require_origin_; }
    const std::vector<std::string>& Allowed() const { return allowed_; }
    bool RequireOrigin() const { return require_origin_; }

private:
    std::vector<std::string> allowed_;  // normalized
    bool require_origin_ = false;
};

// The values of every header line named `name` (any letter case), trimmed, in order.
std::vector<std::string_view> FindHeaderValues(std::string_view request, std::string_view name);

}  // namespace transport
