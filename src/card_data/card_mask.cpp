#include "card_data/card_mask.h"

#include <array>

namespace card_data {
namespace {

constexpr size_t kFirstShown = 6;
constexpr size_t kLastShown = 4;
constexpr size_t kMinCardDigits = 13;
constexpr size_t kMaxCardDigits = 19;
constexpr size_t kTimeStampDigits = 14;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSeparator(char c) { return c == ' ' || c == '-'; }

int Number(const char* digits, size_t count) {
    int value = 0;
    for (size_t i = 0; i < count; ++i) value = value * 10 + (digits[i] - '0');
    return value;
}

// yyyymmddhhnnss of the years 1900 to 2099: a time stamp, not a card number (no card
// network issues 14-digit numbers beginning with 19 or 20).
bool IsTimeStamp(const char* d) {
    const int year = Number(d, 4), month = Number(d + 4, 2), day = Number(d + 6, 2);
    const int hour = Number(d + 8, 2), minute = Number(d + 10, 2), second = Number(d + 12, 2);
    return year >= 1900 && year <= 2099 && month >= 1 && month <= 12 && day >= 1 && day <= 31 &&
           hour <= 23 && minute <= 59 && second <= 59;
}

bool AsksForPassword(std::string_view prompt) {
    constexpr std::string_view kWord = "senha";
    for (size_t i = 0; i + kWord.size() <= prompt.size(); ++i) {
        size_t k = 0;
        while (k < kWord.size() && (prompt[i + k] | 0x20) == kWord[k]) ++k;
        if (k == kWord.size()) return true;
    }
    return false;
}

// Stars the digits of text[begin, end) but the first 6 and the last 4 of `count`.
void StarMiddleDigits(char* text, size_t begin, size_t end, size_t count) {
    size_t seen = 0;
    for (size_t i = begin; i < end; ++i) {
        if (!IsDigit(text[i])) continue;
        if (seen >= kFirstShown && seen < count - kLastShown) text[i] = '*';
        ++seen;
    }
}

// The run of digits that starts at `begin`: digits, and single separators between two
// digits. Its end, and its digits (the first kMaxCardDigits + 1 are enough to judge it) and
// their count.
struct Run {
    size_t end;
    size_t count;
    std::array<char, kMaxCardDigits + 1> digits;
};

Run ReadRun(std::string_view text, size_t begin) {
    Run run{begin, 0, {}};
    size_t i = begin;
    while (i < text.size()) {
        if (IsDigit(text[i])) {
            if (run.count < run.digits.size()) run.digits[run.count] = text[i];
            ++run.count;
            run.end = ++i;
        } else if (IsSeparator(text[i]) && i + 1 < text.size() && IsDigit(text[i + 1])) {
            ++i;
        } else {
            break;
        }
    }
    return run;
}

bool IsCardNumber(const Run& run) {
    if (run.count < kMinCardDigits || run.count > kMaxCardDigits) return false;
    const std::string_view digits(run.digits.data(), run.count);
    if (run.count == kTimeStampDigits && IsTimeStamp(run.digits.data())) return false;
    return LuhnValid(digits);
}

}  // namespace

bool LuhnValid(std::string_view digits) {
    int sum = 0;
    bool twice = false;
    for (size_t i = digits.size(); i-- > 0; twice = !twice) {
        int d = digits[i] - '0';
        if (twice && (d *= 2) > 9) d -= 9;
        sum += d;
    }
    return !digits.empty() && sum % 10 == 0;
}

std::string MaskCardNumber(std::string_view number) {
    std::string masked(number);
    size_t count = 0;
    for (char c : masked) count += IsDigit(c) ? 1 : 0;
    if (count < kMinCardDigits) {
        for (char& c : masked)
            if (IsDigit(c)) c = '*';
        return masked;
    }
    StarMiddleDigits(masked.data(), 0, masked.size(), count);
    return masked;
}

std::string MaskAnswer(int field_type, std::string_view prompt, std::string_view answer) {
    if (answer.empty()) return {};
    switch (field_type) {
        case kCardNumberField:
            return MaskCardNumber(answer);
        case kPasswordField:
        case kExpiryField:
        case kSecurityCodeField:
            return std::string(kSecretMask);
    }
    if (AsksForPassword(prompt)) return std::string(kSecretMask);
    return std::string(answer);
}

bool MaskCardNumbers(std::string& text) {
    bool masked = false;
    size_t i = 0;
    while (i < text.size()) {
        // Runs start at a digit; everything else is passed over at once.
        if (!IsDigit(text[i])) {
            ++i;
            continue;
        }
        const Run run = ReadRun(text, i);
        if (IsCardNumber(run)) {
            StarMiddleDigits(text.data(), i, run.end, run.count);
            masked = true;
        }
        i = run.end;
    }
    return masked;
}

std::string MaskedCardNumbers(std::string_view text) {
    std::string copy(text);
    MaskCardNumbers(copy);
    return copy;
}

}  // namespace card_data
