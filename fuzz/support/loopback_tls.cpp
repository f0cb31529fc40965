#include "support/loopback_tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "support/app_folder.h"
#include "support/require.h"
#include "transport/transport_errors.h"

namespace qvfuzz {
namespace {

constexpr std::chrono::seconds kWait{5};

transport::TlsContext MakeTlsContext() {
    const std::string& dir = qvtest::CertificateFolder();
    return transport::TlsContext(dir + "server_cert.pem", dir + "server_key.pem",
                                 dir + "ca_cert.pem");
}

// The limits of the service, with waits that end a hung exchange quickly.
transport::ConnectionLimits FuzzLimits() {
    transport::ConnectionLimits limits;
    limits.handshake_timeout = kWait;
    limits.stall_timeout = kWait;
    return limits;
}

// Whatever the connection logs is expected, except a wait that ran out: the client never
// stops half-way, so the service waited for bytes it had already received.
void CheckLogLine(const std::string& line) {
    for (const char* stall : {"nenhum dado recebido", "não recebeu dados", "não concluído"}) {
        if (line.find(stall) != std::string::npos) {
            std::fprintf(stderr, "connection stalled: %s\n", line.c_str());
            std::abort();
        }
    }
}

[[noreturn]] void ClientFailed(const char* what) {
    std::fprintf(stderr, "loopback client: %s failed\n", what);
    std::abort();
}

}  // namespace

// One OpenSSL context for the whole run, and the first session resumed ever after, so that
// an exchange costs no public-key operation.
class LoopbackTls::Client {
public:
    Client() : ctx_(SSL_CTX_new(TLS_client_method())) {
        if (ctx_ == nullptr) ClientFailed("SSL_CTX_new");
        SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
        SSL_CTX_set_max_proto_version(ctx_, TLS1_2_VERSION);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() {
        SSL_SESSION_free(session_);
        SSL_CTX_free(ctx_);
    }

    // Connects, sends `bytes`, ends its side and reads until the service closes.
    void Run(uint16_t port, std::string_view bytes) {
        platform::Socket socket = platform::ConnectTcp("127.0.0.1", port);
        socket.SetNoDelay();
        socket.SetTimeouts(kWait);
        SSL* ssl = SSL_new(ctx_);
        if (ssl == nullptr) ClientFailed("SSL_new");
        SSL_set_fd(ssl, socket.fd());
        if (session_ != nullptr) SSL_set_session(ssl, session_);
        if (SSL_connect(ssl) != 1) ClientFailed("TLS handshake");
        if (session_ == nullptr) session_ = SSL_get1_session(ssl);
        // The service may end the connection before it has read everything (a limit).
        if (Send(ssl, bytes)) SSL_shutdown(ssl);
        char ignored[16384];
        while (SSL_read(ssl, ignored, sizeof ignored) > 0) {
        }
        SSL_free(ssl);
        ERR_clear_error();
    }

private:
    static bool Send(SSL* ssl, std::string_view bytes) {
        while (!bytes.empty()) {
            const int n = SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size()));
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }

    SSL_CTX* ctx_;
    SSL_SESSION* session_ = nullptr;
};

LoopbackTls::~LoopbackTls() = default;

LoopbackTls::LoopbackTls()
    : tls_(MakeTlsContext()),
      listener_(platform::ListenTcp(platform::IpFamily::kIPv4, 0, 4)),
      limits_(FuzzLimits()),
      log_(CheckLogLine),
      client_(std::make_unique<Client>()) {
    platform::IgnoreBrokenPipe();
}

transport::Deadline LoopbackTls::Deadline() { return transport::SteadyClock::now() + kWait; }

platform::Socket LoopbackTls::Accept() const {
    if (!platform::WaitReadable(listener_.fd(), kWait)) {
        std::fprintf(stderr, "loopback client did not connect\n");
        std::abort();
    }
    return platform::AcceptConnection(listener_);
}

void LoopbackTls::Exchange(std::string_view bytes,
                           const std::function<void(transport::TClientConnection&)>& serve) {
    std::thread client([&] { client_->Run(listener_.LocalPort(), bytes); });
    {
        transport::TClientConnection connection(tls_.get(), Accept(), limits_, log_);
        try {
            connection.AcceptTls(Deadline());
            serve(connection);
        } catch (const transport::ConnectionClosed&) {
            // The ordinary end of every exchange.
        } catch (const std::exception& e) {
            std::fprintf(stderr, "unexpected exception: %s\n", e.what());
            std::abort();
        }
    }
    client.join();
}

void ReadAllMessages(transport::TClientConnection& connection) {
    while (connection.IsOpen()) {
        // The route handlers poll this way while the payment library waits; the client still
        // has bytes to send or has ended, so there is always input.
        Require(connection.WaitForInput(kWait), "input is seen while the client has some");
        connection.ReadMessage();
    }
}

}  // namespace qvfuzz
