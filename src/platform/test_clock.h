// Test hook: the wall clock a test sets. When QV_CLOCK_FILE names a file holding a local date
// and time ("yyyy-mm-dd hh:nn:ss"), the process's wall clock (SystemNow, Now) reads that moment
// and stands still there until the file says otherwise; a test rewrites the file to move it (a
// payment started before midnight and confirmed after it, say). A missing file or another text
// leaves the system's clock. Monotonic time (deadlines, waits) is never affected.
//
// Thread contract: any thread; the variable and the file are read at every call.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace platform {

inline constexpr const char* kClockFileVariable = "QV_CLOCK_FILE";

// The moment the test clock shows; none when no test clock is set.
std::optional<std::chrono::system_clock::time_point> TestClockNow();

// "yyyy-mm-dd hh:nn:ss" (trailing blanks and line breaks allowed) as a local moment; none for
// any other text or a moment the calendar does not have.
std::optional<std::chrono::system_clock::time_point> ParseClockText(std::string_view text);

}  // namespace platform
