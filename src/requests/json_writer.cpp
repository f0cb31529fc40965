#include "requests/json_writer.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "platform/code_page.h"

namespace requests {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendUnicodeEscape(std::string& out, char16_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

void AppendEscapedCodePoint(std::string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        AppendUnicodeEscape(out, static_cast<char16_t>(0xD800 + (cp >> 10)));
        AppendUnicodeEscape(out, static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        AppendUnicodeEscape(out, static_cast<char16_t>(cp));
    }
}

// Short escape for an ASCII character, or 0 when it is written as it stands or as \u.
constexpr char ShortEscape(char c) {
    switch (c) {
        case '\b':
            return 'b';
        case '\t':
            return 't';
        case '\n':
            return 'n';
        case '\f':
            return 'f';
        case '\r':
            return 'r';
        case '"':
            return '"';
        case '\\':
            return '\\';
        case '/':
            return '/';
        default:
            return 0;
    }
}

// Bytes written as they stand: printable ASCII that needs no escape.
constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c) plain[c] = ShortEscape(static_cast<char>(c)) == 0;
    return plain;
}();

// Decodes the well-formed UTF-8 sequence starting at s[i] (SanitizeUtf8 ran first).
char32_t NextCodePoint(std::string_view s, size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    int len = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
    char32_t cp = len == 1 ? b0 : b0 & (0x7F >> len);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += len;
    return cp;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view utf8) {
    std::string clean;
    bool sanitized = false;
    out += '"';
    for (size_t i = 0; i < utf8.size();) {
        // Characters that stand as they are go in as one run.
        size_t plain = i;
        while (plain < utf8.size() && kPlain[static_cast<unsigned char>(utf8[plain])]) ++plain;
        out.append(utf8.data() + i, plain - i);
        i = plain;
        if (i == utf8.size()) break;
        const char c = utf8[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            if (!sanitized) {
                // Everything before is ASCII, so making the rest valid UTF-8 is making all of it.
                clean = platform::SanitizeUtf8(utf8.substr(i));
                utf8 = clean;
                i = 0;
                sanitized = true;
                continue;
            }
            AppendEscapedCodePoint(out, NextCodePoint(utf8, i));
            continue;
        }
        ++i;
        if (const char e = ShortEscape(c)) {
            out += '\\';
            out += e;
        } else {
            AppendUnicodeEscape(out, static_cast<char16_t>(c));
        }
    }
    out += '"';
}

void AppendJsonNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    out += buffer;
}

void JsonObject::AppendKey(std::string_view key) {
    if (body_.size() > 1) body_ += ',';
    AppendJsonString(body_, key);
    body_ += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view text) {
    AppendKey(key);
    AppendJsonString(body_, text);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, bool value) {
    AppendKey(key);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, int64_t value) {
    AppendKey(key);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, double value) {
    AppendKey(key);
    AppendJsonNumber(body_, value);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, const JsonArray& value) {
    AppendKey(key);
    body_ += value.ToString();
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, const JsonObject& value) {
    AppendKey(key);
    body_ += value.ToString();
    return *this;
}

JsonObject& JsonObject::AddNull(std::string_view key) {
    AppendKey(key);
    body_ += "null";
    return *this;
}

void JsonArray::AppendSeparator() {
    if (body_.size() > 1) body_ += ',';
}

JsonArray& JsonArray::Add(std::string_view text) {
    AppendSeparator();
    AppendJsonString(body_, text);
    return *this;
}

JsonArray& JsonArray::Add(int64_t value) {
    AppendSeparator();
    body_ += std::to_string(value);
    return *this;
}

JsonArray& JsonArray::Add(double value) {
    AppendSeparator();
    AppendJsonNumber(body_, value);
    return *this;
}

JsonArray& JsonArray::Add(const JsonObject& value) {
    AppendSeparator();
    body_ += value.ToString();
    return *this;
}

}  // namespace requests
