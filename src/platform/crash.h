// Ending the process the way a crash does: for the test hooks that stop the service at a
// chosen point of a payment, so a test can find out what survives there.
#pragma once

namespace platform {

// Ends this process at once, as SIGKILL does (on Windows TerminateProcess, with the exit code
// 137 a parent sees for a killed program on Linux): no handler, no destructor, no flushed
// buffer runs.
[[noreturn]] void KillCurrentProcess() noexcept;

}  // namespace platform
