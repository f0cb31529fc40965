#include "platform/json_string.h"

#include <cstdio>

namespace platform {

void AppendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace platform
