// Settings a test may change through the environment. Durations are named QV_<WHAT>_MS and
// fall back to the product's value when unset or not a positive number. Texts are UTF-8.
#pragma once

#include <chrono>
#include <string>

namespace platform {

std::chrono::milliseconds EnvMilliseconds(const char* name, std::chrono::milliseconds fallback);

// The variable's text; empty when it is unset.
std::string EnvText(const char* name);

// True when the variable is set (possibly to an empty text).
bool EnvIsSet(const char* name);

// Sets the variable for this process and the programs it starts from now on; TZ takes effect
// for the local time at once. Not synchronised with other threads reading the environment:
// for tests, before the threads that read it start.
void SetEnvText(const char* name, const std::string& value);
void UnsetEnv(const char* name);

}  // namespace platform
