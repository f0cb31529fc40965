// One TLS connection over a socket, with bounded waits; OpenSSL does the handshake and every
// record. The socket starts non-blocking, each wait a poll against its deadline; once the
// connection carries messages, a read without deadline and every write may block in the
// socket instead (UseBlockingIo). Used by one thread at a time (the connection's own); only
// Abort() may be called from another thread.
#pragma once

#include <openssl/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace transport {

using SteadyClock = std::chrono::steady_clock;
// The moment a wait gives up; no value waits without limit.
using Deadline = std::optional<SteadyClock::time_point>;

// A wait for the peer passed its deadline.
class StreamTimeout : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TlsStream {
public:
    TlsStream(SSL_CTX* ctx, platform::Socket socket);

    // Runs the server handshake. ConnectionClosed when it fails, StreamTimeout past `deadline`.
    void Accept(Deadline deadline);

    // From now on a read without deadline (the wait for the next message) blocks in the
    // socket: one read instead of a poll and a read, and no timer. A read with a deadline still
    // polls; a write blocks, the socket giving up after `stall` without progress.
    void UseBlockingIo(std::chrono::milliseconds stall);

    // Reads at least one and at most `size` bytes. ConnectionClosed at the end of the stream
    // or on a failure, StreamTimeout past `deadline`.
    size_t Read(char* dst, size_t size, Deadline deadline);

    // Reads what is ready without waiting; 0 when nothing is. ConnectionClosed as Read.
    size_t TryRead(char* dst, size_t size);

    // True when the socket has bytes to read (or was closed) within `timeout`.
    bool WaitReadable(std::chrono::milliseconds timeout) const;

    // Writes all of `data`; each wait for the peer to take bytes ends after `stall`.
    void Write(std::string_view data, std::chrono::milliseconds stall);

    // Says goodbye at the TLS level when that is still possible, then closes the socket for
    // both directions.
    void Close() noexcept;

    // Wakes and fails any blocked operation; callable from any thread.
    void Abort() const noexcept { socket_.Shutdown(); }

    std::string PeerAddress() const { return socket_.PeerAddress(); }

private:
    // Runs one OpenSSL call until it succeeds, waiting for the socket as OpenSSL asks.
    template <class Call>
    int Drive(Call call, Deadline deadline);
    void WaitFor(int ssl_error, Deadline deadline);
    // Puts the socket in blocking mode or out of it, when it is not there already.
    void SetBlocking(bool on);
    [[noreturn]] void Fail(int ssl_error);

    struct Free {
        void operator()(SSL* ssl) const noexcept;
    };

    platform::Socket socket_;
    std::unique_ptr<SSL, Free> ssl_;
    bool failed_ = false;  // after a fatal TLS error OpenSSL forbids a shutdown
    bool closed_ = false;
    bool messages_ = false;  // after UseBlockingIo
    bool blocking_ = false;  // the socket's mode now
};

}  // namespace transport
