#include "platform/code_page.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace platform {
namespace {

// Code points of the bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

char ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
    }
    return '?';
}

// Decodes one UTF-8 sequence at `s[i]`; returns the code point and advances `i`.
// Malformed input yields U+FFFD and consumes one byte.
char32_t DecodeOne(std::string_view s, size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = b0 >= 0xF0 && b0 <= 0xF4 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 && b0 < 0xE0 ? 2 : 0;
    if (len == 0 || i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = b0 & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += len;
    return cp;
}

// True when the eight bytes at s[i] are all ASCII.
bool AsciiWord(std::string_view s, size_t i) {
    uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    return (word & 0x8080808080808080ull) == 0;
}

// Length of the longest well-formed prefix of `s`.
size_t WellFormedPrefix(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        // ASCII, the bulk of every message, eight bytes at a time.
        while (i + 8 <= s.size() && AsciiWord(s, i)) i += 8;
        if (i == s.size()) break;
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        // A malformed sequence decodes to U+FFFD taking one byte; a well-formed one (U+FFFD
        // itself included) takes two or more.
        const size_t start = i;
        DecodeOne(s, i);
        if (i == start + 1) return start;
    }
    return s.size();
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) out += ByteOf(DecodeOne(utf8, i));
    return out;
}

std::string SanitizeUtf8(std::string_view utf8) {
    std::string text(utf8);
    SanitizeUtf8InPlace(text);
    return text;
}

void SanitizeUtf8InPlace(std::string& text) {
    size_t i = WellFormedPrefix(text);
    if (i == text.size()) return;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    out.append(text, 0, i);
    while (i < text.size()) AppendUtf8(out, DecodeOne(text, i));
    text = std::move(out);
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size() + cp1252.size() / 4);
    for (char c : cp1252) AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace platform
