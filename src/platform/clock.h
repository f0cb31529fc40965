// Local wall-clock time in the process's time zone (TZ), the day-count date-time values the
// TEF records and sessions use, and the date/time patterns of the logs and the payment library.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// A broken-down local date and time.
struct LocalDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;

    bool operator==(const LocalDateTime&) const = default;
};

// Days since 1899-12-30 00:00 with the time of day as fraction (negative before that date).
using TDateTime = double;

LocalDateTime Now();
std::chrono::system_clock::time_point SystemNow();

LocalDateTime ToLocal(std::chrono::system_clock::time_point tp);
std::chrono::system_clock::time_point FromLocal(const LocalDateTime& local);

TDateTime ToDateTime(const LocalDateTime& local);
LocalDateTime FromDateTime(TDateTime value);

// Seconds to add to UTC to get the local time in effect at `local` (-10800 in Brasília).
int64_t UtcOffsetSecondsAt(const LocalDateTime& local);

// The same moment in UTC: `local` minus the UTC offset in effect at that local time.
LocalDateTime LocalToUtc(const LocalDateTime& local);

// The moment `local` as the client protocol writes times: UTC, ISO 8601 with milliseconds and
// the letter Z ("2024-05-10T17:30:00.000Z" for 14:30 local at UTC-3).
std::string UtcTimestamp(const LocalDateTime& local);

// True when year/month/day/hour/minute/second name a real moment of the calendar.
bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second);

// Formats with the pattern letters of the logs and the library calls (case-insensitive):
// d dd (day), m mm (month; after h/hh it means minutes), mmmm mmmmm (month name in Portuguese),
// yy yyyy, h hh, n nn (minutes), s ss, z zzz (milliseconds). Any other character, and text in
// double quotes, is copied as it stands. Brazilian conventions: '/' dates, ':' times.
std::string FormatDateTime(std::string_view pattern, const LocalDateTime& t);

// Portuguese month name of month 1..12 as the Brazilian locale writes it ("março").
std::string MonthName(int month);

}  // namespace platform
