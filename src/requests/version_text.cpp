#include "requests/version_text.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace requests {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Takes the next run of digits off the front of `text`, skipping what precedes it.
uint16_t TakeNumber(std::string_view& text) {
    while (!text.empty() && !IsDigit(text.front())) text.remove_prefix(1);
    int64_t value = 0;
    bool overflow = false;
    while (!text.empty() && IsDigit(text.front())) {
        if (!overflow) {
            value = value * 10 + (text.front() - '0');
            overflow = value > std::numeric_limits<int32_t>::max();
        }
        text.remove_prefix(1);
    }
    return overflow ? 0 : static_cast<uint16_t>(value & 0xFFFF);
}

}  // namespace

std::string FormatVersion(const platform::FileVersion& v) {
    char text[4 * 6];  // four numbers of up to five digits, with their dots
    char* end = text;
    for (size_t i = 0; i < v.size(); ++i) {
        if (i > 0) *end++ = '.';
        end = std::to_chars(end, text + sizeof text, v[i]).ptr;
    }
    return std::string(text, end);
}

platform::FileVersion ParseVersionText(std::string_view text) {
    platform::FileVersion version{};
    for (auto& number : version) number = TakeNumber(text);
    return version;
}

bool IsNewerVersion(const platform::FileVersion& announced,
                    const platform::FileVersion& installed) {
    return announced[0] >= installed[0] && announced[3] > installed[3];
}

}  // namespace requests
