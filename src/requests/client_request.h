// One client message being handled: its text, the object the router parsed it into (once, for
// the session check and the route handler alike) and the client that sent it, to which every
// reply goes.
//
// A request lives on the stack of the router for the time of one message; the object's views
// are valid as long as the request is.
#pragma once

#include <simdjson.h>

#include <string>
#include <string_view>

#include "requests/json_envelope.h"
#include "transport/client_channel.h"

namespace requests {

class TClientRequest {
public:
    TClientRequest(const std::string& text, simdjson::dom::object object,
                   transport::ClientChannel& client)
        : text_(text), object_(object), client_(client) {}

    const std::string& Text() const { return text_; }
    simdjson::dom::object Object() const { return object_; }

    // The member's text; raises RequestError "Campo <key> nao encontrado." when it is absent.
    std::string Field(std::string_view key) const { return GetField(object_, key); }
    bool Has(std::string_view key) const { return HasField(object_, key); }

    transport::ClientChannel& Client() const { return client_; }

    // Sends `message` to the client that sent the request.
    void Reply(std::string_view message) const { client_.SendText(message); }
    // Sends {"type":"error","message":<text>}.
    void ReplyError(std::string_view text) const { Reply(ErrorReply(text)); }

    // True when "type" is `expected`; otherwise the client has been told why: the getter's
    // text when it is missing, `mismatch` when it differs.
    bool HasType(std::string_view expected, std::string_view mismatch) const {
        std::string type;
        try {
            type = Field("type");
        } catch (const RequestError& e) {
            ReplyError(e.what());
            return false;
        }
        if (type == expected) return true;
        ReplyError(mismatch);
        return false;
    }

private:
    const std::string& text_;
    simdjson::dom::object object_;
    transport::ClientChannel& client_;
};

}  // namespace requests
