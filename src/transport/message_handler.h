// What the listener does with the messages of its connections. The listener calls these on
// the connection's own thread; the handler replies (and reads further messages) through the
// client it is handed, on that same thread. One handler serves every connection, so it must
// tolerate calls from several threads.
#pragma once

#include <string>

#include "transport/client_channel.h"

namespace transport {

class MessageHandler {
public:
    virtual ~MessageHandler() = default;

    // One complete, non-empty message. An exception leaving it ends that connection.
    virtual void OnMessage(const std::string& text, ClientChannel& client) = 0;

    // After every message read, delivered or not (also when OnMessage raised).
    virtual void AfterMessage() {}

    // When the service starts, before the listener takes the first connection: the handler's
    // start-up work (opening the files it keeps).
    virtual void OnServiceStart() {}

    // When a connection has ended, whatever the reason; the place where work left running
    // for the client (pending payment-library transactions) is cancelled.
    virtual void OnDisconnect(ClientChannel& client) { (void)client; }
};

}  // namespace transport
