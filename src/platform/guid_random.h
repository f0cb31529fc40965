// The system's random bytes behind NewGuid (guid_posix.cpp, guid_windows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Fills `bytes` from the system's cryptographic random source; false when it cannot.
bool FillRandom(uint8_t* bytes, size_t size);

}  // namespace platform
