// Settings a test may change through the environment. Durations are named QV_<WHAT>_MS and
// fall back to the product's value when unset or not a positive number. Texts are UTF-8.
#pragma once

#include <chrono>
#include <string>
#include <vector>

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

// The program's arguments after its own name, in UTF-8: argv on Linux; on Windows read again
// from the UTF-16 command line, since argv holds them in the ANSI code page, which loses the
// characters it cannot show ("João" in a Windows without that letter, any non-Latin text).
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace platform
