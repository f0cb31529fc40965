#include "platform/guid_random.h"
#include "platform/win32.h"

// clang-format off: needs <windows.h> (through win32.h) first.
#include <bcrypt.h>
// clang-format on

namespace platform {

bool FillRandom(uint8_t* bytes, size_t size) {
    return BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(size),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace platform
