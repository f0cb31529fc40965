#include "platform/clock.h"

#include <array>
#include <cctype>
#include <cmath>

#include "platform/civil_calendar.h"

#include "platform/test_clock.h"

namespace platform {
namespace {

constexpr std::array<const char*, 12> kMonthNames = {
    "janeiro", "fevereiro", "março",    "abril",   "maio",     "junho",
    "julho",   "agosto",    "setembro", "outubro", "novembro", "dezembro"};

constexpr int64_t kDelphiEpochDays = -25569;  // 1899-12-30 relative to 1970-01-01
constexpr int64_t kMsPerDay = 86400000;

// The date `days` after 1970-01-01 at `ms_of_day` milliseconds after midnight.
LocalDateTime FromDays(int64_t days, int64_t ms_of_day) {
    LocalDateTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(ms_of_day / 3600000);
    t.minute = static_cast<int>(ms_of_day / 60000 % 60);
    t.second = static_cast<int>(ms_of_day / 1000 % 60);
    t.millisecond = static_cast<int>(ms_of_day % 1000);
    return t;
}

std::string Padded(int value, size_t width) {
    std::string s = std::to_string(value);
    if (s.size() < width) s.insert(0, width - s.size(), '0');
    return s;
}

size_t CountRun(std::string_view p, size_t i) {
    size_t n = 1;
    while (i + n < p.size() && std::tolower(p[i + n]) == std::tolower(p[i])) ++n;
    return n;
}

}  // namespace

std::chrono::system_clock::time_point SystemNow() {
    if (const auto set_by_test = TestClockNow()) return *set_by_test;
    return std::chrono::system_clock::now();
}

LocalDateTime Now() { return ToLocal(SystemNow()); }

int64_t UtcOffsetSecondsAt(const LocalDateTime& t) {
    int64_t local_secs =
        DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    auto utc = std::chrono::system_clock::to_time_t(FromLocal(t));
    return local_secs - static_cast<int64_t>(utc);
}

LocalDateTime LocalToUtc(const LocalDateTime& t) {
    const int64_t ms = DaysFromCivil(t.year, t.month, t.day) * kMsPerDay + t.hour * 3600000LL +
                       t.minute * 60000LL + t.second * 1000LL + t.millisecond -
                       UtcOffsetSecondsAt(t) * 1000;
    const int64_t days = (ms >= 0 ? ms : ms - (kMsPerDay - 1)) / kMsPerDay;
    return FromDays(days, ms - days * kMsPerDay);
}

std::string UtcTimestamp(const LocalDateTime& local) {
    return FormatDateTime("yyyy-mm-dd\"T\"hh:nn:ss.zzz\"Z\"", LocalToUtc(local));
}

TDateTime ToDateTime(const LocalDateTime& t) {
    double days = static_cast<double>(DaysFromCivil(t.year, t.month, t.day) - kDelphiEpochDays);
    double frac =
        (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.millisecond) / 86400000.0;
    return days + frac;
}

LocalDateTime FromDateTime(TDateTime value) {
    double whole = std::floor(value);
    auto ms_of_day = static_cast<int64_t>(std::llround((value - whole) * 86400000.0));
    auto days = static_cast<int64_t>(whole);
    if (ms_of_day >= kMsPerDay) {
        ms_of_day -= kMsPerDay;
        ++days;
    }
    return FromDays(days + kDelphiEpochDays, ms_of_day);
}

bool IsValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool IsValidTime(int hour, int minute, int second) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

std::string MonthName(int month) { return kMonthNames.at(static_cast<size_t>(month - 1)); }

std::string FormatDateTime(std::string_view p, const LocalDateTime& t) {
    std::string out;
    bool after_hour = false;  // "m" right after an hour means minutes
    for (size_t i = 0; i < p.size();) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(p[i])));
        if (c == '"') {
            size_t end = p.find('"', i + 1);
            if (end == std::string_view::npos) end = p.size();
            out.append(p.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        size_t n = CountRun(p, i);
        switch (c) {
            case 'd':
                out += Padded(t.day, n >= 2 ? 2 : 1);
                break;
            case 'y':
                out += n <= 2 ? Padded(t.year % 100, 2) : Padded(t.year, 4);
                break;
            case 'h':
                out += Padded(t.hour, n >= 2 ? 2 : 1);
                break;
            case 'n':
                out += Padded(t.minute, n >= 2 ? 2 : 1);
                break;
            case 's':
                out += Padded(t.second, n >= 2 ? 2 : 1);
                break;
            case 'z':
                out += Padded(t.millisecond, n >= 3 ? 3 : 1);
                break;
            case 'm':
                if (after_hour && n <= 2) {
                    out += Padded(t.minute, n);
                } else if (n <= 2) {
                    out += Padded(t.month, n);
                } else {
                    std::string name = MonthName(t.month);
                    out += n == 3 ? name.substr(0, 3) : name;
                }
                break;
            default:
                out.append(p.substr(i, n));
                break;
        }
        if (c == 'h')
            after_hour = true;
        else if (c != ':' && c != ' ' && c != '.')
            after_hour = false;
        i += n;
    }
    return out;
}

}  // namespace platform
