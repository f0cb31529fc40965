#include "platform/environment.h"

#include <charconv>

namespace platform {

std::chrono::milliseconds EnvMilliseconds(const char* name, std::chrono::milliseconds fallback) {
    if (!EnvIsSet(name)) return fallback;
    const std::string text = EnvText(name);
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value <= 0) return fallback;
    return std::chrono::milliseconds(value);
}

}  // namespace platform
