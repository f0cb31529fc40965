#include "requests/request_values.h"

#include <vector>

#include "requests/json_envelope.h"
#include "tef/ansi_text.h"

namespace requests {
namespace {

// Reads `min_digits` to `max_digits` digits from the front of `rest`.
std::optional<int> TakeNumber(std::string_view& rest, size_t min_digits, size_t max_digits) {
    size_t digits = 0;
    int value = 0;
    while (digits < rest.size() && digits < max_digits && tef::IsDigit(rest[digits]))
        value = value * 10 + (rest[digits++] - '0');
    if (digits < min_digits) return std::nullopt;
    rest.remove_prefix(digits);
    return value;
}

bool TakeChar(std::string_view& rest, char c) {
    if (rest.empty() || rest.front() != c) return false;
    rest.remove_prefix(1);
    return true;
}

std::vector<std::string_view> SplitAtSpaces(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t space = text.find(' '); space != std::string_view::npos;
         space = text.find(' ', start)) {
        parts.push_back(text.substr(start, space - start));
        start = space + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace

int32_t IntegerValue(std::string_view text) {
    const std::optional<int32_t> value = tef::ParseInt32(text);
    if (!value) throw RequestError("'" + std::string(text) + "' não é um número inteiro válido.");
    return *value;
}

tef::Money AmountValue(std::string_view text) {
    const std::optional<tef::Money> value = tef::ParseMoney(text);
    if (!value) {
        throw RequestError("'" + std::string(text) + "' não é um valor de ponto flutuante válido.");
    }
    return *value;
}

std::string ParseTransactionDate(std::string_view text) {
    if (text.empty()) return "Formato inválido";
    const std::vector<std::string_view> parts = SplitAtSpaces(text);
    const std::string_view date = parts[0];
    if (date.size() != 10) return "Formato de data inválido";
    std::string result = std::string(date.substr(8, 2)) + "/" + std::string(date.substr(5, 2)) +
                         "/" + std::string(date.substr(0, 4));
    if (parts.size() < 2) return result;
    const std::string_view time = parts[1];
    if (time.size() < 8) return result + " Formato de hora inválido";
    return result + " " + std::string(time.substr(0, 2)) + ":" + std::string(time.substr(3, 2)) +
           ":" + std::string(time.substr(6, 2));
}

std::optional<platform::TDateTime> DateTimeValue(std::string_view text) {
    std::string_view rest = text;
    std::optional<int> day, month, year, hour = 0, minute = 0, second = 0;
    const bool date = (day = TakeNumber(rest, 1, 2)) && TakeChar(rest, '/') &&
                      (month = TakeNumber(rest, 1, 2)) && TakeChar(rest, '/') &&
                      (year = TakeNumber(rest, 4, 4));
    if (!date) return std::nullopt;
    if (TakeChar(rest, ' ')) {
        const bool time = (hour = TakeNumber(rest, 1, 2)) && TakeChar(rest, ':') &&
                          (minute = TakeNumber(rest, 1, 2)) &&
                          (!TakeChar(rest, ':') || (second = TakeNumber(rest, 1, 2)));
        if (!time) return std::nullopt;
    }
    if (!rest.empty() || !platform::IsValidDate(*year, *month, *day) ||
        !platform::IsValidTime(*hour, *minute, *second)) {
        return std::nullopt;
    }
    return platform::ToDateTime({*year, *month, *day, *hour, *minute, *second, 0});
}

}  // namespace requests
