// The single-byte code page (Windows-1252) used by the payment library, TEF records and the
// service log. Text inside the service is UTF-8; conversion happens only through here.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 → Windows-1252. Characters the code page lacks become '?'; malformed UTF-8
// sequences become '?' as well.
std::string Utf8ToCp1252(std::string_view utf8);

// UTF-8 → the system's 8-bit code page, which the service log is written in: Windows-1252 on
// Linux (the code page of the shops' systems), the system's ANSI code page on Windows.
// Characters it lacks become '?'.
std::string Utf8ToSystemCodePage(std::string_view utf8);

// Windows-1252 → UTF-8. Every byte maps to one character (the five bytes the code page
// leaves undefined map to the C1 control of the same value, so the round trip is lossless).
std::string Cp1252ToUtf8(std::string_view cp1252);

// UTF-8 with every malformed sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view utf8);

// The same in place: well-formed text (the usual case) is only read, at memory speed for
// ASCII; only text with a malformed sequence is rebuilt.
void SanitizeUtf8InPlace(std::string& text);

// Appends the UTF-8 encoding of `code_point` to `out`.
void AppendUtf8(std::string& out, char32_t code_point);

}  // namespace platform
