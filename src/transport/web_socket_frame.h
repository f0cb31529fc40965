// The byte-level pieces of the WebSocket protocol that need no connection: frame headers,
// outgoing frames, unmasking, the handshake accept value and gzip inflation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace transport {

enum Opcode : uint8_t {
    kOpContinuation = 0,
    kOpText = 1,
    kOpBinary = 2,
    kOpClose = 8,
    kOpPing = 9,
    kOpPong = 10,
};

// Largest message (all fragments together, and after inflation) a connection accepts.
inline constexpr size_t kMaxMessageBytes = 64u << 20;

// Spare capacity behind the text of every message a connection hands out, so that a parser
// that reads in blocks past the end (the JSON parser needs 64 bytes) can parse the text where
// it lies instead of copying it.
inline constexpr size_t kMessagePadding = 64;

struct FrameHeader {
    bool fin = false;
    uint8_t opcode = 0;
    bool masked = false;
    uint64_t length = 0;
    std::array<uint8_t, 4> mask{};
};

// Size of the header that starts with the two bytes `b0 b1`: 2, plus 2 or 8 for an extended
// length, plus 4 for a masking key.
size_t FrameHeaderSize(uint8_t b1);

// Decodes a complete header of FrameHeaderSize(bytes[1]) bytes.
FrameHeader ParseFrameHeader(std::string_view bytes);

// One final, unmasked frame with `payload`: 0x80|opcode, the length in 7, 16 or 64 bits.
std::string BuildFrame(uint8_t opcode, std::string_view payload);
// The same frame appended to `out`.
void AppendFrame(std::string& out, uint8_t opcode, std::string_view payload);
inline std::string BuildTextFrame(std::string_view payload) { return BuildFrame(kOpText, payload); }

// XORs `data` with the masking key, `offset` being the position of data[0] in the payload.
void Unmask(char* data, size_t size, const std::array<uint8_t, 4>& mask, uint64_t offset);

// The Sec-WebSocket-Accept value for `key`: Base64 of SHA-1(key + the protocol's GUID).
std::string GenerateSecWebSocketAccept(const std::string& key);

// Decompresses a gzip stream (into a text with kMessagePadding to spare). Raises
// std::runtime_error with the reason when the data is not a complete gzip stream, and
// MessageTooLarge when the output would exceed `max_output`.
std::string InflateGzip(std::string_view compressed, size_t max_output);

inline bool IsGzip(std::string_view data) {
    return data.size() >= 2 && static_cast<uint8_t>(data[0]) == 0x1F &&
           static_cast<uint8_t>(data[1]) == 0x8B;
}

}  // namespace transport
