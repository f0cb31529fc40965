// A point-of-sale client over TLS for tests and benchmarks: it sends a request and answers the
// service's prompts by their type, each with the next answer queued for that type, until a
// message that ends the request arrives. Prompts that need no answer ("message", "qrcode",
// "can_cancel", "receipt") and prompts without a queued answer are only collected.
//
// Thread contract: one thread at a time.
#pragma once

#include <deque>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "support/tls_web_socket_client.h"

namespace qvtest {

// The "type" of a message of the service, which always comes first; empty for anything else.
std::string MessageType(const std::string& message);

class DialogueClient {
public:
    explicit DialogueClient(TlsWebSocketClient socket) : socket_(std::move(socket)) {}

    // Queues `answer` (a whole message) for the next prompt of type `prompt_type`.
    DialogueClient& On(const std::string& prompt_type, std::string answer);

    // Sends `request` and reads, answering prompts, up to and including the first message of
    // one of the `last` types; every message read, in order.
    std::vector<std::string> Run(const std::string& request,
                                 std::initializer_list<const char*> last = {"result", "error"});
    // The same without sending anything first.
    std::vector<std::string> ReadUntil(std::initializer_list<const char*> last = {"result",
                                                                                  "error"});

    TlsWebSocketClient& socket() { return socket_; }

private:
    TlsWebSocketClient socket_;
    std::map<std::string, std::deque<std::string>> answers_;
};

}  // namespace qvtest
