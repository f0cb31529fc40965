// The message handler the service runs with while no request layer is attached: messages
// are read and dropped, nothing is left running when a client goes away.
#pragma once

#include "transport/message_handler.h"

namespace service {

class IdleMessageHandler : public transport::MessageHandler {
public:
    void OnMessage(const std::string&, transport::TClientConnection&) override {}
};

}  // namespace service
