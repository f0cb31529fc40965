// qv-service-manager: what the Services console sees of a service and what it asks of it,
// through the service control manager's own API, for the test of the installed service.
//
//   qv-service-manager config NAME                      registration, one key=value a line
//   qv-service-manager status NAME                      current status
//   qv-service-manager control NAME start|stop|pause|continue TIMEOUT_MS
//   qv-service-manager wait NAME running|stopped|paused TIMEOUT_MS
//
// control sends the request (as the console does) and, like wait, polls the status every
// 10 ms until the state is reached, printing every status seen on the way and the time it
// took. Exit code 0 when done, 1 on failure or time-out, 2 when the service is not
// registered, 3 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
    if (text == nullptr || *text == 0) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();  // the terminator
    return out;
}

std::wstring Wide(const char* text) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
    out.pop_back();
    return out;
}

class Handle {
public:
    explicit Handle(SC_HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != nullptr) ::CloseServiceHandle(handle_);
    }
    SC_HANDLE get() const { return handle_; }

private:
    SC_HANDLE handle_;
};

int Fail(const char* what) {
    const DWORD code = ::GetLastError();
    std::printf("error=%s (%lu)\n", what, static_cast<unsigned long>(code));
    return code == ERROR_SERVICE_DOES_NOT_EXIST ? 2 : 1;
}

const char* StateName(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED: return "stopped";
        case SERVICE_START_PENDING: return "start_pending";
        case SERVICE_STOP_PENDING: return "stop_pending";
        case SERVICE_RUNNING: return "running";
        case SERVICE_CONTINUE_PENDING: return "continue_pending";
        case SERVICE_PAUSE_PENDING: return "pause_pending";
        case SERVICE_PAUSED: return "paused";
        default: return "unknown";
    }
}

void PrintStatus(const char* prefix, const SERVICE_STATUS_PROCESS& s) {
    std::printf("%sstate=%s pid=%lu type=0x%lx controls=0x%lx win32_exit_code=%lu "
                "service_exit_code=%lu checkpoint=%lu wait_hint=%lu\n",
                prefix, StateName(s.dwCurrentState), s.dwProcessId, s.dwServiceType,
                s.dwControlsAccepted, s.dwWin32ExitCode, s.dwServiceSpecificExitCode,
                s.dwCheckPoint, s.dwWaitHint);
}

bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    DWORD needed = 0;
    return ::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO,
                                  reinterpret_cast<BYTE*>(&status), sizeof status, &needed);
}

int Config(SC_HANDLE service) {
    DWORD needed = 0;
    ::QueryServiceConfigW(service, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service, config, needed, &needed)) return Fail("QueryServiceConfig");
    std::string dependencies;
    for (const wchar_t* d = config->lpDependencies; d != nullptr && *d != 0;
         d += std::wcslen(d) + 1)
        dependencies += (dependencies.empty() ? "" : ";") + Utf8(d);
    std::printf("type=0x%lx\nstart_type=%lu\nerror_control=%lu\n", config->dwServiceType,
                config->dwStartType, config->dwErrorControl);
    std::printf("binary_path=%s\n", Utf8(config->lpBinaryPathName).c_str());
    std::printf("display_name=%s\n", Utf8(config->lpDisplayName).c_str());
    std::printf("account=%s\n", Utf8(config->lpServiceStartName).c_str());
    std::printf("dependencies=%s\n", dependencies.c_str());

    ::QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
    std::vector<BYTE> text(needed);
    if (!::QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, text.data(), needed, &needed))
        return Fail("QueryServiceConfig2");
    std::printf("description=%s\n",
                Utf8(reinterpret_cast<SERVICE_DESCRIPTIONW*>(text.data())->lpDescription).c_str());
    return 0;
}

// Polls until `target` (a SERVICE_* state) or the time-out; prints each status that differs
// from the one before.
int WaitFor(SC_HANDLE service, DWORD target, DWORD timeout_ms, ULONGLONG since) {
    SERVICE_STATUS_PROCESS last{};
    last.dwCurrentState = 0;
    for (;;) {
        SERVICE_STATUS_PROCESS now{};
        if (!QueryStatus(service, now)) return Fail("QueryServiceStatusEx");
        const ULONGLONG elapsed = ::GetTickCount64() - since;
        if (now.dwCurrentState != last.dwCurrentState || now.dwCheckPoint != last.dwCheckPoint) {
            std::printf("at_ms=%llu ", elapsed);
            PrintStatus("", now);
            last = now;
        }
        if (now.dwCurrentState == target) {
            std::printf("reached=%s elapsed_ms=%llu\n", StateName(target), elapsed);
            return 0;
        }
        if (elapsed > timeout_ms) {
            std::printf("timeout=%s elapsed_ms=%llu\n", StateName(target), elapsed);
            return 1;
        }
        ::Sleep(10);
    }
}

bool ParseState(const std::string& name, DWORD& state) {
    if (name == "running") state = SERVICE_RUNNING;
    else if (name == "stopped") state = SERVICE_STOPPED;
    else if (name == "paused") state = SERVICE_PAUSED;
    else return false;
    return true;
}

// Sends `request` and waits for the state it leads to.
int Control(SC_HANDLE service, const std::string& request, DWORD timeout_ms) {
    struct Request {
        const char* name;
        DWORD code;  // 0: start
        DWORD target;
    };
    static constexpr Request kRequests[] = {{"start", 0, SERVICE_RUNNING},
                                            {"stop", SERVICE_CONTROL_STOP, SERVICE_STOPPED},
                                            {"pause", SERVICE_CONTROL_PAUSE, SERVICE_PAUSED},
                                            {"continue", SERVICE_CONTROL_CONTINUE, SERVICE_RUNNING}};
    const Request* found = nullptr;
    for (const Request& r : kRequests)
        if (request == r.name) found = &r;
    if (found == nullptr) return 3;
    const DWORD code = found->code;
    const DWORD target = found->target;
    const ULONGLONG since = ::GetTickCount64();
    if (code == 0) {
        if (!::StartServiceW(service, 0, nullptr)) return Fail("StartService");
    } else {
        SERVICE_STATUS answer{};
        if (!::ControlService(service, code, &answer)) return Fail("ControlService");
    }
    return WaitFor(service, target, timeout_ms, since);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 3;
    const std::string command = argv[1];
    Handle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.get() == nullptr) return Fail("OpenSCManager");
    Handle service(::OpenServiceW(manager.get(), Wide(argv[2]).c_str(),
                                  SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_START |
                                      SERVICE_STOP | SERVICE_PAUSE_CONTINUE));
    if (service.get() == nullptr) return Fail("OpenService");

    if (command == "config") return Config(service.get());
    if (command == "status") {
        SERVICE_STATUS_PROCESS status{};
        if (!QueryStatus(service.get(), status)) return Fail("QueryServiceStatusEx");
        PrintStatus("", status);
        return 0;
    }
    if (argc < 5) return 3;
    const DWORD timeout_ms = static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10));
    if (command == "control") return Control(service.get(), argv[3], timeout_ms);
    DWORD target = 0;
    if (command == "wait" && ParseState(argv[3], target))
        return WaitFor(service.get(), target, timeout_ms, ::GetTickCount64());
    return 3;
}
