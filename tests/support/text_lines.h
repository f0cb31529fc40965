// Reading text files line by line in tests (journals, traces).
#pragma once

#include <string>
#include <vector>

namespace qvtest {

// The lines of a text file without their LF or CR LF ends (none when the file is missing).
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace qvtest
