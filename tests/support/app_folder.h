// An application folder in a temporary place, laid out as the service expects it: the
// executable (hard link or copy, named QuorvexSiTefService), Certificado/ with a generated
// CA and server certificate, QuorvexSiTefService.ini with a free port. Start() runs it;
// the folder stops it when it goes away (also when a test fails) and removes everything.
//
// Extra files (dll/libclisitef.so, ...) go in with PutFile/CopyFile, environment variables
// of the program with SetEnv (TZ is America/Sao_Paulo unless set). With QV_TEST_WINDOWS_BUILD
// set, the folder holds the Windows build's program instead and runs it under Wine
// (windows_under_wine.h); signals then become the service's stop, pause and continue.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_folder.h"
#include "support/tls_web_socket_client.h"

namespace qvtest {

// Programs of the build tree, relative to BuildDir().
inline constexpr const char* kServiceProgram = "src/QuorvexSiTefService";
// The service with a handler that echoes every message (test only).
inline constexpr const char* kEchoServiceProgram =
    "tests/support/echo_service/QuorvexSiTefEchoService";

// A folder with ca_cert.pem, server_cert.pem and server_key.pem for localhost, made once per
// program; every application folder gets a copy.
const std::string& CertificateFolder();

// Polls `condition` every 10 ms until it holds (true) or `timeout` passes (false).
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A TCP port nobody listens on right now.
uint16_t FreePort();

// The file names, in an application folder, of the print program and of the library it cannot
// run without, as the program the folders run expects them (the Windows names under Wine).
std::string PrintProgramName();
std::string PrintLibraryName();

struct WindowsBuild;

class AppFolder {
public:
    // The programs a folder runs: those of the build the tests are switched to (the default),
    // or this build's even under the switch (to compare the two).
    enum class Build { kSelected, kThis };

    explicit AppFolder(const std::string& program = kServiceProgram,
                       Build build = Build::kSelected);
    AppFolder(const AppFolder&) = delete;
    AppFolder& operator=(const AppFolder&) = delete;
    ~AppFolder();

    // With a trailing separator.
    const std::string& path() const { return folder_.path(); }
    // The Windows build whose program the folder runs under Wine; none for this build's.
    const WindowsBuild* windows() const { return windows_; }
    std::string operator/(const std::string& relative) const { return folder_ / relative; }
    // QuorvexSiTefService, or QuorvexSiTefService.exe under Wine (windows_under_wine.h).
    std::string ExecutablePath() const;
    std::string IniPath() const { return folder_ / "QuorvexSiTefService.ini"; }
    std::string CaFile() const { return folder_ / "Certificado/ca_cert.pem"; }

    // A file of this system as the running program names it (a Z: drive path under Wine).
    std::string ProgramPath(const std::string& path) const;

    // The port written into the INI at creation.
    uint16_t port() const { return port_; }
    // Replaces the INI file's text.
    void WriteIni(const std::string& text);
    // Rewrites the INI with server_port = `port`.
    void SetPort(uint16_t port);

    void PutFile(const std::string& relative, const std::string& bytes);
    void CopyFile(const std::string& source, const std::string& relative);
    void RemoveFile(const std::string& relative);
    void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }
    // The program started from now on respects file permissions even when the tests run as
    // root (see file_faults.h).
    void RespectFilePermissions() { respect_permissions_ = true; }

    // Starts the program with `args`.
    void Start(const std::vector<std::string>& args = {});
    // Start() and wait until the port accepts TCP connections; raises when it does not
    // within `timeout` or the program ends.
    void StartAndWaitForPort(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // True when `port` (default: ours) accepts a TCP connection on `host` within `timeout`.
    bool WaitForPort(std::chrono::milliseconds timeout, uint16_t port = 0,
                     const std::string& host = "127.0.0.1");
    // True when the running program holds a listening TCP socket (IPv4 or IPv6) on `port`
    // (default: ours). Asked of the program itself, not of the port: a port the program let go
    // may be taken at once by another test's server.
    bool ListensOn(uint16_t port = 0) const;

    void Signal(int sig);
    // The running program's process id; -1 when it was never started.
    pid_t Pid() const { return process_ ? process_->pid() : -1; }
    // Waits up to `timeout` for the program to end by itself; its exit code (128 + signal),
    // none while it runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    // SIGTERM (SIGKILL after `timeout`); the exit code. 0 when it never ran.
    int Stop(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Runs the program with `args` to its end (bounded) and returns its exit code.
    int RunToEnd(const std::vector<std::string>& args,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // The service log of every day so far, as UTF-8, and its lines without the time stamps.
    std::string Log() const;
    std::vector<std::string> LogTexts() const;
    // Waits until a log line contains `text`; false after `timeout`.
    bool WaitForLog(const std::string& text,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // What the program wrote to stdout and stderr.
    std::string Output() const;

    // A client connected and upgraded to our port.
    TlsWebSocketClient Client(const std::string& host = "127.0.0.1") const;
    TlsWebSocketClient::Options ClientOptions(const std::string& host = "127.0.0.1") const;

private:
    TempFolder folder_;
    uint16_t port_;
    std::map<std::string, std::string> env_;
    bool respect_permissions_ = false;
    const WindowsBuild* windows_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace qvtest
