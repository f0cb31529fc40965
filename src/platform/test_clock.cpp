#include "platform/test_clock.h"

#include <string>

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/file_system.h"

namespace platform {
namespace {

// The digits of `text` at [at, at + n) as a number; -1 when they are not all digits.
int Digits(std::string_view text, size_t at, size_t n) {
    int value = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<std::chrono::system_clock::time_point> ParseClockText(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const LocalDateTime t{Digits(text, 0, 4),  Digits(text, 5, 2),  Digits(text, 8, 2),
                          Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2)};
    if (!IsValidDate(t.year, t.month, t.day) || !IsValidTime(t.hour, t.minute, t.second))
        return std::nullopt;
    return FromLocal(t);
}

std::optional<std::chrono::system_clock::time_point> TestClockNow() {
    // Looked up at every call, so that a test process can give each test a clock file of its
    // own.
    const std::string path = EnvText(kClockFileVariable);
    if (path.empty()) return std::nullopt;
    const FileContents text = ReadFile(path);
    if (!text) return std::nullopt;
    return ParseClockText(*text);
}

}  // namespace platform
