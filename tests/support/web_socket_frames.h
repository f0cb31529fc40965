// Building and reading raw WebSocket frames in tests, so a test can send any frame a client
// might send (masked or not, fragmented, control frames, a lying length).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvtest {

struct FrameOptions {
    bool fin = true;
    bool masked = true;
    std::array<uint8_t, 4> mask{0x37, 0xFA, 0x21, 0x3D};
    // The length written in the header when it should differ from the payload's.
    std::optional<uint64_t> announced_length;
};

std::string EncodeFrame(uint8_t opcode, std::string_view payload, const FrameOptions& options = {});

inline std::string TextFrame(std::string_view text, const FrameOptions& options = {}) {
    return EncodeFrame(1, text, options);
}

struct Frame {
    bool fin = false;
    uint8_t opcode = 0;
    std::string header;  // the header bytes as received
    std::string payload;
};

std::string GzipCompress(std::string_view data);

// "81 7e 00 7e" for tests that compare bytes.
std::string Hex(std::string_view bytes);

}  // namespace qvtest
