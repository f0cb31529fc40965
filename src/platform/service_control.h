// Control requests from the system's service manager, and the service's answers to it.
//
// On Linux the manager talks to the service process through signals: SIGTERM and SIGINT ask
// it to stop, SIGUSR1 to pause and SIGUSR2 to continue; systemd needs no answer.
// On Windows a process the service control manager started gets its stop (or shutdown),
// pause and continue requests through the control dispatcher, and each answer is reported
// back with a 5 s wait hint while a request is under way. A process started otherwise (from
// a console, by a test) runs the same way in the foreground: Ctrl+C, Ctrl+Break and closing
// its console ask it to stop, and SendServiceControl delivers all three requests.
//
// Process-wide; call InstallServiceControl() on the main thread before any other thread
// starts, so that (on Linux) only WaitForServiceControl() ever sees these signals.
#pragma once

#include "platform/process.h"

namespace platform {

enum class ServiceControl { kNone, kStop, kPause, kContinue };
enum class ServiceState { kRunning, kPaused, kStopped };

// Takes over the control requests for WaitForServiceControl (on Windows: connects to the
// service control manager when it started the process) and makes broken pipes and writes
// past the file-size limit plain errors.
void InstallServiceControl();

// Takes one control request, waiting for as long as none comes. Sleeps without waking up in
// between: an idle service costs no CPU (kNone only when the wait was interrupted).
ServiceControl WaitForServiceControl();

// Tells the service manager the state the service is in now: after its start, after each
// request (also one that failed or did not apply), and kStopped last of all, once nothing of
// the service runs any more (`exit_code` not 0 when it ends because it failed).
void ReportServiceState(ServiceState state, int exit_code = 0);

// Asks the service process `pid` for `control` as the service manager would (for tests and
// tools); false when the request could not be delivered.
bool SendServiceControl(ProcessId pid, ServiceControl control);

}  // namespace platform
