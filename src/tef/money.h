// Money inside the TEF component: a signed 64-bit count of ten-thousandths of the currency unit
// (123400 is 12,34). Floating point appears only where an interface takes a Double, and is
// converted here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tef {

using Money = int64_t;

inline constexpr Money kMoneyScale = 10000;

// value × 10000 rounded half to even; NaN, infinities and amounts beyond the range give 0.
Money MoneyFromDouble(double value);

double MoneyToDouble(Money value);

Money MoneyFromCents(int64_t cents);

// Whole cents, rounded half away from zero.
int64_t MoneyToCents(Money value);

// Reads a decimal amount with "," or "." as the one decimal separator and no grouping
// ("12,34", "12.34", "-0,5", "7"), blanks around it ignored. Digits beyond the fourth decimal
// are rounded half away from zero. None for unreadable text or an amount beyond the range.
std::optional<Money> ParseMoney(std::string_view text);
// ParseMoney, with 0 for what it cannot read.
inline Money MoneyFromText(std::string_view text) { return ParseMoney(text).value_or(0); }

// Two decimals with `separator` and no grouping, cents rounded half away from zero ("12,34",
// "0,00", "-0,05"): the amount text the payment library expects.
std::string MoneyToAmountText(Money value, char separator = ',');

}  // namespace tef
