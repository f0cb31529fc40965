// A TLS WebSocket client for tests and benchmarks, independent of the service's own transport
// code: OpenSSL client over a blocking loopback socket, every wait bounded by the time-out.
// Raw bytes can be sent as they are, so tests can write any frame, slowly or in bursts.
// Failures (refused TLS, time-outs, the server closing) are raised as std::runtime_error.
#pragma once

#include <openssl/prov_ssl.h>
#include <openssl/ssl.h>
#include <openssl/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/socket.h"
#include "support/web_socket_frames.h"

namespace qvtest {

class TlsWebSocketClient {
public:
    struct Options {
        std::string host = "127.0.0.1";
        uint16_t port = 0;
        // Highest (and lowest) TLS version offered; TLS1_1_VERSION to try an old client.
        int tls_version = TLS1_2_VERSION;
        // When set, the server certificate must chain to this CA file.
        std::string ca_file;
        // A session of an earlier client to resume, and whether session tickets are offered
        // (without them the server must find the session in its cache).
        std::shared_ptr<SSL_SESSION> session;
        bool tickets = true;
        std::chrono::milliseconds timeout{10000};
    };

    // TCP connection and TLS handshake.
    explicit TlsWebSocketClient(const Options& options);
    TlsWebSocketClient(TlsWebSocketClient&& other) noexcept;
    TlsWebSocketClient& operator=(TlsWebSocketClient&& other) noexcept;
    TlsWebSocketClient(const TlsWebSocketClient&) = delete;
    TlsWebSocketClient& operator=(const TlsWebSocketClient&) = delete;
    ~TlsWebSocketClient();

    // A client that connected and upgraded with a standard request.
    static TlsWebSocketClient Open(uint16_t port, const std::string& host = "127.0.0.1");

    // A standard upgrade request carrying `key`.
    static std::string UpgradeRequest(const std::string& key = "dGhlIHNhbXBsZSBub25jZQ==");

    // Sends `request` and returns the answer up to and including its empty line.
    std::string Upgrade(const std::string& request = UpgradeRequest());

    void Send(std::string_view bytes);
    // Sends `bytes` in pieces of `chunk` bytes with `pause` between them.
    void SendSlowly(std::string_view bytes, size_t chunk, std::chrono::milliseconds pause);
    void SendText(std::string_view text) { Send(TextFrame(text)); }

    Frame ReadFrame();
    // The payload of the next frame, which must be a final text frame.
    std::string ReadText();
    // Exactly `size` bytes.
    std::string ReadBytes(size_t size);

    // True when the server ends the connection within the time-out (frames before are
    // skipped); false when it is still open then.
    bool WaitForClose();

    std::chrono::milliseconds timeout() const { return timeout_; }

    // The TLS session, for a later client to resume; whether this one resumed one.
    std::shared_ptr<SSL_SESSION> Session() const;
    bool Resumed() const;
    // Says goodbye at the TLS level (close_notify), as a client that closes properly does.
    void SayGoodbye();

private:
    void StartTls(const Options& options);
    // Reads more bytes into the buffer; false at the end of the stream. Raises on time-out.
    bool Fill();

    platform::Socket socket_;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::chrono::milliseconds timeout_;
    std::string buffer_;
};

}  // namespace qvtest
