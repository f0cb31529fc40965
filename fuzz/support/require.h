// Properties a fuzz target checks beyond the sanitizers: a broken one aborts, which libFuzzer
// reports as a finding with the input that broke it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvfuzz {

// Aborts with `what` when `ok` is false.
void Require(bool ok, const char* what);

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The part of `input` before the first NUL byte, and the rest after it (empty without one):
// targets that need two texts take them this way, so seeds stay readable files.
std::pair<std::string_view, std::string_view> SplitAtNul(std::string_view input);

}  // namespace qvfuzz
