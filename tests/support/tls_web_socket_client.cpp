#include "support/tls_web_socket_client.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <thread>

namespace qvtest {
namespace {

std::string SslError(const char* what) {
    char text[256] = "no detail";
    if (unsigned long code = ERR_get_error()) ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return std::string(what) + ": " + text;
}

}  // namespace

TlsWebSocketClient::TlsWebSocketClient(const Options& options)
    : socket_(platform::ConnectTcp(options.host, options.port)), timeout_(options.timeout) {
    // A test that writes to a connection the service has just dropped gets an error instead
    // of losing its whole process.
    platform::IgnoreBrokenPipe();
    socket_.SetNoDelay();
    socket_.SetTimeouts(timeout_);
    try {
        StartTls(options);
    } catch (...) {
        SSL_free(ssl_);
        SSL_CTX_free(ctx_);
        throw;
    }
}

void TlsWebSocketClient::StartTls(const Options& options) {
    ctx_ = SSL_CTX_new(TLS_client_method());
    ssl_ = ctx_ ? SSL_new(ctx_) : nullptr;
    if (ssl_ == nullptr) throw std::runtime_error(SslError("SSL_new"));
    if (options.tls_version < TLS1_2_VERSION) SSL_set_security_level(ssl_, 0);  // allow old TLS
    SSL_set_min_proto_version(ssl_, options.tls_version);
    SSL_set_max_proto_version(ssl_, options.tls_version);
    if (!options.ca_file.empty()) {
        if (SSL_CTX_load_verify_locations(ctx_, options.ca_file.c_str(), nullptr) != 1)
            throw std::runtime_error(SslError("CA file"));
        SSL_set_verify(ssl_, SSL_VERIFY_PEER, nullptr);
    }
    if (!options.tickets) SSL_set_options(ssl_, SSL_OP_NO_TICKET);
    if (options.session && SSL_set_session(ssl_, options.session.get()) != 1)
        throw std::runtime_error(SslError("session"));
    SSL_set_fd(ssl_, socket_.fd());
    if (SSL_connect(ssl_) != 1) throw std::runtime_error(SslError("TLS handshake"));
}

TlsWebSocketClient::TlsWebSocketClient(TlsWebSocketClient&& other) noexcept
    : socket_(std::move(other.socket_)),
      ctx_(other.ctx_),
      ssl_(other.ssl_),
      timeout_(other.timeout_),
      buffer_(std::move(other.buffer_)) {
    other.ctx_ = nullptr;
    other.ssl_ = nullptr;
}

TlsWebSocketClient& TlsWebSocketClient::operator=(TlsWebSocketClient&& other) noexcept {
    std::swap(socket_, other.socket_);
    std::swap(ctx_, other.ctx_);
    std::swap(ssl_, other.ssl_);
    std::swap(timeout_, other.timeout_);
    std::swap(buffer_, other.buffer_);
    return *this;
}

TlsWebSocketClient::~TlsWebSocketClient() {
    SSL_free(ssl_);
    SSL_CTX_free(ctx_);
}

TlsWebSocketClient TlsWebSocketClient::Open(uint16_t port, const std::string& host) {
    Options options;
    options.host = host;
    options.port = port;
    TlsWebSocketClient client(options);
    const std::string answer = client.Upgrade();
    if (!answer.starts_with("HTTP/1.1 101 ")) throw std::runtime_error("upgrade: " + answer);
    return client;
}

std::string TlsWebSocketClient::UpgradeRequest(const std::string& key) {
    return "GET / HTTP/1.1\r\nHost: localhost\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Key: " +
           key + "\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

std::string TlsWebSocketClient::Upgrade(const std::string& request) {
    Send(request);
    for (;;) {
        const size_t end = buffer_.find("\r\n\r\n");
        if (end != std::string::npos) {
            std::string answer = buffer_.substr(0, end + 4);
            buffer_.erase(0, end + 4);
            return answer;
        }
        if (!Fill()) throw std::runtime_error("connection closed during the upgrade");
    }
}

void TlsWebSocketClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const int n = SSL_write(ssl_, bytes.data(),
                                static_cast<int>(std::min<size_t>(bytes.size(), 1 << 30)));
        if (n <= 0) throw std::runtime_error(SslError("SSL_write"));
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

void TlsWebSocketClient::SendSlowly(std::string_view bytes, size_t chunk,
                                    std::chrono::milliseconds pause) {
    while (!bytes.empty()) {
        const size_t n = std::min(chunk, bytes.size());
        Send(bytes.substr(0, n));
        bytes.remove_prefix(n);
        if (!bytes.empty()) std::this_thread::sleep_for(pause);
    }
}

bool TlsWebSocketClient::Fill() {
    char chunk[65536];
    ERR_clear_error();
    const int n = SSL_read(ssl_, chunk, sizeof chunk);
    if (n > 0) {
        buffer_.append(chunk, static_cast<size_t>(n));
        return true;
    }
    const int error = SSL_get_error(ssl_, n);
    if (error == SSL_ERROR_WANT_READ) throw std::runtime_error("timed out waiting for the server");
    if (error == SSL_ERROR_SYSCALL && (errno == EAGAIN || errno == EWOULDBLOCK))
        throw std::runtime_error("timed out waiting for the server");
    ERR_clear_error();
    return false;  // closed (cleanly or by a reset)
}

std::string TlsWebSocketClient::ReadBytes(size_t size) {
    while (buffer_.size() < size) {
        if (!Fill()) throw std::runtime_error("connection closed by the server");
    }
    std::string bytes = buffer_.substr(0, size);
    buffer_.erase(0, size);
    return bytes;
}

Frame TlsWebSocketClient::ReadFrame() {
    Frame frame;
    frame.header = ReadBytes(2);
    frame.fin = (frame.header[0] & 0x80) != 0;
    frame.opcode = frame.header[0] & 0x0F;
    uint64_t length = frame.header[1] & 0x7F;
    if (length >= 126) {
        const std::string ext = ReadBytes(length == 126 ? 2 : 8);
        frame.header += ext;
        length = 0;
        for (unsigned char c : ext) length = length << 8 | c;
    }
    if (frame.header[1] & 0x80) throw std::runtime_error("the server masked a frame");
    frame.payload = ReadBytes(static_cast<size_t>(length));
    return frame;
}

std::string TlsWebSocketClient::ReadText() {
    Frame frame = ReadFrame();
    if (frame.opcode != 1 || !frame.fin)
        throw std::runtime_error("expected a text frame, got opcode " +
                                 std::to_string(frame.opcode));
    return frame.payload;
}

std::shared_ptr<SSL_SESSION> TlsWebSocketClient::Session() const {
    return std::shared_ptr<SSL_SESSION>(SSL_get1_session(ssl_), SSL_SESSION_free);
}

bool TlsWebSocketClient::Resumed() const { return SSL_session_reused(ssl_) == 1; }

void TlsWebSocketClient::SayGoodbye() {
    if (SSL_shutdown(ssl_) < 0) throw std::runtime_error(SslError("SSL_shutdown"));
}

bool TlsWebSocketClient::WaitForClose() {
    buffer_.clear();
    try {
        while (Fill()) buffer_.clear();
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

}  // namespace qvtest
