#include "service/last_error.h"

#include <algorithm>
#include <array>

namespace service {
namespace {

constexpr std::array<std::string_view, 8> kErrorWords = {
    "erro", "falha", "timeout", "recusada", "recusado", "encerrada", "inválida", "inválido"};

// Fewer digits than this are amounts, codes, dates: kept.
constexpr size_t kCardDigits = 13;
constexpr size_t kCardDigitsShown = 4;
// Shorter runs of letters and digits are words and names: kept.
constexpr size_t kTokenRun = 24;
constexpr std::string_view kOmitted = "[omitido]";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// Letters of any script count: UTF-8 bytes of accented letters are above 0x7F.
bool IsWordByte(char c) { return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80; }
bool IsTokenChar(char c) {
    return IsDigit(c) || IsAsciiLetter(c) || c == '-' || c == '_' || c == '+' || c == '=';
}
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// End of the digit run at `start`: digits, single blanks or hyphens between digits.
size_t DigitRunEnd(std::string_view text, size_t start, std::string& digits) {
    size_t end = start;
    for (size_t i = start; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            digits += text[i];
            end = i + 1;
        } else if ((text[i] != ' ' && text[i] != '-') || i + 1 >= text.size() ||
                   !IsDigit(text[i + 1]) || i == start) {
            break;
        }
    }
    return end;
}

// End of the run of token characters at `start`; dots inside it (a signed token's three
// parts) belong to it, one that ends it does not.
size_t TokenRunEnd(std::string_view text, size_t start, bool& mixed) {
    bool letter = false, digit = false;
    size_t end = start;
    while (end < text.size() &&
           (IsTokenChar(text[end]) ||
            (text[end] == '.' && end + 1 < text.size() && IsTokenChar(text[end + 1])))) {
        letter = letter || IsAsciiLetter(text[end]);
        digit = digit || IsDigit(text[end]);
        ++end;
    }
    mixed = letter && digit;
    return end;
}

}  // namespace

void TLastError::Offer(std::string_view line, const platform::LocalDateTime& now) {
    if (!IsErrorLine(line)) return;
    Entry entry{now, MaskSensitive(line)};
    std::lock_guard lock(mutex_);
    last_ = std::move(entry);
}

std::optional<TLastError::Entry> TLastError::Get() const {
    std::lock_guard lock(mutex_);
    return last_;
}

bool IsErrorLine(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        if (!IsWordByte(text[i])) {
            ++i;
            continue;
        }
        std::string word;
        for (; i < text.size() && IsWordByte(text[i]); ++i) word += Lower(text[i]);
        // "Inválida" lowers to "inválida": the accented letter is already small.
        if (std::find(kErrorWords.begin(), kErrorWords.end(), word) != kErrorWords.end())
            return true;
    }
    return false;
}

std::string MaskSensitive(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const bool word_start = i == 0 || !IsTokenChar(text[i - 1]);
        if (!word_start || !IsTokenChar(text[i])) {
            out += text[i++];
            continue;
        }
        bool mixed = false;
        const size_t token_end = TokenRunEnd(text, i, mixed);
        if (mixed && token_end - i >= kTokenRun) {
            out += kOmitted;
            i = token_end;
            continue;
        }
        std::string digits;
        const size_t digit_end = IsDigit(text[i]) ? DigitRunEnd(text, i, digits) : i;
        if (digits.size() >= kCardDigits) {
            out += std::string(digits.size() - kCardDigitsShown, '*');
            out += digits.substr(digits.size() - kCardDigitsShown);
            i = digit_end;
            continue;
        }
        // An ordinary word: copied up to its end, so no masking starts inside it.
        out.append(text.substr(i, token_end - i));
        i = token_end;
    }
    return out;
}

}  // namespace service
