// Builds the JSON text of every message the service sends. Members keep the order in which
// they were added; the text is compact and pure ASCII: control characters use their short
// escapes or \uXXXX (upper-case hex), the slash is escaped, and every character above U+007F
// is written as \uXXXX of its UTF-16 code units. Integers are plain decimal; other numbers have
// at most 15 significant digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace requests {

class JsonArray;

class JsonObject {
public:
    JsonObject& Add(std::string_view key, std::string_view text);
    JsonObject& Add(std::string_view key, const char* text) {
        return Add(key, std::string_view(text));
    }
    JsonObject& Add(std::string_view key, const std::string& text) {
        return Add(key, std::string_view(text));
    }
    JsonObject& Add(std::string_view key, bool value);
    JsonObject& Add(std::string_view key, int64_t value);
    JsonObject& Add(std::string_view key, int value) {
        return Add(key, static_cast<int64_t>(value));
    }
    JsonObject& Add(std::string_view key, double value);
    JsonObject& Add(std::string_view key, const JsonArray& value);
    JsonObject& Add(std::string_view key, const JsonObject& value);
    JsonObject& AddNull(std::string_view key);

    // The object's JSON text.
    std::string ToString() const { return body_ + '}'; }

private:
    void AppendKey(std::string_view key);

    std::string body_ = "{";
};

class JsonArray {
public:
    JsonArray& Add(std::string_view text);
    JsonArray& Add(const char* text) { return Add(std::string_view(text)); }
    JsonArray& Add(const std::string& text) { return Add(std::string_view(text)); }
    JsonArray& Add(int64_t value);
    JsonArray& Add(double value);
    JsonArray& Add(const JsonObject& value);

    std::string ToString() const { return body_ + ']'; }

private:
    void AppendSeparator();

    std::string body_ = "[";
};

// Appends `utf8` as a quoted JSON string following the writing rules above. Malformed UTF-8
// bytes are written as U+FFFD.
void AppendJsonString(std::string& out, std::string_view utf8);

// Appends a non-integer number: at most 15 significant digits, '.' as separator, no exponent
// for ordinary amounts ("189.23", "100"). NaN and infinities, which JSON cannot hold, are null.
void AppendJsonNumber(std::string& out, double value);

}  // namespace requests
