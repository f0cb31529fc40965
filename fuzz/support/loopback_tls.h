// Runs the service's side of a real TLS connection on loopback against a client that sends
// given bytes, so a fuzz target drives the connection code exactly as a hostile client would.
// The client ends its side of the stream after the bytes and reads whatever comes back, so
// every byte sent reaches the service and no read of the service ever has to wait: a read
// that stalls means bytes were lost, and aborts the program as a finding.
//
// One instance per program, used from one thread.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/socket.h"
#include "transport/client_connection.h"
#include "transport/tls_context.h"

namespace qvfuzz {

class LoopbackTls {
public:
    LoopbackTls();
    LoopbackTls(const LoopbackTls&) = delete;
    LoopbackTls& operator=(const LoopbackTls&) = delete;
    ~LoopbackTls();

    // Accepts one client that sends `bytes`, runs the TLS handshake and hands the connection
    // to `serve`. ConnectionClosed from `serve` ends the exchange quietly.
    void Exchange(std::string_view bytes,
                  const std::function<void(transport::TClientConnection&)>& serve);

    // Upper bound of every wait: generous, since the peer never stops half-way.
    static transport::Deadline Deadline();

private:
    class Client;

    platform::Socket Accept() const;

    transport::TlsContext tls_;
    platform::Socket listener_;
    transport::ConnectionLimits limits_;
    transport::LogFunction log_;
    std::unique_ptr<Client> client_;
};

// Reads messages until the connection ends (a close frame, the end of the stream or a limit),
// asking before each one whether input waits.
void ReadAllMessages(transport::TClientConnection& connection);

}  // namespace qvfuzz
