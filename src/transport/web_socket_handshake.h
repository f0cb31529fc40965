// The WebSocket opening handshake as this service answers it: the upgrade request is read to
// its empty line and always answered with 101; only the Sec-WebSocket-Key header is looked at.
#pragma once

#include <string>
#include <string_view>

#include "transport/tls_stream.h"

namespace transport {

class TClientConnection;

// Reads the request, writes the answer and marks the connection csConnected.
void WebSocketHandshake(TClientConnection& connection, Deadline deadline);

// The value of the last line starting exactly with "Sec-WebSocket-Key:" (trimmed); empty
// when there is none.
std::string FindWebSocketKey(std::string_view request);

// The complete 101 answer for the accept value.
std::string BuildHandshakeAnswer(const std::string& accept);

}  // namespace transport
