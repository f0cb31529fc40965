#include "amount_text.h"

#include <algorithm>
#include <cctype>

namespace clisitef_sim {

namespace {

// More digits than this could overflow once turned into cents.
constexpr size_t kMaxUnitDigits = 15;

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

int64_t DigitsValue(std::string_view digits) {
    int64_t value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

}  // namespace

std::optional<int64_t> ParseCents(std::string_view text) {
    size_t separator = text.find_first_of(",.");
    std::string_view units = text.substr(0, separator);
    std::string_view decimals =
        separator == std::string_view::npos ? std::string_view() : text.substr(separator + 1);
    if (units.empty() || units.size() > kMaxUnitDigits || !AllDigits(units)) return std::nullopt;
    if (separator != std::string_view::npos && (decimals.empty() || decimals.size() > 2))
        return std::nullopt;
    if (!AllDigits(decimals)) return std::nullopt;
    int64_t cents = DigitsValue(decimals);
    if (decimals.size() == 1) cents *= 10;
    return DigitsValue(units) * 100 + cents;
}

std::string FormatCents(int64_t cents, char separator) {
    std::string decimals = std::to_string(cents % 100);
    if (decimals.size() < 2) decimals.insert(0, 1, '0');
    return std::to_string(cents / 100) + separator + decimals;
}

void AddAmountVariables(Variables& variables, int64_t cents) {
    std::string with_comma = FormatCents(cents, ',');
    variables["amount_cents"] = std::to_string(cents);
    variables["amount_br"] = with_comma;
    variables["amount_dot"] = FormatCents(cents, '.');
    variables["cents"] = with_comma.substr(with_comma.size() - 2);
}

}  // namespace clisitef_sim
