// Settings a test may change through the environment. Durations are named QV_<WHAT>_MS and
// fall back to the product's value when unset or not a positive number.
#pragma once

#include <chrono>
#include <string>

namespace platform {

std::chrono::milliseconds EnvMilliseconds(const char* name, std::chrono::milliseconds fallback);

// The variable's text; empty when it is unset.
std::string EnvText(const char* name);

}  // namespace platform
