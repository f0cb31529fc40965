#include "requests/json_envelope.h"

#include <mutex>
#include <vector>

#include "card_data/wipe.h"
#include "requests/json_writer.h"

namespace requests {

namespace {

// A parser that held a message larger than this goes back to the system, not to the pool.
constexpr size_t kKeptParserCapacity = 1 << 20;
constexpr size_t kKeptParsers = 16;

// Parsers kept for the next documents of any thread. One pool for the process, not one per
// thread: the Windows runtime frees a thread's thread_local storage before it destroys the
// objects in it, so a pool per thread crashed the service when a connection's thread ended.
class ParserPool {
public:
    std::unique_ptr<simdjson::dom::parser> Take() {
        {
            std::lock_guard lock(mutex_);
            if (!parsers_.empty()) {
                auto parser = std::move(parsers_.back());
                parsers_.pop_back();
                return parser;
            }
        }
        return std::make_unique<simdjson::dom::parser>();
    }

    void Give(std::unique_ptr<simdjson::dom::parser>& parser) {
        if (!parser || parser->capacity() > kKeptParserCapacity) return;
        std::lock_guard lock(mutex_);
        if (parsers_.size() < kKeptParsers) parsers_.push_back(std::move(parser));
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<simdjson::dom::parser>> parsers_;  // guarded by mutex_
};

// Never destroyed: documents may end after the static objects of the process.
ParserPool& Parsers() {
    static auto* pool = new ParserPool;
    return *pool;
}

}  // namespace

JsonDocument::JsonDocument() : parser_(Parsers().Take()) {}

JsonDocument::~JsonDocument() {
    try {
        Parsers().Give(parser_);
    } catch (...) {
        // No room to keep it: it goes back to the system.
    }
}

// The DOM parser rejects anything after the one value, as the envelope requires.
bool JsonDocument::Parse(std::string_view text) {
    return !parser_->parse(text.data(), text.size(), true).get(root_);
}

bool JsonDocument::Parse(const std::string& text) { return !parser_->parse(text).get(root_); }

void JsonDocument::Wipe() noexcept {
    simdjson::dom::document& doc = parser_->doc;
    const size_t capacity = doc.capacity();
    if (capacity == 0) return;
    // The sizes simdjson's document::allocate gave both buffers for that capacity. Another
    // release may size them differently, and a wipe past their end would corrupt the heap.
    static_assert(simdjson::SIMDJSON_VERSION_MAJOR == 3 && simdjson::SIMDJSON_VERSION_MINOR == 0,
                  "check the buffer sizes of simdjson's document::allocate before upgrading");
    const size_t tape_words = SIMDJSON_ROUNDUP_N(capacity + 3, 64);
    const size_t string_bytes =
        SIMDJSON_ROUNDUP_N(5 * capacity / 3 + simdjson::SIMDJSON_PADDING, 64);
    card_data::Wipe(doc.tape.get(), tape_words * sizeof(uint64_t));
    card_data::Wipe(doc.string_buf.get(), string_bytes);
    root_ = {};
}

bool JsonDocument::IsObject() const { return root_.is_object(); }

simdjson::dom::object JsonDocument::Object() const {
    simdjson::dom::object object;
    if (root_.get_object().get(object)) throw NotAnObjectError();
    return object;
}

std::string ValueText(simdjson::dom::element value) {
    switch (value.type()) {
        case simdjson::dom::element_type::STRING:
            return std::string(value.get_string().value());
        case simdjson::dom::element_type::BOOL:
            return value.get_bool().value() ? "true" : "false";
        case simdjson::dom::element_type::NULL_VALUE:
            return "null";
        case simdjson::dom::element_type::ARRAY:
        case simdjson::dom::element_type::OBJECT:
            return {};
        default:
            return simdjson::minify(value);  // numbers, in their shortest form
    }
}

bool HasField(simdjson::dom::object object, std::string_view key) {
    simdjson::dom::element value;
    return !object.at_key(key).get(value);
}

std::string GetField(simdjson::dom::object object, std::string_view key) {
    simdjson::dom::element value;
    if (object.at_key(key).get(value)) {
        throw RequestError("Campo " + std::string(key) + " nao encontrado.");
    }
    return ValueText(value);
}

std::string ErrorReply(std::string_view message) {
    return JsonObject().Add("type", "error").Add("message", message).ToString();
}

}  // namespace requests
