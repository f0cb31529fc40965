// The connection-free pieces of the frame decoder: header decoding, unmasking, the gzip
// inflation and UTF-8 clean-up that turn a payload into message text. The input is one
// payload as a client would send it (plain or gzip-compressed) and, read as a frame, a header.
#include "transport/web_socket_frame.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/code_page.h"
#include "support/require.h"
#include "transport/transport_errors.h"

namespace {

using qvfuzz::Require;

// Keeps one run small; the limit path is what matters, not the size.
constexpr size_t kInflateLimit = 1 << 20;

void CheckOwnFrame(uint8_t opcode, std::string_view payload) {
    const std::string frame = transport::BuildFrame(opcode, payload);
    const size_t size = transport::FrameHeaderSize(static_cast<uint8_t>(frame[1]));
    Require(size + payload.size() == frame.size(), "header size of an outgoing frame");
    const transport::FrameHeader h = transport::ParseFrameHeader(frame.substr(0, size));
    Require(h.fin && h.opcode == opcode && !h.masked && h.length == payload.size(),
            "outgoing header reads back");
    Require(frame.substr(size) == payload, "outgoing payload");
}

void CheckIncomingHeader(std::string_view input) {
    if (input.size() < 2) return;
    const size_t size = transport::FrameHeaderSize(static_cast<uint8_t>(input[1]));
    if (input.size() < size) return;
    const transport::FrameHeader h = transport::ParseFrameHeader(input.substr(0, size));
    std::string body(input.substr(size));
    const std::string original = body;
    // Unmasking in two pieces equals unmasking at once, and twice gives the bytes back.
    const size_t half = body.size() / 2;
    transport::Unmask(body.data(), half, h.mask, 0);
    transport::Unmask(body.data() + half, body.size() - half, h.mask, half);
    std::string whole = original;
    transport::Unmask(whole.data(), whole.size(), h.mask, 0);
    Require(body == whole, "unmasking continues at an offset");
    transport::Unmask(whole.data(), whole.size(), h.mask, 0);
    Require(whole == original, "unmasking twice restores the payload");
}

std::string MessageText(std::string_view payload) {
    if (!transport::IsGzip(payload)) return platform::SanitizeUtf8(payload);
    try {
        const std::string inflated = transport::InflateGzip(payload, kInflateLimit);
        Require(inflated.size() <= kInflateLimit, "inflation respects its limit");
        return platform::SanitizeUtf8(inflated);
    } catch (const transport::MessageTooLarge&) {
        return {};
    } catch (const std::runtime_error&) {
        return {};
    }
}

void CheckText(std::string_view payload) {
    const std::string text = MessageText(payload);
    Require(platform::SanitizeUtf8(text) == text, "sanitized text is valid UTF-8");
    Require(platform::Utf8ToCp1252(platform::Cp1252ToUtf8(payload)) == payload,
            "Windows-1252 survives a round trip through UTF-8");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = qvfuzz::AsText(data, size);
    CheckIncomingHeader(input);
    CheckText(input);
    CheckOwnFrame(size > 0 ? data[0] & 0x0F : transport::kOpText, input);
    return 0;
}
