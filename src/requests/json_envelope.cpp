#include "requests/json_envelope.h"

#include <mutex>
#include <vector>

#include "card_data/wipe.h"
#include "requests/json_writer.h"

namespace requests {

namespace {

// A parser that held a message larger than this goes back to the system, not to the pool.
constexpr size_t kKeptParserCapacity = 1 << 20;
constexpr size_t kKeptParsers = 4;

// Shared by every thread. A pool per thread (thread_local) is destroyed at each thread's exit,
// and the MinGW runtime of the Windows build may release its storage before the destructor
// runs: the parsers were then deleted through freed memory.
struct ParserPool {
    std::mutex mutex;
    std::vector<std::unique_ptr<simdjson::dom::parser>> parsers;
};

ParserPool& Pool() {
    static ParserPool pool;
    return pool;
}

}  // namespace

JsonDocument::JsonDocument() {
    ParserPool& pool = Pool();
    {
        std::lock_guard lock(pool.mutex);
        if (!pool.parsers.empty()) {
            parser_ = std::move(pool.parsers.back());
            pool.parsers.pop_back();
            return;
        }
    }
    parser_ = std::make_unique<simdjson::dom::parser>();
}

JsonDocument::~JsonDocument() {
    if (!parser_ || parser_->capacity() > kKeptParserCapacity) return;
    ParserPool& pool = Pool();
    std::lock_guard lock(pool.mutex);
    if (pool.parsers.size() < kKeptParsers) pool.parsers.push_back(std::move(parser_));
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
