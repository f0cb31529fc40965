// Messages over TLS to the service with the echoing handler: what arrives at the handler is
// what comes back, so every answer shows how the service read the client's frames.
#include "support/web_socket_frames.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/app_folder.h"

namespace {

using qvtest::EncodeFrame;
using qvtest::FrameOptions;
using qvtest::TextFrame;

FrameOptions Unmasked() {
    FrameOptions o;
    o.masked = false;
    return o;
}

FrameOptions NotFinal() {
    FrameOptions o;
    o.fin = false;
    return o;
}

class WebSocketFrames : public ::testing::Test {
protected:
    void StartService() { app_.StartAndWaitForPort(); }
    void SetUp() override {
        if (!starts_in_test_) StartService();
    }
    void TearDown() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    // The log line that ends a hostile connection, after the client saw the connection end.
    void ExpectClosedWithLogLine(qvtest::TlsWebSocketClient& client, const std::string& reason) {
        EXPECT_TRUE(client.WaitForClose());
        EXPECT_TRUE(app_.WaitForLog("encerrada: " + reason)) << app_.Log();
    }

    bool starts_in_test_ = false;
    qvtest::AppFolder app_{qvtest::kEchoServiceProgram};
};

class WebSocketFramesWithShortLimits : public WebSocketFrames {
protected:
    WebSocketFramesWithShortLimits() {
        starts_in_test_ = true;
        app_.SetEnv("QV_PAYLOAD_STALL_MS", "300");
        app_.SetEnv("QV_HANDSHAKE_TIMEOUT_MS", "300");
        StartService();
    }
};

TEST_F(WebSocketFrames, EveryKindOfMessageArrivesAsItsText) {
    const std::string json = "{\"route\":\"/version\",\"type\":\"version\"}";
    // Larger than what the service receives and unmasks in one step, with text that shows a
    // byte out of place.
    std::string large;
    for (size_t i = 0; large.size() < 700000; ++i)
        large += std::to_string(i) + (i % 97 ? "," : "ç");
    const size_t cut = 300001;
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"masked text", TextFrame("{}"), "{}"},
        {"unmasked text", TextFrame("{}", Unmasked()), "{}"},
        {"three fragments",
         TextFrame("ab", NotFinal()) + EncodeFrame(0, "cd", NotFinal()) + EncodeFrame(0, "ef"),
         "abcdef"},
        {"unfinished message replaced by a new one",
         TextFrame("lost", NotFinal()) + TextFrame("kept"), "kept"},
        {"binary plain UTF-8", EncodeFrame(2, "ação"), "ação"},
        {"binary gzip", EncodeFrame(2, qvtest::GzipCompress(json)), json},
        {"malformed UTF-8", TextFrame("a\xC3(b\xFF"), "a\xEF\xBF\xBD(b\xEF\xBF\xBD"},
        {"126-byte extended length", TextFrame(std::string(126, 'm')), std::string(126, 'm')},
        {"64-bit extended length", TextFrame(std::string(70000, 'g')), std::string(70000, 'g')},
        {"reserved opcode read as text", EncodeFrame(3, "r"), "r"},
        {"large masked text", TextFrame(large), large},
        {"large message in two fragments",
         TextFrame(large.substr(0, cut), NotFinal()) + EncodeFrame(0, large.substr(cut)), large},
        {"large gzip", EncodeFrame(2, qvtest::GzipCompress(large)), large},
    };
    auto client = app_.Client();
    for (const auto& c : cases) {
        client.Send(c.bytes);
        EXPECT_EQ(client.ReadText(), c.expected) << c.name;
    }
}

TEST_F(WebSocketFrames, OutgoingHeadersFollowThePayloadLength) {
    auto client = app_.Client();
    struct Case {
        size_t length;
        const char* header;
    } cases[] = {{5, "81 05"}, {126, "81 7e 00 7e"}, {70000, "81 7f 00 00 00 00 00 01 11 70"}};
    for (const auto& c : cases) {
        client.SendText(std::string(c.length, 'o'));
        const qvtest::Frame frame = client.ReadFrame();
        EXPECT_EQ(qvtest::Hex(frame.header), c.header);
        EXPECT_EQ(frame.payload.size(), c.length);
    }
}

TEST_F(WebSocketFrames, PingsAreAnsweredAndPongsIgnoredWithoutDisturbingAMessage) {
    auto client = app_.Client();
    client.Send(EncodeFrame(9, "abc"));
    qvtest::Frame pong = client.ReadFrame();
    EXPECT_EQ(qvtest::Hex(pong.header), "8a 03");
    EXPECT_EQ(pong.payload, "abc");

    client.Send(EncodeFrame(9, ""));
    EXPECT_EQ(qvtest::Hex(client.ReadFrame().header), "8a 00");

    // Control frames inside a fragmented message leave the message whole.
    client.Send(TextFrame("frag", NotFinal()) + EncodeFrame(9, "p") + EncodeFrame(10, "ignored") +
                EncodeFrame(0, "mented"));
    pong = client.ReadFrame();
    EXPECT_EQ(pong.opcode, 10);
    EXPECT_EQ(pong.payload, "p");
    EXPECT_EQ(client.ReadText(), "fragmented");
}

