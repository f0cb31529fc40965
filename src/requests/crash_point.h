// Test hook: QV_CRASH_AT names a point of an approved payment at which the service ends at
// once, as a crash would (SIGKILL), so that a test can reach that point deterministically and
// find out what survives it. Points, in the order they come:
//   approved    the library approved; nothing recorded or confirmed yet
//   confirming  a request_id's record says confirming; the library not yet asked to confirm
//   confirmed   the library was asked to confirm; the outcome not yet recorded
//   recorded    the outcome recorded; not yet sent to the client
// Unset or any other text: never.
#pragma once

#include <string_view>

namespace requests {

void CrashPoint(std::string_view point);

}  // namespace requests
