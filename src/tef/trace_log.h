// The trace file of the TEF component: one line per event, "-- dd/mm hh:nn:ss:zzz - text" and
// CR LF, in Windows-1252, appended to the file (created when missing). Writing the trace never
// fails its caller.
#pragma once

#include <string>

#include "platform/clock.h"
#include "tef/types.h"

namespace tef {

// The line for `text` (Windows-1252) stamped with `when`, CR LF included.
AnsiString TraceLine(const platform::LocalDateTime& when, const AnsiString& text);

// Appends TraceLine(now, text) to `path`; nothing when `path` is empty; failures are ignored.
void AppendTraceLine(const std::string& path, const AnsiString& text) noexcept;

}  // namespace tef
