// Ending the process the way a crash does: for the test hooks that stop the service at a
// chosen point of a payment, so a test can find out what survives there.
#pragma once

namespace platform {

// Ends this process at once with SIGKILL: no handler, no destructor, no flushed buffer runs.
[[noreturn]] void KillCurrentProcess() noexcept;

}  // namespace platform
