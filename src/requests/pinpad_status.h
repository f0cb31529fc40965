// "/pinpad/status": whether a PIN pad is connected to the payment library, told to the client
// as a status word and a message.
#pragma once

#include <string>
#include <string_view>

namespace requests {

struct TPinpadStatus {
    const char* status;   // "connected", "disconnected", "error" or empty
    const char* message;  // in Portuguese, for the operator
};

// What the CliSiTef engine's presence text (compared exactly) means for the client; empty
// status and message for a text it does not know.
TPinpadStatus PinpadStatus(std::string_view engine_text);

// {"type":"status","status":...,"message":...}
std::string PinpadStatusReply(const TPinpadStatus& status);

}  // namespace requests
