// The answers a client sends to the service's prompts, as whole messages. Header only: it
// builds them with the service's JSON writer, so a target using it links qv_requests.
#pragma once

#include <string>

#include "requests/json_writer.h"

namespace qvtest {

// Chooses `response` (an option line) at a menu; an empty one with `back` goes back.
inline std::string MenuAnswer(const std::string& response, bool back = false) {
    return requests::JsonObject()
        .Add("route", "/transaction")
        .Add("type", "menu")
        .Add("response", response)
        .Add("back_menu", back)
        .ToString();
}

// A field typed in (`typed`), or not: then back (`back`) or give up.
inline std::string FieldAnswer(bool typed, const std::string& response, bool back = false) {
    return requests::JsonObject()
        .Add("route", "/transaction")
        .Add("type", "collect")
        .Add("typed", typed)
        .Add("response", response)
        .Add("back_menu", back)
        .ToString();
}

// "Sim", "Não" or "Reimprimir" to a question.
inline std::string QuestionAnswer(const std::string& response) {
    return requests::JsonObject()
        .Add("route", "/transaction")
        .Add("type", "question")
        .Add("response", response)
        .ToString();
}

// Acknowledges a notice.
inline constexpr const char* kAcknowledge = R"({"route":"/transaction","type":"confirmation"})";

}  // namespace qvtest
