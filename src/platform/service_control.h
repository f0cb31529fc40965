// Control requests from the system's service manager. On Linux the manager talks to the
// service process through signals: SIGTERM and SIGINT ask it to stop, SIGUSR1 to pause and
// SIGUSR2 to continue. Process-wide; call InstallServiceControl() on the main thread before
// any other thread starts, so that only WaitForServiceControl() ever sees these signals.
#pragma once

namespace platform {

enum class ServiceControl { kNone, kStop, kPause, kContinue };

// Holds the control signals for WaitForServiceControl and makes broken pipes and writes past
// the file-size limit plain errors.
void InstallServiceControl();

// Takes one control request, waiting for as long as none comes. Sleeps without waking up in
// between: an idle service costs no CPU (kNone only when the wait was interrupted).
ServiceControl WaitForServiceControl();

}  // namespace platform
