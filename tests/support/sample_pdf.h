// Small, valid PDF documents for the printing tests and benchmarks, and their Base64 text as
// clients send it.
#pragma once

#include <cstddef>
#include <string>

namespace qvtest {

// A one-page PDF that shows `text`. With `padding`, the file also carries an unused stream
// object of that many random bytes (to reach a given size).
std::string SamplePdf(const std::string& text = "Quorvex", size_t padding = 0);

// Standard Base64 with padding, in one line.
std::string Base64Encode(const std::string& bytes);

}  // namespace qvtest
