#include "transport/origin_policy.h"

#include <algorithm>

namespace transport {
namespace {

// What of a client's header goes into the log: printable ASCII only, and not too much of it.
constexpr size_t kLoggedOriginLength = 200;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string ForLog(std::string_view origin) {
    std::string text;
    for (char c : origin.substr(0, kLoggedOriginLength)) text += (c >= ' ' && c <= '~') ? c : '?';
    if (origin.size() > kLoggedOriginLength) text += "...";
    return text;
}

}  // namespace

OriginPolicy::OriginPolicy(const std::vector<std::string>& allowed, bool require_origin)
    : require_origin_(require_origin) {
    for (const std::string& origin : allowed) allowed_.push_back(Normalize(origin));
}

std::vector<std::string> OriginPolicy::ParseList(std::string_view text) {
    std::vector<std::string> origins;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const bool separator = i == text.size() || text[i] == ',' || text[i] == ';' ||
                               static_cast<unsigned char>(text[i]) <= ' ';
        if (!separator) continue;
        if (i > start) origins.emplace_back(text.substr(start, i - start));
        start = i + 1;
    }
    return origins;
}

std::string OriginPolicy::Normalize(std::string_view origin) {
    std::string text(Trim(origin));
    std::transform(text.begin(), text.end(), text.begin(), Lower);
    if (text.ends_with('/')) text.pop_back();
    for (const auto& [scheme, port] :
         {std::pair{"https://", ":443"}, std::pair{"http://", ":80"}}) {
        if (text.starts_with(scheme) && text.ends_with(port))
            text.resize(text.size() - std::string_view(port).size());
    }
    return text;
}

std::optional<std::string> OriginPolicy::Refusal(std::string_view request) const {
    if (!Active()) return std::nullopt;
    const std::vector<std::string_view> origins = FindHeaderValues(request, "Origin");
    if (origins.empty()) {
        if (require_origin_) return "requisição sem cabeçalho Origin";
        return std::nullopt;
    }
    // Two origins cannot both be the page's; the request is not a browser's.
    if (origins.size() > 1) return "mais de um cabeçalho Origin";
    if (allowed_.empty()) return std::nullopt;
    const std::string origin = Normalize(origins.front());
    if (std::find(allowed_.begin(), allowed_.end(), origin) != allowed_.end()) return std::nullopt;
    return "origem \"" + ForLog(origins.front()) + "\" não permitida";
}

std::vector<std::string_view> FindHeaderValues(std::string_view request, std::string_view name) {
    std::vector<std::string_view> values;
    while (!request.empty()) {
        const size_t nl = request.find('\n');
        const std::string_view line = request.substr(0, nl);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos && SameLetters(line.substr(0, colon), name))
            values.push_back(Trim(line.substr(colon + 1)));
        if (nl == std::string_view::npos) break;
        request.remove_prefix(nl + 1);
    }
    return values;
}

}  // namespace transport
