#include <sys/random.h>

#include <cerrno>

#include "platform/guid_random.h"

namespace platform {

bool FillRandom(uint8_t* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::getrandom(bytes + done, size - done, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace platform
