// Connecting to the service: TLS, the upgrade answer and the connections it drops.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <thread>

#include "platform/socket.h"
#include "support/app_folder.h"

namespace {

using qvtest::TlsWebSocketClient;

std::string AcceptHeader(const std::string& answer) {
    const std::string name = "Sec-WebSocket-Accept: ";
    const size_t at = answer.find(name);
    if (at == std::string::npos) return "<none>";
    return answer.substr(at + name.size(), answer.find("\r\n", at) - at - name.size());
}

class WebSocketHandshake : public ::testing::Test {
protected:
    explicit WebSocketHandshake(const char* program = qvtest::kEchoServiceProgram)
        : app_(program) {}
    void SetUp() override { app_.StartAndWaitForPort(); }
    void TearDown() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    // Proves a connection works by a round trip.
    static void ExpectEcho(TlsWebSocketClient& client) {
        client.SendText("ping?");
        EXPECT_EQ(client.ReadText(), "ping?");
    }

    qvtest::AppFolder app_;
};

TEST_F(WebSocketHandshake, AnswersTheExampleKeyWithItsAcceptValue) {
    TlsWebSocketClient client(app_.ClientOptions());
    const std::string answer = client.Upgrade();
    EXPECT_EQ(
        answer,
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"
        "Access-Control-Allow-Origin: *\r\nAccess-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
        "Access-Control-Allow-Headers: Content-Type\r\n"
        "Access-Control-Allow-Credentials: true\r\n\r\n");
    ExpectEcho(client);
}

TEST_F(WebSocketHandshake, AnyRequestIsUpgraded) {
    struct Case {
        const char* name;
        std::string request;
        const char* accept;
    } cases[] = {
        {"lower-case key header",
         "GET / HTTP/1.1\r\nsec-websocket-key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n",
         "Kfh9QIsMVZcl6xEPYxPHzW8SZ8w="},
        {"plain GET", "GET /index.html HTTP/1.1\r\nHost: localhost\r\n\r\n",
         "Kfh9QIsMVZcl6xEPYxPHzW8SZ8w="},
        {"bare LF line ends", "GET / HTTP/1.1\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\n\n",
         "s3pPLMBiTxaQ9kYGzzhZRbK+xOo="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TlsWebSocketClient client(app_.ClientOptions());
        const std::string answer = client.Upgrade(c.request);
        EXPECT_TRUE(answer.starts_with("HTTP/1.1 101 Switching Protocols\r\n")) << answer;
        EXPECT_EQ(AcceptHeader(answer), c.accept);
        ExpectEcho(client);
    }
}

TEST_F(WebSocketHandshake, AFrameSentWithTheRequestIsKept) {
    TlsWebSocketClient client(app_.ClientOptions());
    client.Send(TlsWebSocketClient::UpgradeRequest() + qvtest::TextFrame("eager"));
    EXPECT_TRUE(client.Upgrade("").starts_with("HTTP/1.1 101 "));
    EXPECT_EQ(client.ReadText(), "eager");
}

TEST_F(WebSocketHandshake, AClientThatSaidGoodbyeResumesItsSession) {
    const auto ended = [this] {
        const auto texts = app_.LogTexts();
        return std::count(texts.begin(), texts.end(), "Echo: conexão encerrada");
    };
    for (bool tickets : {true, false}) {
        auto options = app_.ClientOptions();
        options.tickets = tickets;
        const auto ended_before = ended();
        {
            TlsWebSocketClient first(options);
            EXPECT_FALSE(first.Resumed());
            first.Upgrade();
            ExpectEcho(first);
            options.session = first.Session();
            first.SayGoodbye();
            ASSERT_TRUE(first.WaitForClose());
        }
        // The service has let the connection go, so its session is either kept or gone.
        ASSERT_TRUE(qvtest::WaitUntil([&] { return ended() > ended_before; })) << app_.Log();
        TlsWebSocketClient second(options);
        EXPECT_TRUE(second.Resumed()) << (tickets ? "by ticket" : "from the session cache");
        second.Upgrade();
        ExpectEcho(second);
    }
}

TEST_F(WebSocketHandshake, ServesIPv6Loopback) {
    // The IPv6 listener opens just after the IPv4 one the fixture waited for (under Wine, with
    // a round trip to its server in between).
    ASSERT_TRUE(app_.WaitForPort(std::chrono::seconds(10), 0, "::1"));
    auto client = app_.Client("::1");
    ExpectEcho(client);
}

TEST_F(WebSocketHandshake, RefusesTls11) {
    auto options = app_.ClientOptions();
    options.tls_version = TLS1_1_VERSION;
    EXPECT_THROW(TlsWebSocketClient client(options), std::runtime_error);
    auto client = app_.Client();
    ExpectEcho(client);
}

TEST_F(WebSocketHandshake, AnOversizedUpgradeRequestClosesTheConnection) {
    TlsWebSocketClient client(app_.ClientOptions());
    client.Send("GET / HTTP/1.1\r\n" + std::string(17 * 1024, 'h'));
    EXPECT_TRUE(client.WaitForClose());
    EXPECT_TRUE(app_.WaitForLog("encerrada: requisição de upgrade maior que 16 KiB")) << app_.Log();
}

class PlainService : public WebSocketHandshake {
protected:
    PlainService() : WebSocketHandshake(qvtest::kServiceProgram) {}
};

TEST_F(PlainService, DropsAClientWithoutTlsSilently) {
    platform::Socket raw = platform::ConnectTcp("127.0.0.1", app_.port());
    raw.SetTimeouts(std::chrono::seconds(10));
    const std::string request = "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n";
    ASSERT_EQ(::send(raw.fd(), request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    char byte;
    ssize_t n;
    // The server sends at most a TLS alert, then closes.
    while ((n = ::recv(raw.fd(), &byte, 1, 0)) > 0) {
    }
    EXPECT_EQ(n, 0) << "the connection ended";
    auto client = app_.Client();  // still serving
    std::vector<std::string> texts = app_.LogTexts();
    std::erase_if(texts, [](const std::string& text) { return text.starts_with("[Impressora] "); });
    EXPECT_EQ(texts,
              (std::vector<std::string>{"Iniciando servidor socket.", "O serviço foi inciado."}));
}

class SlowHandshake : public WebSocketHandshake {
protected:
    SlowHandshake() { app_.SetEnv("QV_HANDSHAKE_TIMEOUT_MS", "300"); }
};

TEST_F(SlowHandshake, IsCutOffAfterTheHandshakeTimeout) {
    {
        platform::Socket silent = platform::ConnectTcp("127.0.0.1", app_.port());
        silent.SetTimeouts(std::chrono::seconds(10));
        char byte;
        EXPECT_EQ(::recv(silent.fd(), &byte, 1, 0), 0) << "closed without TLS";
    }
    TlsWebSocketClient client(app_.ClientOptions());
    client.Send("GET / HTTP/1.1\r\n");  // and never the empty line
    EXPECT_TRUE(client.WaitForClose());
    EXPECT_TRUE(app_.WaitForLog("encerrada: handshake não concluído em 300 ms")) << app_.Log();
}

}  // namespace
