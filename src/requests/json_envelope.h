// The JSON envelope of client messages: parsing one message, the required-field getter and
// the error reply. A message must be exactly one JSON value; when a key occurs twice the first
// occurrence counts.
#pragma once

#include <simdjson.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace requests {

// A failure of a request whose message text is sent to the client in the error reply.
class RequestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A message that is JSON but not an object. It is not answered: it ends the connection.
class NotAnObjectError : public std::runtime_error {
public:
    NotAnObjectError() : std::runtime_error("A mensagem JSON não é um objeto.") {}
};

// A parsed client message. Holds a parser, so values taken from it live as long as it does.
// Parsers are reused by the thread that made them (a new one per message costs allocations
// on every request); one that grew large for a big message is let go instead.
class JsonDocument {
public:
    JsonDocument();
    ~JsonDocument();
    JsonDocument(const JsonDocument&) = delete;
    JsonDocument& operator=(const JsonDocument&) = delete;

    // Parses `text`; false when it is not exactly one valid JSON value.
    bool Parse(std::string_view text);
    // The same, reading `text` where it lies when it has the parser's padding to spare
    // (messages from the transport do), instead of copying it.
    bool Parse(const std::string& text);
    bool Parse(const char* text) { return Parse(std::string_view(text)); }

    bool IsObject() const;

    // The root as an object; raises NotAnObjectError when the root is another kind of value.
    simdjson::dom::object Object() const;

    simdjson::dom::element Root() const { return root_; }

    // Overwrites what the parse left in the parser (the message's strings and numbers), for a
    // message that carried card data or a secret; values taken from it are gone afterwards.
    void Wipe() noexcept;

private:
    std::unique_ptr<simdjson::dom::parser> parser_;
    simdjson::dom::element root_;
};

// The text of member `key`: a string's content, a number's JSON text, "true", "false" or
// "null", and empty text for an object or array. Raises RequestError
// "Campo <key> nao encontrado." when there is no such member.
std::string GetField(simdjson::dom::object object, std::string_view key);

// True when the object has a member `key`.
bool HasField(simdjson::dom::object object, std::string_view key);

// The text view of any value, as GetField returns it.
std::string ValueText(simdjson::dom::element value);

// {"type":"error","message":<text>}
std::string ErrorReply(std::string_view message);

}  // namespace requests
