// What the client's answers to prompts mean: the menu choice, the field value, the question's
// result. Pure functions over one parsed answer; the data module reads the answer and applies
// the outcome to the TEF component's event.
#pragma once

#include <simdjson.h>

#include <optional>
#include <string>
#include <string_view>

#include "tef/types.h"

namespace requests {

// Boolean answer fields are compared as text: the JSON value true and the string "true".
bool IsTrue(std::string_view field_text);

// Index of the first option line equal to `response`, letter case ignored; -1 when none.
int MenuIndex(const tef::TextLines& options, std::string_view response);

struct TMenuAnswer {
    std::optional<int> item;  // a choice was made (-1: it matches no option)
    bool back = false;        // no choice, "back_menu" true
    bool cancel = false;      // no choice: the operation is to be cancelled
};
// A "menu" answer: "response" (trimmed) names the option; an empty one reads "back_menu".
TMenuAnswer ReadMenuAnswerObject(simdjson::dom::object answer, const tef::TextLines& options);

struct TFieldAnswer {
    std::optional<tef::AnsiString> typed;  // the value typed in, Windows-1252
    bool back = false;
    bool cancel = false;  // neither typed nor back
};
// A "collect" answer: "typed" true carries "response", otherwise "back_menu" is read.
TFieldAnswer ReadFieldAnswerObject(simdjson::dom::object answer);

// The modal result of a "confirmation" (0) or "question" answer ("Sim" 6, "Não" 7,
// "Reimprimir" 1); none for anything else.
std::optional<tef::TModalResult> QuestionResult(simdjson::dom::object answer);

}  // namespace requests
