// What the listener does with the messages of its connections. The listener calls these on
// the connection's own thread; the handler replies through TServerThread::SendClientMessage
// (or reads further messages with TServerThread::DecodeWebSocketFrame) on that same thread.
// One handler serves every connection, so it must tolerate calls from several threads.
#pragma once

#include <string>

namespace transport {

class TClientConnection;

class MessageHandler {
public:
    virtual ~MessageHandler() = default;

    // One complete, non-empty message. An exception leaving it ends that connection.
    virtual void OnMessage(const std::string& text, TClientConnection& connection) = 0;

    // After every message read, delivered or not (also when OnMessage raised).
    virtual void AfterMessage() {}

    // When a connection has ended, whatever the reason; the place where work left running
    // for the client (pending payment-library transactions) is cancelled.
    virtual void OnDisconnect(TClientConnection& connection) { (void)connection; }
};

}  // namespace transport
