// Small helpers for the single-byte (Windows-1252) texts of the TEF component: trimming, digit
// filtering, strict integer reading and the case-folded comparison that orders record lines.
// None of them depends on the machine's locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tef {

// Removes leading and trailing blanks and control characters (bytes up to 32).
std::string Trim(std::string_view text);
std::string TrimRight(std::string_view text);

// An ASCII digit (never a locale's other digits).
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Only the ASCII digits of `text`, in order.
std::string OnlyDigits(std::string_view text);

// Reads an optionally signed decimal integer that fills the whole text and fits 32 bits.
std::optional<int32_t> ParseInt32(std::string_view text);

// ParseInt32 with `fallback` for unreadable text.
int32_t StrToIntDef(std::string_view text, int32_t fallback);

// `value` in decimal, left-filled with zeros to at least `width` digits (sign kept in front).
std::string ZeroPadded(int64_t value, size_t width);

// Windows-1252 byte folded to lower case (ASCII and the accented letters of the code page).
unsigned char FoldCase(unsigned char byte);

// Upper-cases ASCII and the accented letters of the code page.
std::string UpperCaseAnsi(std::string_view text);

// True when every byte is below 128: the text reads the same in UTF-8 and Windows-1252.
bool IsAscii(std::string_view text);

// `text` with every occurrence of `from` (not empty) replaced by `to`, left to right.
std::string StringReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Case-insensitive three-way comparison of two Windows-1252 texts (<0, 0, >0).
int CompareTextAnsi(std::string_view a, std::string_view b);

}  // namespace tef
