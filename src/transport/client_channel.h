// The client end of one connection as the request layer sees it: the connection a message
// arrived on, through which its replies go and, during a payment, the client's answers come
// back. TClientConnection is the real one; tests may supply their own.
//
// Thread contract: used by the thread that handles the connection's messages.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace transport {

class ClientChannel {
public:
    virtual ~ClientChannel() = default;

    // One message to the client. Raises ConnectionClosed when it cannot be sent.
    virtual void SendText(std::string_view text) = 0;

    // The client's next message (blocks until one arrives); empty for an empty message or a
    // close. Raises ConnectionClosed when the connection ends.
    virtual std::string ReadMessage() = 0;

    // True when a read would find input within `timeout` (or the connection has ended).
    virtual bool WaitForInput(std::chrono::milliseconds timeout) = 0;

    // The connection was upgraded and has not ended.
    virtual bool IsConnected() const = 0;
};

}  // namespace transport
