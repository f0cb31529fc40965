#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/file_descriptor.h"
#include "platform/service_control.h"
#include "platform/win32.h"

#include <tlhelp32.h>

namespace platform {
namespace {

// How long the manager is told a request may take before it hears from the service again.
constexpr DWORD kWaitHintMs = 5000;
// How long closing the console waits for the stop it asked for (Windows ends the process
// shortly after anyway).
constexpr DWORD kConsoleCloseWaitMs = 5000;

constexpr std::array<ServiceControl, 3> kControls = {ServiceControl::kStop, ServiceControl::kPause,
                                                     ServiceControl::kContinue};

// The event a process run without the service manager takes a request from: named after the
// process, so that whoever knows its id (a test, a tool) can deliver the request.
std::wstring ControlEventName(ProcessId pid, ServiceControl control) {
    const wchar_t* what = control == ServiceControl::kStop    ? L"stop"
                          : control == ServiceControl::kPause ? L"pause"
                                                              : L"continue";
    return L"Local\\QuorvexServiceControl." + std::to_wstring(pid) + L"." + what;
}

// Everything the dispatcher's threads, the console handler and the service thread share.
struct Controller {
    std::mutex mutex;
    std::deque<ServiceControl> requests;  // guarded by mutex
    FileDescriptor queued{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    FileDescriptor stopped{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::array<FileDescriptor, 3> named;  // console mode: one event per request

    // Service mode.
    std::thread dispatcher;
    FileDescriptor decided{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    SERVICE_STATUS_HANDLE status_handle = nullptr;
    SERVICE_STATUS status{};  // guarded by mutex
    DWORD checkpoint = 0;     // guarded by mutex

    void Push(ServiceControl control) {
        {
            std::lock_guard lock(mutex);
            requests.push_back(control);
        }
        ::SetEvent(queued.get());
    }

    ServiceControl Pop() {
        std::lock_guard lock(mutex);
        if (requests.empty()) return ServiceControl::kNone;
        const ServiceControl control = requests.front();
        requests.pop_front();
        if (!requests.empty()) ::SetEvent(queued.get());
        return control;
    }

    // Reports `state` (a SERVICE_* state) to the manager; pending states count checkpoints.
    void Report(DWORD state, DWORD exit_code = NO_ERROR) {
        std::lock_guard lock(mutex);
        if (status_handle == nullptr) return;
        const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                             state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status.dwCurrentState = state;
        status.dwControlsAccepted =
            pending ? 0
                    : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;
        status.dwWin32ExitCode = exit_code == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
        status.dwServiceSpecificExitCode = exit_code;
        status.dwCheckPoint = pending ? ++checkpoint : 0;
        status.dwWaitHint = pending ? kWaitHintMs : 0;
        ::SetServiceStatus(status_handle, &status);
    }
};

Controller& TheController() {
    static Controller controller;
    return controller;
}

DWORD WINAPI ServiceHandler(DWORD control, DWORD, void*, void*) {
    Controller& c = TheController();
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            c.Report(SERVICE_STOP_PENDING);
            c.Push(ServiceControl::kStop);
            return NO_ERROR;
        case SERVICE_CONTROL_PAUSE:
            c.Report(SERVICE_PAUSE_PENDING);
            c.Push(ServiceControl::kPause);
            return NO_ERROR;
        case SERVICE_CONTROL_CONTINUE:
            c.Report(SERVICE_CONTINUE_PENDING);
            c.Push(ServiceControl::kContinue);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Runs on a thread of the dispatcher's; returns once the service reported itself stopped.
void WINAPI ServiceMain(DWORD, wchar_t**) {
    Controller& c = TheController();
    // An own-process service's name is not needed to register its handler.
    SERVICE_STATUS_HANDLE handle = ::RegisterServiceCtrlHandlerExW(L"", ServiceHandler, nullptr);
    {
        std::lock_guard lock(c.mutex);
        c.status_handle = handle;
    }
    c.Report(SERVICE_START_PENDING);
    ::SetEvent(c.decided.get());
    if (handle != nullptr) ::WaitForSingleObject(c.stopped.get(), INFINITE);
}

BOOL WINAPI ConsoleHandler(DWORD event) {
    Controller& c = TheController();
    c.Push(ServiceControl::kStop);
    // Closing the console, logging off or shutting down end the process once this returns:
    // the stop gets its moment first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(c.stopped.get(), kConsoleCloseWaitMs);
    return TRUE;
}

// Whether this process's parent is the service control manager (services.exe). Asked before
// the dispatcher is tried: Windows refuses a process the manager did not start at once, but
// Wine only after waiting 10 s for the manager's pipe, which would hold up every start from
// a console.
bool ParentIsServiceManager() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return true;  // let the dispatcher decide
    const DWORD self = ::GetCurrentProcessId();
    DWORD parent = 0;
    std::vector<std::pair<DWORD, std::wstring>> names;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
        names.emplace_back(entry.th32ProcessID, entry.szExeFile);
    }
    ::CloseHandle(snapshot);
    for (const auto& [pid, name] : names)
        if (pid == parent) return ::lstrcmpiW(name.c_str(), L"services.exe") == 0;
    return false;
}

// True when the service control manager started this process: its dispatcher then runs on a
// thread of its own for as long as the service does.
bool ConnectToServiceManager(Controller& c) {
    if (!ParentIsServiceManager()) return false;
    c.dispatcher = std::thread([&c] {
        static wchar_t no_name[] = L"";
        SERVICE_TABLE_ENTRYW table[] = {{no_name, ServiceMain}, {nullptr, nullptr}};
        // Fails at once (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) for a process the manager
        // did not start.
        ::StartServiceCtrlDispatcherW(table);
        ::SetEvent(c.decided.get());
    });
    ::WaitForSingleObject(c.decided.get(), INFINITE);
    bool connected;
    {
        std::lock_guard lock(c.mutex);
        connected = c.status_handle != nullptr;
    }
    if (!connected) c.dispatcher.join();
    return connected;
}

void ListenToConsole(Controller& c) {
    ::SetConsoleCtrlHandler(ConsoleHandler, TRUE);
    const ProcessId self = static_cast<ProcessId>(::GetCurrentProcessId());
    for (size_t i = 0; i < kControls.size(); ++i)
        c.named[i] = FileDescriptor(
            ::CreateEventW(nullptr, FALSE, FALSE, ControlEventName(self, kControls[i]).c_str()));
}

}  // namespace

void InstallServiceControl() {
    Controller& c = TheController();
    if (!ConnectToServiceManager(c)) ListenToConsole(c);
}

ServiceControl WaitForServiceControl() {
    Controller& c = TheController();
    std::array<HANDLE, 4> waits{};
    DWORD count = 0;
    waits[count++] = c.queued.get();
    for (const FileDescriptor& event : c.named)
        if (event) waits[count++] = event.get();
    const DWORD which = ::WaitForMultipleObjects(count, waits.data(), FALSE, INFINITE);
    if (which == WAIT_OBJECT_0) return c.Pop();
    if (which > WAIT_OBJECT_0 && which < WAIT_OBJECT_0 + count)
        return kControls[which - WAIT_OBJECT_0 - 1];
    return ServiceControl::kNone;
}

void ReportServiceState(ServiceState state, int exit_code) {
    Controller& c = TheController();
    switch (state) {
        case ServiceState::kRunning:
            c.Report(SERVICE_RUNNING);
            return;
        case ServiceState::kPaused:
            c.Report(SERVICE_PAUSED);
            return;
        case ServiceState::kStopped:
            c.Report(SERVICE_STOPPED, static_cast<DWORD>(exit_code));
            ::SetEvent(c.stopped.get());
            // The dispatcher returns once the manager has taken the last report.
            if (c.dispatcher.joinable()) c.dispatcher.join();
            return;
    }
}

bool SendServiceControl(ProcessId pid, ServiceControl control) {
    if (control == ServiceControl::kNone) return false;
    FileDescriptor event(
        ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ControlEventName(pid, control).c_str()));
    return event && ::SetEvent(event.get());
}

}  // namespace platform
