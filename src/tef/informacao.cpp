#include "tef/informacao.h"

#include <cmath>
#include <string_view>

#include "tef/ansi_text.h"

namespace tef {
namespace {

// Field `index` (0-based) of `length` digits; a field beyond the text reads as 0.
int DigitField(std::string_view digits, size_t index, size_t length) {
    if (index >= digits.size()) return 0;
    return StrToIntDef(digits.substr(index, length), 0);
}

// The moment named by the parts, or the zero date when they name none.
platform::TDateTime Encode(const platform::LocalDateTime& t) {
    if (!platform::IsValidDate(t.year, t.month, t.day) ||
        !platform::IsValidTime(t.hour, t.minute, t.second)) {
        return 0;
    }
    return platform::ToDateTime(t);
}

std::optional<int32_t> HundredthsOf(std::string_view value) {
    std::string digits;
    for (char c : Trim(value)) {
        if (c != ',' && c != '.') digits += c;
    }
    return ParseInt32(digits);
}

}  // namespace

int32_t TKaCliSiTefInformacao::AsInteger() const { return StrToIntDef(Trim(fInformacao), 0); }

void TKaCliSiTefInformacao::SetAsInteger(int32_t value) {
    fInformacao = value == 0 ? "" : std::to_string(value);
}

double TKaCliSiTefInformacao::AsFloat() const {
    return HundredthsOf(fInformacao).value_or(0) / 100.0;
}

void TKaCliSiTefInformacao::SetAsFloat(double value) {
    double cents = std::round(value * 100);  // std::round rounds half away from zero
    SetCents(std::isfinite(cents) && std::fabs(cents) < 9e18 ? static_cast<int64_t>(cents) : 0);
}

Money TKaCliSiTefInformacao::AsMoney() const {
    return MoneyFromCents(HundredthsOf(fInformacao).value_or(0));
}

void TKaCliSiTefInformacao::SetAsMoney(Money value) { SetCents(MoneyToCents(value)); }

void TKaCliSiTefInformacao::SetCents(int64_t cents) {
    fInformacao = cents == 0 ? "" : ZeroPadded(cents, 3);
}

platform::TDateTime TKaCliSiTefInformacao::AsDate() const {
    std::string d = OnlyDigits(fInformacao);
    return Encode({DigitField(d, 4, 4), DigitField(d, 2, 2), DigitField(d, 0, 2)});
}

void TKaCliSiTefInformacao::SetAsDate(platform::TDateTime value) {
    SetFormattedDate(value, "ddmmyyyy");
}

platform::TDateTime TKaCliSiTefInformacao::AsTime() const {
    std::string d = OnlyDigits(fInformacao);
    return Encode({1899, 12, 30, DigitField(d, 0, 2), DigitField(d, 2, 2), DigitField(d, 4, 2)});
}

void TKaCliSiTefInformacao::SetAsTime(platform::TDateTime value) {
    SetFormattedDate(value, "hhnnss");
}

platform::TDateTime TKaCliSiTefInformacao::AsTimeStamp() const {
    std::string d = OnlyDigits(fInformacao);
    return Encode({platform::Now().year, DigitField(d, 2, 2), DigitField(d, 0, 2),
                   DigitField(d, 4, 2), DigitField(d, 6, 2), DigitField(d, 8, 2)});
}

void TKaCliSiTefInformacao::SetAsTimeStamp(platform::TDateTime value) {
    SetFormattedDate(value, "ddmmhhnnss");
}

platform::TDateTime TKaCliSiTefInformacao::AsTimeStampSQL() const {
    std::string d = OnlyDigits(fInformacao);
    return Encode({DigitField(d, 0, 4), DigitField(d, 4, 2), DigitField(d, 6, 2),
                   DigitField(d, 8, 2), DigitField(d, 10, 2), DigitField(d, 12, 2)});
}

void TKaCliSiTefInformacao::SetAsTimeStampSQL(platform::TDateTime value) {
    SetFormattedDate(value, "yyyymmddhhnnss");
}

void TKaCliSiTefInformacao::SetFormattedDate(platform::TDateTime value, const char* pattern) {
    fInformacao =
        value == 0 ? "" : platform::FormatDateTime(pattern, platform::FromDateTime(value));
}

}  // namespace tef
