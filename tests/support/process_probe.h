// What the system says about processes: whether a program the tests started (or one it
// started) still runs, and whether this one ignores file permissions.
#pragma once

#include "platform/process.h"

namespace qvtest {

// True once no running program has the id `pid` (an ended one that nobody waits for counts as
// gone).
bool ProcessGone(platform::ProcessId pid);

// True when this process may write files whatever their permissions say (root on Linux; a
// read-only file stops everyone on Windows, but not Wine run as root).
bool IgnoresFilePermissions();

}  // namespace qvtest
