#include "tef/ansi_text.h"

#include <charconv>

namespace tef {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Windows-1252 pairs outside the Latin-1 block: Š/š, Œ/œ, Ž/ž, Ÿ/ÿ.
constexpr unsigned char kUpperSpecial[] = {0x8A, 0x8C, 0x8E, 0x9F};
constexpr unsigned char kLowerSpecial[] = {0x9A, 0x9C, 0x9E, 0xFF};

}  // namespace

std::string Trim(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    return TrimRight(text.substr(first));
}

std::string TrimRight(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(0, end));
}

std::string OnlyDigits(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (IsDigit(c)) digits += c;
    }
    return digits;
}

std::optional<int32_t> ParseInt32(std::string_view text) {
    bool explicit_plus = !text.empty() && text.front() == '+';
    if (explicit_plus) text.remove_prefix(1);
    if (text.empty() || text.front() == '+' || (explicit_plus && text.front() == '-')) {
        return std::nullopt;
    }
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
    return ParseInt32(text).value_or(fallback);
}

std::string ZeroPadded(int64_t value, size_t width) {
    std::string digits =
        std::to_string(value < 0 ? -static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

unsigned char FoldCase(unsigned char byte) {
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
        return static_cast<unsigned char>(byte + 0x20);
    }
    for (size_t i = 0; i < sizeof kUpperSpecial; ++i) {
        if (byte == kUpperSpecial[i]) return kLowerSpecial[i];
    }
    return byte;
}

std::string UpperCaseAnsi(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)) {
            c = static_cast<char>(byte - 0x20);
            continue;
        }
        for (size_t i = 0; i < sizeof kLowerSpecial; ++i) {
            if (byte == kLowerSpecial[i]) c = static_cast<char>(kUpperSpecial[i]);
        }
    }
    return out;
}

int CompareTextAnsi(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        int diff =
            FoldCase(static_cast<unsigned char>(a[i])) - FoldCase(static_cast<unsigned char>(b[i]));
        if (diff != 0) return diff;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::string StringReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    size_t start = 0;
    for (size_t found; (found = text.find(from, start)) != std::string_view::npos;) {
        out.append(text.substr(start, found - start)).append(to);
        start = found + from.size();
    }
    return out.append(text.substr(start));
}

}  // namespace tef
