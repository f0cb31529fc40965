#include "state_file.h"

#include <simdjson.h>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/json_string.h"

namespace clisitef_sim {
namespace {

constexpr const char* kPayment = "payment";
constexpr const char* kCancellation = "cancellation";

// A Windows-1252 text as a JSON string (UTF-8).
std::string JsonString(const std::string& cp1252) {
    std::string out;
    platform::AppendJsonString(out, platform::Cp1252ToUtf8(cp1252));
    return out;
}

std::string PendingJson(const PaymentBook::Pending& p) {
    std::string variables;
    for (const auto& [name, value] : p.variables)
        variables += (variables.empty() ? "" : ", ") + JsonString(name) + ": " + JsonString(value);
    return std::string("{\"kind\": \"") +
           (p.kind == RecordKind::kCancellation ? kCancellation : kPayment) +
           "\", \"variables\": {" + variables + "}}";
}

[[noreturn]] void Broken(const std::string& path, const std::string& what) {
    throw StateError(path + ": " + what);
}

PaymentBook::Pending ReadPending(simdjson::dom::object entry, const std::string& path) {
    PaymentBook::Pending p;
    std::string_view kind;
    simdjson::dom::object variables;
    if (entry["kind"].get(kind) || entry["variables"].get(variables))
        Broken(path, "a pending function needs \"kind\" and \"variables\"");
    if (kind != kPayment && kind != kCancellation) Broken(path, "unknown kind of function");
    p.kind = kind == kPayment ? RecordKind::kPayment : RecordKind::kCancellation;
    for (auto [name, value] : variables) {
        std::string_view text;
        if (value.get(text)) Broken(path, "a variable is not a string");
        p.variables[platform::Utf8ToCp1252(name)] = platform::Utf8ToCp1252(text);
    }
    return p;
}

}  // namespace

State ReadState(const std::string& path) {
    State state;
    if (!platform::FileExists(path)) return state;
    const platform::FileContents text = platform::ReadFile(path);
    if (!text) Broken(path, "cannot be read: " + text.Status().Reason());
    simdjson::dom::parser parser;
    simdjson::dom::object root;
    if (parser.parse(simdjson::padded_string(*text)).get(root)) Broken(path, "not a JSON object");
    simdjson::dom::array pending;
    if (root["next_nsu"].get(state.next_nsu) || root["pending"].get(pending))
        Broken(path, "needs \"next_nsu\" and \"pending\"");
    for (simdjson::dom::element entry : pending) {
        simdjson::dom::object object;
        if (entry.get(object)) Broken(path, "a pending function is not an object");
        state.pending.push_back(ReadPending(object, path));
    }
    return state;
}

void WriteState(const std::string& path, const State& state) {
    std::string text = "{\"next_nsu\": " + std::to_string(state.next_nsu) + ",\n \"pending\": [";
    for (size_t i = 0; i < state.pending.size(); ++i)
        text += std::string(i == 0 ? "\n  " : ",\n  ") + PendingJson(state.pending[i]);
    text += "]}\n";
    if (const platform::FileStatus written = platform::WriteFile(path, text, true); !written)
        throw StateError(path + ": cannot be written: " + written.Reason());
}

}  // namespace clisitef_sim
