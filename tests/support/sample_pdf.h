// Small, valid PDF documents for the printing tests and benchmarks.
#pragma once

#include <cstddef>
#include <string>

namespace qvtest {

// A one-page PDF that shows `text`. With `padding`, the file also carries an unused stream
// object of that many random bytes (to reach a given size).
std::string SamplePdf(const std::string& text = "Quorvex", size_t padding = 0);

}  // namespace qvtest
