#include "tef/money.h"

#include <cmath>

#include "tef/ansi_text.h"

namespace tef {
namespace {

constexpr int kMaxIntegerDigits = 14;  // keeps every amount read far inside 64 bits

// Quotient of value / divisor rounded half away from zero.
int64_t DivideRounded(int64_t value, int64_t divisor) {
    int64_t half = divisor / 2;
    return value >= 0 ? (value + half) / divisor : -((-value + half) / divisor);
}

}  // namespace

Money MoneyFromDouble(double value) {
    // nearbyint follows the default rounding mode, round half to even.
    double scaled = std::nearbyint(value * kMoneyScale);
    constexpr double kLimit = 9.2e18;
    if (!std::isfinite(scaled) || std::fabs(scaled) > kLimit) return 0;
    return static_cast<Money>(scaled);
}

double MoneyToDouble(Money value) { return static_cast<double>(value) / kMoneyScale; }

Money MoneyFromCents(int64_t cents) { return cents * (kMoneyScale / 100); }

int64_t MoneyToCents(Money value) { return DivideRounded(value, kMoneyScale / 100); }

std::optional<Money> ParseMoney(std::string_view raw) {
    std::string text = Trim(raw);
    std::string_view rest = text;
    bool negative = !rest.empty() && rest.front() == '-';
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) rest.remove_prefix(1);

    int64_t units = 0;
    int integer_digits = 0;
    while (!rest.empty() && IsDigit(rest.front())) {
        if (++integer_digits > kMaxIntegerDigits) return std::nullopt;
        units = units * 10 + (rest.front() - '0');
        rest.remove_prefix(1);
    }
    int64_t fraction = 0;  // ten-thousandths, plus one extra digit for rounding
    int fraction_digits = 0;
    if (!rest.empty() && (rest.front() == ',' || rest.front() == '.')) {
        rest.remove_prefix(1);
        while (!rest.empty() && IsDigit(rest.front())) {
            if (fraction_digits < 5) {
                fraction = fraction * 10 + (rest.front() - '0');
                ++fraction_digits;
            }
            rest.remove_prefix(1);
        }
    }
    if (!rest.empty() || integer_digits + fraction_digits == 0) return std::nullopt;
    for (; fraction_digits < 5; ++fraction_digits) fraction *= 10;
    Money value = units * kMoneyScale + (fraction + 5) / 10;
    return negative ? -value : value;
}

std::string MoneyToAmountText(Money value, char separator) {
    int64_t cents = MoneyToCents(value);
    int64_t magnitude = cents < 0 ? -cents : cents;
    std::string text = std::to_string(magnitude / 100) + separator + ZeroPadded(magnitude % 100, 2);
    return cents < 0 ? "-" + text : text;
}

}  // namespace tef
