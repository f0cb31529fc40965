#include "journal.h"

#include <cstdio>

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace clisitef_sim {

namespace {

bool Undefined(unsigned char byte) {
    return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

std::string Escape(unsigned char byte) {
    switch (byte) {
        case '\\':
            return "\\\\";
        case '"':
            return "\\\"";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default:
            break;
    }
    if (byte < 0x20 || byte == 0x7F || Undefined(byte)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", byte);
        return hex;
    }
    return platform::Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(&byte), 1));
}

}  // namespace

JournalLine::JournalLine(std::string_view export_name) : line_(export_name) {}

JournalLine& JournalLine::Text(std::string_view name, const char* value) {
    if (value == nullptr) {
        line_ += " " + std::string(name) + "=NULL";
        return *this;
    }
    return Text(name, std::string_view(value));
}

JournalLine& JournalLine::Text(std::string_view name, std::string_view value) {
    line_ += " " + std::string(name) + "=" + Quote(value);
    return *this;
}

JournalLine& JournalLine::Number(std::string_view name, int64_t value) {
    line_ += " " + std::string(name) + "=" + std::to_string(value);
    return *this;
}

JournalLine& JournalLine::Word(std::string_view name, std::string_view word) {
    line_ += " " + std::string(name) + "=" + std::string(word);
    return *this;
}

JournalLine& JournalLine::Result(int64_t result) {
    line_ += " -> " + std::to_string(result);
    return *this;
}

std::string JournalLine::Quote(std::string_view cp1252) {
    std::string quoted = "\"";
    for (char c : cp1252) quoted += Escape(static_cast<unsigned char>(c));
    return quoted + "\"";
}

void Journal::Append(const std::string& line) const {
    if (path_.empty()) return;
    if (const platform::FileStatus written = platform::AppendToFile(path_, line + "\n"); !written)
        std::fprintf(stderr, "clisitef-sim: cannot write the journal: %s\n",
                     written.Message().c_str());
}

}  // namespace clisitef_sim
