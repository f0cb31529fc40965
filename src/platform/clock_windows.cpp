#include "platform/civil_calendar.h"
#include "platform/clock.h"
#include "platform/win32.h"

namespace platform {
namespace {

using Milliseconds = std::chrono::milliseconds;

// FILETIME counts 100 ns from 1601-01-01; the system clock milliseconds from 1970-01-01.
constexpr int64_t kFileTimeEpochMs = 11644473600000;

FILETIME ToFileTime(int64_t ms_since_1970) {
    const uint64_t ticks = static_cast<uint64_t>(ms_since_1970 + kFileTimeEpochMs) * 10000;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

int64_t FromFileTime(const FILETIME& ft) {
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000) - kFileTimeEpochMs;
}

// The rules of the system's time zone in `year` (Windows knows when Brazil stopped observing
// summer time, for one).
bool ZoneIn(WORD year, TIME_ZONE_INFORMATION& zone) {
    return ::GetTimeZoneInformationForYear(year, nullptr, &zone) != 0;
}

}  // namespace

// The local time is the system's (the zone set in Windows' settings); Windows gives a
// process no zone of its own.
LocalDateTime ToLocal(std::chrono::system_clock::time_point tp) {
    const int64_t ms = std::chrono::floor<Milliseconds>(tp.time_since_epoch()).count();
    const FILETIME ft = ToFileTime(ms);
    SYSTEMTIME utc{}, local{};
    TIME_ZONE_INFORMATION zone{};
    if (!::FileTimeToSystemTime(&ft, &utc) || !ZoneIn(utc.wYear, zone) ||
        !::SystemTimeToTzSpecificLocalTime(&zone, &utc, &local))
        local = utc;
    return LocalDateTime{local.wYear,   local.wMonth,  local.wDay,         local.wHour,
                         local.wMinute, local.wSecond, local.wMilliseconds};
}

std::chrono::system_clock::time_point FromLocal(const LocalDateTime& t) {
    // Counted as if it were UTC first, which also carries a field past its range into the
    // next (the 32nd of a month is the 1st of the next), as mktime does.
    const int64_t naive =
        DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) *
            86400000 +
        t.hour * 3600000LL + t.minute * 60000LL + t.second * 1000LL + t.millisecond;
    const FILETIME naive_ft = ToFileTime(naive);
    SYSTEMTIME local{}, utc{};
    FILETIME utc_ft{};
    TIME_ZONE_INFORMATION zone{};
    if (!::FileTimeToSystemTime(&naive_ft, &local) || !ZoneIn(local.wYear, zone) ||
        !::TzSpecificLocalTimeToSystemTime(&zone, &local, &utc) ||
        !::SystemTimeToFileTime(&utc, &utc_ft))
        return std::chrono::system_clock::time_point(Milliseconds(naive));
    return std::chrono::system_clock::time_point(Milliseconds(FromFileTime(utc_ft)));
}

}  // namespace platform
