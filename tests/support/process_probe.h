// Whether a program the tests started (or one it started) still runs, asked of the system by
// its process id.
#pragma once

#include "platform/process.h"

namespace qvtest {

// True once no running program has the id `pid` (an ended one that nobody waits for counts as
// gone).
bool ProcessGone(platform::ProcessId pid);

}  // namespace qvtest
