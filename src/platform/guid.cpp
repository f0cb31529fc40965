#include "platform/guid.h"

#include <array>
#include <cstdint>

#include "platform/guid_random.h"

namespace platform {

std::string NewGuid() {
    std::array<uint8_t, 16> b{};
    if (!FillRandom(b.data(), b.size())) return "";
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (size_t i = 0; i < b.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kHex[b[i] >> 4];
        text += kHex[b[i] & 0x0F];
    }
    return text;
}

}  // namespace platform
