// The upgrade-request reader: a client's first bytes over a real TLS connection on loopback,
// read up to the request's empty line, answered, and whatever follows read as messages; and the
// origin check a shop may switch on, which reads the same request.
#include "transport/web_socket_handshake.h"

#include <cstdint>
#include <optional>
#include <string>

#include "support/loopback_tls.h"
#include "support/require.h"
#include "transport/origin_policy.h"

namespace {

void CheckKey(std::string_view request) {
    const std::string key = transport::FindWebSocketKey(request);
    qvfuzz::Require(key.find('\n') == std::string::npos, "the key is one line");
    qvfuzz::Require(key.empty() || (static_cast<unsigned char>(key.front()) > ' ' &&
                                    static_cast<unsigned char>(key.back()) > ' '),
                    "the key is trimmed");
}

// An upgrade passes only with the one listed origin; a refusal's reason, which goes into the
// log, is printable text of bounded size whatever the client sent.
void CheckOrigin(std::string_view request) {
    static const transport::OriginPolicy policy({"https://pdv.loja.test"}, true);
    const std::optional<std::string> refusal = policy.Refusal(request);
    if (!refusal) {
        const auto origins = transport::FindHeaderValues(request, "Origin");
        qvfuzz::Require(origins.size() == 1 && transport::OriginPolicy::Normalize(origins[0]) ==
                                                   "https://pdv.loja.test",
                        "only the listed origin passes");
        return;
    }
    qvfuzz::Require(refusal->size() < 300, "the logged reason is short");
    for (char c : *refusal) {
        qvfuzz::Require(static_cast<unsigned char>(c) >= ' ' && c != '\x7f',
                        "the logged reason has no control characters");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qvfuzz::LoopbackTls loopback;
    const std::string_view input = qvfuzz::AsText(data, size);
    CheckKey(input);
    CheckOrigin(input);
    loopback.Exchange(input, [](transport::TClientConnection& connection) {
        transport::WebSocketHandshake(connection, qvfuzz::LoopbackTls::Deadline());
        qvfuzz::Require(connection.IsConnected(), "an answered upgrade leaves the connection open");
        qvfuzz::ReadAllMessages(connection);
    });
    return 0;
}
