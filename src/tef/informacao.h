// One value of a TEF record (Windows-1252 text) with typed views. Every view reads the value
// with surrounding blanks removed; the date and time views read only its digits. An unreadable
// value reads as 0 (the zero date for dates); writing 0 or the zero date writes an empty value.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/clock.h"
#include "tef/money.h"
#include "tef/types.h"

namespace tef {

class TKaCliSiTefInformacao {
public:
    const AnsiString& AsString() const { return fInformacao; }
    void SetAsString(AnsiString value) { fInformacao = std::move(value); }

    // Stored only.
    const AnsiString& Nome() const { return FNome; }
    void SetNome(AnsiString value) { FNome = std::move(value); }

    // Decimal integer (32-bit).
    int32_t AsInteger() const;
    void SetAsInteger(int32_t value);

    // A count of hundredths: every "," and "." is dropped on reading, so "12,34" and "1234"
    // both read 12.34. Written as value × 100 rounded half away from zero, at least three
    // digits ("005" for 0.05).
    double AsFloat() const;
    void SetAsFloat(double value);

    // The AsFloat view in exact money (ten-thousandths) instead of a Double.
    Money AsMoney() const;
    void SetAsMoney(Money value);

    // "DDMMYYYY".
    platform::TDateTime AsDate() const;
    void SetAsDate(platform::TDateTime value);

    // "HHNNSS"; the value is a time of day (a fraction of a day).
    platform::TDateTime AsTime() const;
    void SetAsTime(platform::TDateTime value);

    // "DDMMHHNNSS", read in the current year.
    platform::TDateTime AsTimeStamp() const;
    void SetAsTimeStamp(platform::TDateTime value);

    // "YYYYMMDDHHNNSS".
    platform::TDateTime AsTimeStampSQL() const;
    void SetAsTimeStampSQL(platform::TDateTime value);

private:
    void SetFormattedDate(platform::TDateTime value, const char* pattern);
    void SetCents(int64_t cents);

    AnsiString fInformacao;
    AnsiString FNome;
};

}  // namespace tef
