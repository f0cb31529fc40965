#include "platform/environment.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace platform {

std::chrono::milliseconds EnvMilliseconds(const char* name, std::chrono::milliseconds fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr) return fallback;
    long long value = 0;
    const char* end = text + std::strlen(text);
    auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || value <= 0) return fallback;
    return std::chrono::milliseconds(value);
}

std::string EnvText(const char* name) {
    const char* text = std::getenv(name);
    return text == nullptr ? std::string() : std::string(text);
}

}  // namespace platform
