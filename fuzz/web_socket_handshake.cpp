// The upgrade-request reader: a client's first bytes over a real TLS connection on loopback,
// read up to the request's empty line, answered, and whatever follows read as messages.
#include "transport/web_socket_handshake.h"

#include <cstdint>
#include <string>

#include "support/loopback_tls.h"
#include "support/require.h"

namespace {

void CheckKey(std::string_view request) {
    const std::string key = transport::FindWebSocketKey(request);
    qvfuzz::Require(key.find('\n') == std::string::npos, "the key is one line");
    qvfuzz::Require(key.empty() || (static_cast<unsigned char>(key.front()) > ' ' &&
                                    static_cast<unsigned char>(key.back()) > ' '),
                    "the key is trimmed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qvfuzz::LoopbackTls loopback;
    const std::string_view input = qvfuzz::AsText(data, size);
    CheckKey(input);
    loopback.Exchange(input, [](transport::TClientConnection& connection) {
        transport::WebSocketHandshake(connection, qvfuzz::LoopbackTls::Deadline());
        qvfuzz::Require(connection.IsConnected(), "an answered upgrade leaves the connection open");
        qvfuzz::ReadAllMessages(connection);
    });
    return 0;
}