TEST_F(WebSocketFrames, MessagesArrivingTogetherAreAllDelivered) {
    auto client = app_.Client();
    client.Send(TextFrame("one") + TextFrame("two") +
                EncodeFrame(2, qvtest::GzipCompress("three")));
    EXPECT_EQ(client.ReadText(), "one");
    EXPECT_EQ(client.ReadText(), "two");
    EXPECT_EQ(client.ReadText(), "three");
}

TEST_F(WebSocketFrames, ASlowlyWrittenPayloadIsDeliveredWhole) {
    auto client = app_.Client();
    const std::string text(3000, 's');
    client.SendSlowly(TextFrame(text), 700, std::chrono::milliseconds(150));
    EXPECT_EQ(client.ReadText(), text);
}

TEST_F(WebSocketFrames, UnconvertibleGzipIsLoggedAndTheConnectionStays) {
    auto client = app_.Client();
    client.Send(EncodeFrame(2, "\x1f\x8b not really gzip"));
    client.SendText("still here");
    EXPECT_EQ(client.ReadText(), "still here");
    EXPECT_TRUE(app_.WaitForLog("Erro na conversão: ")) << app_.Log();
}

TEST_F(WebSocketFrames, ACloseFrameIsAnsweredAndEndsTheConnection) {
    auto client = app_.Client();
    client.Send(EncodeFrame(8, "\x03\xe8"));
    EXPECT_EQ(qvtest::Hex(client.ReadBytes(2)), "88 00");
    EXPECT_TRUE(client.WaitForClose());
    // The disconnect hook runs after the close (the port probe's connection logged it before).
    EXPECT_TRUE(qvtest::WaitUntil([&] {
        const auto texts = app_.LogTexts();
        const auto at = std::find(texts.begin(), texts.end(), "Disconectado");
        return at != texts.end() && at + 1 != texts.end() && *(at + 1) == "Echo: conexão encerrada";
    })) << app_.Log();
}

TEST_F(WebSocketFrames, OversizedMessagesCloseTheConnection) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"announced length",
         [] {
             FrameOptions o;
             o.announced_length = (64u << 20) + 1;
             return TextFrame("", o);
         }(),
         "mensagem maior que 64 MiB"},
        {"fragments together",
         [] {
             FrameOptions o;
             o.announced_length = 64u << 20;
             return TextFrame("x", NotFinal()) + EncodeFrame(0, "", o);
         }(),
         "mensagem maior que 64 MiB"},
        {"after inflation", EncodeFrame(2, qvtest::GzipCompress(std::string((64u << 20) + 1, '0'))),
         "mensagem descompactada maior que 64 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto client = app_.Client();
        client.Send(c.bytes);
        ExpectClosedWithLogLine(client, c.reason);
    }
    // The service goes on serving.
    auto client = app_.Client();
    client.SendText("ok");
    EXPECT_EQ(client.ReadText(), "ok");
}

TEST_F(WebSocketFramesWithShortLimits, AStalledPayloadClosesTheConnection) {
    auto client = app_.Client();
    FrameOptions o;
    o.announced_length = 100;
    client.Send(TextFrame(std::string(10, 'x'), o));
    ExpectClosedWithLogLine(client, "nenhum dado recebido em 300 ms");
}

TEST_F(WebSocketFramesWithShortLimits, AnIdleConnectionBetweenMessagesStaysOpen) {
    auto client = app_.Client();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    client.SendText("after a pause");
    EXPECT_EQ(client.ReadText(), "after a pause");
}

TEST_F(WebSocketFrames, EachConnectionGetsItsOwnReplies) {
    auto first = app_.Client();
    auto second = app_.Client();
    // The first connection's handler waits for its own next message while the second talks.
    first.SendText("/read-next");
    second.SendText("to second");
    EXPECT_EQ(second.ReadText(), "to second");
    first.SendText("to first");
    EXPECT_EQ(first.ReadText(), "next:to first");
    for (int i = 0; i < 20; ++i) {
        first.SendText("a" + std::to_string(i));
        second.SendText("b" + std::to_string(i));
        EXPECT_EQ(second.ReadText(), "b" + std::to_string(i));
        EXPECT_EQ(first.ReadText(), "a" + std::to_string(i));
    }
}

TEST_F(WebSocketFrames, TheHandlerCanWaitForInputOnItsConnection) {
    auto client = app_.Client();
    client.SendText("/connected");
    EXPECT_EQ(client.ReadText(), "connected:true");

    client.SendText("/wait-input 50");
    EXPECT_EQ(client.ReadText(), "input:false");

    // Input that is already there, or arrives during the wait, is reported and then read whole.
    client.Send(TextFrame("/wait-input 5000") + TextFrame("early"));
    EXPECT_EQ(client.ReadText(), "input:true");
    EXPECT_EQ(client.ReadText(), "early");

    client.SendText("/wait-input 10000");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    client.SendText("late");
    EXPECT_EQ(client.ReadText(), "input:true");
    EXPECT_EQ(client.ReadText(), "late");
}

}  // namespace
