// Values of client requests read as numbers, amounts and dates, with the Brazilian conventions
// the service follows: decimal integers; amounts with "," or "." as their one decimal
// separator and no grouping; dates day/month/year with "/" and 24-hour times. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "tef/money.h"

namespace requests {

// A decimal integer; anything else raises RequestError "'<text>' não é um número inteiro
// válido.".
int32_t IntegerValue(std::string_view text);

// An amount kept with four decimals (further digits rounded half away from zero); anything
// else raises RequestError "'<text>' não é um valor de ponto flutuante válido.".
tef::Money AmountValue(std::string_view text);

// Turns "yyyy-mm-dd" with an optional " hh:nn:ss" into "dd/mm/yyyy hh:nn:ss" by character
// positions, the form DateTimeValue reads. What it cannot turn yields a text DateTimeValue
// refuses: "Formato inválido", "Formato de data inválido", or the date followed by
// " Formato de hora inválido". Parts after the second are ignored.
std::string ParseTransactionDate(std::string_view text);

// "d/m/yyyy", optionally followed by " h:n" or " h:n:s" (one or two digits each), naming a
// real moment; none for anything else.
std::optional<platform::TDateTime> DateTimeValue(std::string_view text);

}  // namespace requests
