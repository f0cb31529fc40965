#include <cmath>
#include <ctime>

#include "platform/clock.h"

namespace platform {

LocalDateTime ToLocal(std::chrono::system_clock::time_point tp) {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(tp.time_since_epoch()).count();
    std::time_t secs = static_cast<std::time_t>(std::floor(ms / 1000.0));
    std::tm tm{};
    localtime_r(&secs, &tm);
    LocalDateTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(ms - static_cast<int64_t>(secs) * 1000);
    return t;
}

std::chrono::system_clock::time_point FromLocal(const LocalDateTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    std::time_t secs = std::mktime(&tm);
    return std::chrono::system_clock::from_time_t(secs) + std::chrono::milliseconds(t.millisecond);
}

}  // namespace platform
