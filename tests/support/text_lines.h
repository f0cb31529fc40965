// Reading text files line by line in tests (journals, traces), and looking for numbers in them.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

// The lines of a text file without their LF or CR LF ends (none when the file is missing).
std::vector<std::string> ReadLines(const std::string& path);

// True when `text` holds `number` as a number of its own: no digit right before or after it
// (a short code may well be part of a longer number by chance: a time, a document number).
bool HoldsNumber(const std::string& text, const std::string& number);

}  // namespace qvtest
