#include "service/last_error.h"

#include <algorithm>
#include <array>

#include "card_data/card_mask.h"

namespace service {
namespace {

constexpr std::array<std::string_view, 8> kErrorWords = {
    "erro", "falha", "timeout", "recusada", "recusado", "encerrada", "inválida", "inválido"};

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
    const std::string masked = card_data::MaskedCardNumbers(text);
    std::string out;
    const std::string_view in = masked;
    for (size_t i = 0; i < in.size();) {
        const bool word_start = i == 0 || !IsTokenChar(in[i - 1]);
        if (!word_start || !IsTokenChar(in[i])) {
            out += in[i++];
            continue;
        }
        bool mixed = false;
        const size_t token_end = TokenRunEnd(in, i, mixed);
        // A word, a number or a name is copied whole, so no omission starts inside it.
        out.append(mixed && token_end - i >= kTokenRun ? kOmitted : in.substr(i, token_end - i));
        i = token_end;
    }
    return out;
}

}  // namespace service
