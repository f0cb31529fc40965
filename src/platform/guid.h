// Globally unique identifiers: 128 random bits (version 4) from the system's random source.
#pragma once

#include <string>

namespace platform {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case hexadecimal digits. Raises
// std::system_error when the system has no random bytes to give.
std::string NewGuidString();

}  // namespace platform
