#include "transport/web_socket_handshake.h"

#include "transport/client_connection.h"
#include "transport/web_socket_frame.h"

namespace transport {
namespace {

constexpr std::string_view kKeyHeader = "Sec-WebSocket-Key:";

std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

std::string FindWebSocketKey(std::string_view request) {
    std::string_view key;
    while (!request.empty()) {
        const size_t nl = request.find('\n');
        std::string_view line = request.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with(kKeyHeader)) key = Trim(line.substr(kKeyHeader.size()));
        if (nl == std::string_view::npos) break;
        request.remove_prefix(nl + 1);
    }
    return std::string(key);
}

std::string BuildHandshakeAnswer(const std::string& accept) {
    return "HTTP/1.1 101 Switching Protocols\r\n"
           "Upgrade: websocket\r\n"
           "Connection: Upgrade\r\n"
           "Sec-WebSocket-Accept: " +
           accept +
           "\r\n"
           "Access-Control-Allow-Origin: *\r\n"
           "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
           "Access-Control-Allow-Headers: Content-Type\r\n"
           "Access-Control-Allow-Credentials: true\r\n"
           "\r\n";
}

void WebSocketHandshake(TClientConnection& connection, Deadline deadline,
                        const OriginPolicy& policy) {
    const std::string request = connection.ReadUpgradeRequest(deadline);
    if (std::optional<std::string> refusal = policy.Refusal(request))
        connection.Refuse(kForbiddenAnswer, *refusal);
    connection.WriteRaw(
        BuildHandshakeAnswer(GenerateSecWebSocketAccept(FindWebSocketKey(request))));
    connection.Data.State = csConnected;
}

}  // namespace transport
