#include "requests/answer_readers.h"

#include "card_data/wipe.h"
#include "platform/code_page.h"
#include "requests/json_envelope.h"
#include "tef/ansi_text.h"

namespace requests {

bool IsTrue(std::string_view field_text) { return field_text == "true"; }

int MenuIndex(const tef::TextLines& options, std::string_view response) {
    const std::string wanted = platform::Utf8ToCp1252(response);
    for (size_t i = 0; i < options.size(); ++i) {
        if (tef::CompareTextAnsi(platform::Utf8ToCp1252(options[i]), wanted) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

TMenuAnswer ReadMenuAnswerObject(simdjson::dom::object answer, const tef::TextLines& options) {
    TMenuAnswer result;
    const std::string response = tef::Trim(GetField(answer, "response"));
    if (!response.empty()) {
        result.item = MenuIndex(options, response);
    } else {
        result.back = IsTrue(GetField(answer, "back_menu"));
        result.cancel = true;
    }
    return result;
}

TFieldAnswer ReadFieldAnswerObject(simdjson::dom::object answer) {
    TFieldAnswer result;
    if (IsTrue(GetField(answer, "typed"))) {
        std::string response = GetField(answer, "response");
        const card_data::WipeOnExit wipe(response);
        result.typed = platform::Utf8ToCp1252(response);
    } else if (IsTrue(GetField(answer, "back_menu"))) {
        result.back = true;
    } else {
        result.cancel = true;
    }
    return result;
}

std::optional<tef::TModalResult> QuestionResult(simdjson::dom::object answer) {
    const std::string type = GetField(answer, "type");
    if (type == "confirmation") return 0;
    if (type != "question") return std::nullopt;
    const std::string response = GetField(answer, "response");
    if (response == "Sim") return tef::mrYes;
    if (response == "Não") return tef::mrNo;
    if (response == "Reimprimir") return tef::mrOk;
    return std::nullopt;
}

}  // namespace requests
