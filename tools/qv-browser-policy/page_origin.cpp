#include "page_origin.h"

#include <algorithm>
#include <cctype>

#include "transport/origin_policy.h"

namespace browser_policy {
namespace {

constexpr std::string_view kHttps = "https://";
constexpr std::string_view kHttp = "http://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool IsHostNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

bool IsIpv6Char(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

// Letters, digits and hyphens in dot-separated labels, none empty; or [an IPv6 address].
bool ValidHost(std::string_view host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        const std::string_view inside = host.substr(1, host.size() - 2);
        return std::all_of(inside.begin(), inside.end(), IsIpv6Char);
    }
    return !host.empty() && std::all_of(host.begin(), host.end(), IsHostNameChar) &&
           host.front() != '.' && host.back() != '.' && host.find("..") == std::string_view::npos;
}

bool ValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5) return false;
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int value = std::stoi(std::string(port));
    return value >= 1 && value <= 65535;
}

}  // namespace

std::string ParsePageOrigin(std::string_view text) {
    const std::string quoted = "\"" + std::string(text) + "\"";
    if (StartsWithNoCase(text, kHttp))
        throw OriginError(quoted +
                          ": a page served over plain HTTP cannot reach the service, "
                          "whatever the policy; serve the point of sale over HTTPS");
    if (!StartsWithNoCase(text, kHttps))
        throw OriginError(quoted + " is not an origin: https://host or https://host:port");
    std::string_view authority = text.substr(kHttps.size());
    if (authority.ends_with('/')) authority.remove_suffix(1);
    // After an IPv6 address's bracket, or else after the host, a colon starts the port.
    const size_t bracket = authority.starts_with('[') ? authority.find(']') : 0;
    const size_t colon = bracket == std::string_view::npos ? bracket : authority.find(':', bracket);
    const std::string_view host = authority.substr(0, colon);
    const bool port_ok = colon == std::string_view::npos || ValidPort(authority.substr(colon + 1));
    if (!ValidHost(host) || !port_ok)
        throw OriginError(quoted +
                          " is not an origin: https://host or https://host:port, without a path");
    return transport::OriginPolicy::Normalize(text);
}

}  // namespace browser_policy
