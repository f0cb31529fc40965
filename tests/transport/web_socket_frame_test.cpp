#include "transport/web_socket_frame.h"

#include <gtest/gtest.h>

#include "support/web_socket_frames.h"
#include "transport/transport_errors.h"
#include "transport/web_socket_handshake.h"

namespace {

using transport::BuildTextFrame;
using transport::ParseFrameHeader;

TEST(OutgoingFrame, HeaderGrowsWithThePayloadLength) {
    struct Case {
        size_t length;
        const char* header;
    } cases[] = {
        {0, "81 00"},
        {125, "81 7d"},
        {126, "81 7e 00 7e"},
        {65535, "81 7e ff ff"},
        {65536, "81 7f 00 00 00 00 00 01 00 00"},
        {70000, "81 7f 00 00 00 00 00 01 11 70"},
    };
    for (const auto& c : cases) {
        const std::string payload(c.length, 'x');
        const std::string frame = BuildTextFrame(payload);
        const size_t header_size = frame.size() - c.length;
        EXPECT_EQ(qvtest::Hex(frame.substr(0, header_size)), c.header) << c.length;
        EXPECT_EQ(frame.substr(header_size), payload);
    }
}

TEST(IncomingFrame, HeaderFieldsAndMaskAreDecoded) {
    for (size_t length : {0u, 5u, 126u, 70000u}) {
        for (bool masked : {false, true}) {
            qvtest::FrameOptions options;
            options.masked = masked;
            options.fin = length != 5;
            const std::string payload(length, 'a');
            const std::string frame = qvtest::EncodeFrame(2, payload, options);
            const size_t size = transport::FrameHeaderSize(static_cast<uint8_t>(frame[1]));
            ASSERT_EQ(size, frame.size() - length);
            const transport::FrameHeader h = ParseFrameHeader(frame.substr(0, size));
            EXPECT_EQ(h.fin, options.fin);
            EXPECT_EQ(h.opcode, 2);
            EXPECT_EQ(h.masked, masked);
            EXPECT_EQ(h.length, length);
            std::string body = frame.substr(size);
            if (masked) transport::Unmask(body.data(), body.size(), h.mask, 0);
            EXPECT_EQ(body, payload);
        }
    }
}

TEST(IncomingFrame, UnmaskContinuesTheKeyAtAnOffset) {
    const std::array<uint8_t, 4> mask{1, 2, 3, 4};
    std::string whole = "abcdefgh";
    std::string split = whole;
    transport::Unmask(whole.data(), 8, mask, 0);
    transport::Unmask(split.data(), 3, mask, 0);
    transport::Unmask(split.data() + 3, 5, mask, 3);
    EXPECT_EQ(whole, split);

    // Long runs go eight bytes at a time: every split and length must match the key byte by
    // byte.
    std::string payload(61, '\0');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
    std::string expected = payload;
    for (size_t i = 0; i < expected.size(); ++i) expected[i] ^= static_cast<char>(mask[i % 4]);
    for (size_t cut = 0; cut <= payload.size(); ++cut) {
        std::string parts = payload;
        transport::Unmask(parts.data(), cut, mask, 0);
        transport::Unmask(parts.data() + cut, parts.size() - cut, mask, cut);
        EXPECT_EQ(parts, expected) << cut;
    }
}

TEST(Handshake, AcceptValueFollowsTheProtocolExample) {
    EXPECT_EQ(transport::GenerateSecWebSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="),
              "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
    EXPECT_EQ(transport::GenerateSecWebSocketAccept(""), "Kfh9QIsMVZcl6xEPYxPHzW8SZ8w=");
}

TEST(Handshake, OnlyTheExactKeyHeaderCounts) {
    struct Case {
        const char* request;
        const char* key;
    } cases[] = {
        {"GET / HTTP/1.1\r\nSec-WebSocket-Key: abc==\r\n\r\n", "abc=="},
        {"GET / HTTP/1.1\r\nsec-websocket-key: abc==\r\n\r\n", ""},
        {"GET / HTTP/1.1\nSec-WebSocket-Key:\t  abc== \t\n\n", "abc=="},
        {"Sec-WebSocket-Key: one\r\nSec-WebSocket-Key: two\r\n\r\n", "two"},
        {"X-Sec-WebSocket-Key: one\r\n\r\n", ""},
        {"GET / HTTP/1.1\r\n\r\n", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(transport::FindWebSocketKey(c.request), c.key) << c.request;
}

TEST(Handshake, AnswerCarriesExactlyTheExpectedHeaders) {
    EXPECT_EQ(transport::BuildHandshakeAnswer("ACCEPT"),
              "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Accept: ACCEPT\r\nAccess-Control-Allow-Origin: *\r\n"
              "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
              "Access-Control-Allow-Headers: Content-Type\r\n"
              "Access-Control-Allow-Credentials: true\r\n\r\n");
}

TEST(Gzip, InflatesAndReportsBadOrOversizedData) {
    const std::string text = "{\"route\":\"/version\",\"nome\":\"ação\"}";
    const std::string gz = qvtest::GzipCompress(text);
    EXPECT_TRUE(transport::IsGzip(gz));
    EXPECT_EQ(transport::InflateGzip(gz, 1024), text);

    EXPECT_THROW(transport::InflateGzip("\x1f\x8bnot gzip at all", 1024), std::runtime_error);
    EXPECT_THROW(transport::InflateGzip(gz.substr(0, gz.size() - 6), 1024), std::runtime_error);
    EXPECT_THROW(transport::InflateGzip(qvtest::GzipCompress(std::string(5000, 'z')), 4096),
                 transport::MessageTooLarge);
}

}  // namespace
