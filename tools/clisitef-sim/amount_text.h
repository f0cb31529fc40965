// Amount texts as they travel through the library calls: a number with at most two decimals,
// "," or "." as decimal separator, no sign and no grouping.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text_template.h"

namespace clisitef_sim {

// Cents of "189,23", "189.23", "189,2" or "189"; nullopt for anything else.
std::optional<int64_t> ParseCents(std::string_view text);

// "189,23" (with `separator` between units and cents).
std::string FormatCents(int64_t cents, char separator);

// Sets the amount variables of a function or payment from its cents: "amount_cents" (18923),
// "amount_br" (189,23), "amount_dot" (189.23) and "cents" (23).
void AddAmountVariables(Variables& variables, int64_t cents);

}  // namespace clisitef_sim
