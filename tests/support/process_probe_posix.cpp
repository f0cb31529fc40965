#include <signal.h>

#include "support/process_probe.h"

namespace qvtest {

bool ProcessGone(platform::ProcessId pid) { return ::kill(pid, 0) != 0; }

}  // namespace qvtest
