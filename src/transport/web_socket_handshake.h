// The WebSocket opening handshake as this service answers it: the upgrade request is read to
// its empty line and answered with 101; only the Sec-WebSocket-Key header is looked at, and
// the Origin header when an origin policy is configured (a refused one is answered 403).
#pragma once

#include <string>
#include <string_view>

#include "transport/origin_policy.h"
#include "transport/tls_stream.h"

namespace transport {

class TClientConnection;

// Reads the request, writes the answer and marks the connection csConnected. A request the
// policy refuses gets kForbiddenAnswer and a log line, and ends the connection (raises).
void WebSocketHandshake(TClientConnection& connection, Deadline deadline,
                        const OriginPolicy& policy = {});

inline constexpr std::string_view kForbiddenAnswer =
    "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

// The value of the last line starting exactly with "Sec-WebSocket-Key:" (trimmed); empty
// when there is none.
std::string FindWebSocketKey(std::string_view request);

// The complete 101 answer for the accept value.
std::string BuildHandshakeAnswer(const std::string& accept);

}  // namespace transport
