#include "transport/tls_stream.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <climits>

#include "transport/tls_context.h"
#include "transport/transport_errors.h"

namespace transport {
namespace {

std::chrono::milliseconds TimeLeft(const Deadline& deadline) {
    if (!deadline) return std::chrono::milliseconds(-1);
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

int ClampToInt(size_t size) { return static_cast<int>(std::min<size_t>(size, INT_MAX)); }

// OpenSSL reads the outcome of an I/O call from the thread's error queue, which must be empty
// before it. Looking costs little; clearing always cost more than the rest of a small read.
void EnsureNoQueuedError() {
    if (ERR_peek_error() != 0) ERR_clear_error();
}

}  // namespace

void TlsStream::Free::operator()(SSL* ssl) const noexcept { SSL_free(ssl); }

TlsStream::TlsStream(SSL_CTX* ctx, platform::Socket socket)
    : socket_(std::move(socket)), ssl_(SSL_new(ctx)) {
    if (!ssl_) throw ConnectionClosed("SSL_new: " + TakeOpenSslError());
    socket_.SetNonBlocking(true);
    socket_.SetNoDelay();
    SSL_set_fd(ssl_.get(), socket_.fd());
    // Partial writes let a large frame count progress record by record.
    SSL_set_mode(ssl_.get(), SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER | SSL_MODE_ENABLE_PARTIAL_WRITE);
}

void TlsStream::Fail(int ssl_error) {
    if (ssl_error == SSL_ERROR_ZERO_RETURN) {
        // A goodbye, not a failure: ours may still be sent, which keeps the session for the
        // client's next connection.
        ERR_clear_error();
        throw ConnectionClosed("Conexão fechada pelo cliente.");
    }
    failed_ = true;
    if (ssl_error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)
        throw ConnectionClosed("Conexão interrompida.");
    throw ConnectionClosed("Falha de TLS: " + TakeOpenSslError());
}

void TlsStream::WaitFor(int ssl_error, Deadline deadline) {
    const auto left = TimeLeft(deadline);
    if (deadline && left.count() == 0) throw StreamTimeout("tempo esgotado");
    const bool ready = ssl_error == SSL_ERROR_WANT_WRITE
                           ? platform::WaitWritable(socket_.fd(), left)
                           : platform::WaitReadable(socket_.fd(), left);
    if (!ready) throw StreamTimeout("tempo esgotado");
}

template <class Call>
int TlsStream::Drive(Call call, Deadline deadline) {
    if (failed_) throw ConnectionClosed("Conexão encerrada.");
    for (;;) {
        EnsureNoQueuedError();
        const int rc = call();
        if (rc > 0) return rc;
        const int error = SSL_get_error(ssl_.get(), rc);
        if (error == SSL_ERROR_SYSCALL && blocking_ && platform::LastCallTimedOut()) {
            // The socket's write time-out, as Windows reports it: the connection is spent.
            failed_ = true;
            throw StreamTimeout("tempo esgotado");
        }
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) Fail(error);
        if (!blocking_) {
            WaitFor(error, deadline);
        } else if (deadline && SteadyClock::now() >= *deadline) {
            // The socket gave up waiting (its write time-out), and so does the caller.
            throw StreamTimeout("tempo esgotado");
        }
    }
}

void TlsStream::Accept(Deadline deadline) {
    Drive([this] { return SSL_accept(ssl_.get()); }, deadline);
}

void TlsStream::UseBlockingIo(std::chrono::milliseconds stall) {
    socket_.SetSendTimeout(stall);
    SetBlocking(true);
    messages_ = true;
}

void TlsStream::SetBlocking(bool on) {
    if (blocking_ == on) return;
    socket_.SetNonBlocking(!on);
    blocking_ = on;
}

size_t TlsStream::Read(char* dst, size_t size, Deadline deadline) {
    // A read with a deadline must not block in the socket, which has no time-out for reads:
    // part of a record would keep it waiting.
    if (messages_) SetBlocking(!deadline);
    return static_cast<size_t>(
        Drive([&] { return SSL_read(ssl_.get(), dst, ClampToInt(size)); }, deadline));
}

size_t TlsStream::TryRead(char* dst, size_t size) {
    if (failed_) throw ConnectionClosed("Conexão encerrada.");
    // A blocking socket would wait here for the rest of a record that has only partly come.
    SetBlocking(false);
    EnsureNoQueuedError();
    const int rc = SSL_read(ssl_.get(), dst, ClampToInt(size));
    if (rc > 0) return static_cast<size_t>(rc);
    const int error = SSL_get_error(ssl_.get(), rc);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return 0;
    Fail(error);
}

bool TlsStream::WaitReadable(std::chrono::milliseconds timeout) const {
    return platform::WaitReadable(socket_.fd(), timeout);
}

void TlsStream::Write(std::string_view data, std::chrono::milliseconds stall) {
    while (!data.empty()) {
        const size_t n = static_cast<size_t>(
            Drive([&] { return SSL_write(ssl_.get(), data.data(), ClampToInt(data.size())); },
                  SteadyClock::now() + stall));
        data.remove_prefix(n);
    }
}

void TlsStream::Close() noexcept {
    if (closed_) return;
    closed_ = true;
    try {
        SetBlocking(false);  // the goodbye must not wait for the peer
    } catch (const std::system_error&) {
        failed_ = true;  // no goodbye then, only the shutdown
    }
    if (!failed_) {
        ERR_clear_error();
        SSL_shutdown(ssl_.get());  // non-blocking: sends our close_notify if the socket takes it
        failed_ = true;
    }
    ERR_clear_error();
    socket_.Shutdown();
}

}  // namespace transport
