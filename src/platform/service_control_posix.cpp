#include <signal.h>

#include <cerrno>
#include <csignal>
#include <system_error>

#include "platform/service_control.h"
#include "platform/socket.h"

namespace platform {
namespace {

sigset_t ControlSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) sigaddset(&set, sig);
    return set;
}

// The request a signal taken by a wait stands for; kNone for a time-out or an interrupted wait.
ServiceControl ControlOf(int sig) {
    switch (sig) {
        case SIGTERM:
        case SIGINT:
            return ServiceControl::kStop;
        case SIGUSR1:
            return ServiceControl::kPause;
        case SIGUSR2:
            return ServiceControl::kContinue;
        default:
            return ServiceControl::kNone;
    }
}

}  // namespace

void InstallServiceControl() {
    // Blocked signals stay pending until the service thread takes them: no handler runs on an
    // arbitrary thread and no blocking call elsewhere is interrupted.
    sigset_t set = ControlSignals();
    if (int rc = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); rc != 0)
        throw std::system_error(rc, std::generic_category(), "pthread_sigmask");
    IgnoreBrokenPipe();
    // A file that reaches the process's size limit (LimitFSIZE of the unit, say) must fail its
    // write, which the logs report, instead of ending the service in the middle of a payment.
    std::signal(SIGXFSZ, SIG_IGN);
}

ServiceControl WaitForServiceControl() {
    sigset_t set = ControlSignals();
    return ControlOf(::sigwaitinfo(&set, nullptr));
}

void ReportServiceState(ServiceState, int) {}

bool SendServiceControl(ProcessId pid, ServiceControl control) {
    const int sig = control == ServiceControl::kStop       ? SIGTERM
                    : control == ServiceControl::kPause    ? SIGUSR1
                    : control == ServiceControl::kContinue ? SIGUSR2
                                                           : 0;
    return sig != 0 && ::kill(pid, sig) == 0;
}

}  // namespace platform
