// Fresh globally unique identifiers.
#pragma once

#include <string>

namespace platform {

// A new random (version 4) GUID in canonical upper-case form without braces:
// "6F9619FF-8B86-4011-B42D-00C04FC964FF". Empty when the system cannot supply random bytes.
std::string NewGuid();

}  // namespace platform
