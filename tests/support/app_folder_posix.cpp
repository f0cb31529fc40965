#include "support/app_folder.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "printing/print_program.h"
#include "support/file_faults.h"
#include "support/process_listens.h"
#include "support/windows_under_wine.h"

namespace qvtest {
namespace {

namespace fs = std::filesystem;

void LinkOrCopy(const std::string& source, const std::string& target) {
    std::error_code ec;
    fs::create_hard_link(source, target, ec);
    if (ec) fs::copy_file(source, target, fs::copy_options::overwrite_existing);
}

bool Connects(const std::string& host, uint16_t port) {
    try {
        platform::ConnectTcp(host, port);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// The environment as the program sees it: under Wine, paths of this system become Z: drive
// paths, and the temporary folder (TMPDIR) is named the Windows way, through QV_TEST_TEMP,
// which the runner's Wine prefix takes TEMP and TMP from (Wine sets those from the registry,
// and keeps its own server's socket under TMPDIR, which must stay as it is).
std::map<std::string, std::string> ProgramEnvironment(std::map<std::string, std::string> env,
                                                      bool under_wine) {
    if (!under_wine) return env;
    const std::string temp = env.contains("TMPDIR") ? env["TMPDIR"] : platform::TempDir();
    env.erase("TMPDIR");
    for (auto& [name, value] : env) {
        if (value == "/dev/null")
            value = "NUL";
        else if (value.starts_with('/'))
            value = WinePath(value);
    }
    env["QV_TEST_TEMP"] = WinePath(temp);
    return env;
}

}  // namespace

std::string PrintProgramName() {
    return WindowsBuildUnderWine() ? "SumatraPDF.exe" : printing::kPrintProgramName;
}

std::string PrintLibraryName() {
    return WindowsBuildUnderWine() ? "libmupdf.dll" : printing::kPrintLibraryName;
}

AppFolder::AppFolder(const std::string& program, Build build)
    : port_(FreePort()),
      windows_(build == Build::kSelected && WindowsBuildUnderWine() ? &*WindowsBuildUnderWine()
                                                                     : nullptr) {
    if (windows_)
        fs::copy_file(windows_->folder + program + ".exe", ExecutablePath());
    else
        LinkOrCopy(BuildDir() + program, ExecutablePath());
    fs::create_directories(folder_ / "Certificado");
    for (const char* name : {"ca_cert.pem", "server_cert.pem", "server_key.pem"})
        fs::copy_file(CertificateFolder() + name, folder_ / ("Certificado/" + std::string(name)));
    SetPort(port_);
    env_["TZ"] = "America/Sao_Paulo";
}

AppFolder::~AppFolder() { Stop(); }

void AppFolder::WriteIni(const std::string& text) { PutFile("QuorvexSiTefService.ini", text); }

void AppFolder::SetPort(uint16_t port) {
    WriteIni("[sitef]\r\nserver_port=" + std::to_string(port) + "\r\n");
}

void AppFolder::PutFile(const std::string& relative, const std::string& bytes) {
    const fs::path target = folder_ / relative;
    fs::create_directories(target.parent_path());
    if (!platform::WriteFile(target.string(), bytes))
        throw std::runtime_error("cannot write " + relative);
}

void AppFolder::CopyFile(const std::string& source, const std::string& relative) {
    const fs::path target = folder_ / relative;
    fs::create_directories(target.parent_path());
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
}

void AppFolder::RemoveFile(const std::string& relative) { fs::remove(folder_ / relative); }

std::string AppFolder::ProgramPath(const std::string& path) const {
    return windows_ ? WinePath(path) : path;
}

std::string AppFolder::ExecutablePath() const {
    return folder_ / (windows_ ? "QuorvexSiTefService.exe" : "QuorvexSiTefService");
}

void AppFolder::Start(const std::vector<std::string>& args) {
    if (process_ && process_->Running()) throw std::logic_error("the program is already running");
    std::vector<std::string> command = respect_permissions_
                                           ? CommandWithoutFileOverride(ExecutablePath())
                                           : std::vector<std::string>{ExecutablePath()};
    // Wine's loader runs the program in the process it starts, so the process id is the
    // program's.
    if (windows_) command.insert(command.begin(), windows_->wine);
    command.insert(command.end(), args.begin(), args.end());
    process_ = std::make_unique<ChildProcess>(
        command.front(), std::vector<std::string>(command.begin() + 1, command.end()),
        ProgramEnvironment(env_, windows_ != nullptr), folder_ / "output.txt");
}

bool AppFolder::WaitForPort(std::chrono::milliseconds timeout, uint16_t port,
                            const std::string& host) {
    bool ended = false;
    const bool connected = WaitUntil(
        [&] {
            ended = process_ && !process_->Running();
            return ended || Connects(host, port ? port : port_);
        },
        timeout);
    return connected && !ended;
}

bool AppFolder::ListensOn(uint16_t port) const {
    if (!process_ || !process_->Running()) return false;
    const uint16_t wanted = port ? port : port_;
    if (ProcessListensOn(process_->pid(), wanted)) return true;
    return windows_ && WineServerListensOn(wanted);
}

void AppFolder::StartAndWaitForPort(std::chrono::milliseconds timeout) {
    Start();
    if (!WaitForPort(timeout))
        throw std::runtime_error("the service did not listen on its port; output:\n" + Output());
}

void AppFolder::Signal(int sig) {
    if (!process_) return;
    if (windows_ && sig != SIGKILL) {
        if (process_->Running()) SendWineServiceControl(*windows_, ExecutablePath(), sig);
    } else {
        process_->Signal(sig);
    }
}

std::optional<int> AppFolder::Wait(std::chrono::milliseconds timeout) {
    return process_ ? process_->Wait(timeout) : std::nullopt;
}

int AppFolder::Stop(std::chrono::milliseconds timeout) {
    if (!process_) return 0;
    // Under Wine a signal would end the program at once: it is asked to stop first.
    if (windows_ && process_->Running()) {
        Signal(SIGTERM);
        if (std::optional<int> code = process_->Wait(timeout)) return *code;
        return process_->Stop(std::chrono::milliseconds(0));
    }
    return process_->Stop(timeout);
}

int AppFolder::RunToEnd(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    Start(args);
    if (std::optional<int> code = process_->Wait(timeout)) return *code;
    return Stop();
}

std::string AppFolder::Log() const {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder_ / "Log", ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.starts_with("QuorvexSiTefService "))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::string text;
    for (const auto& file : files) text += platform::ReadFile(file.string()).value_or("");
    return platform::Cp1252ToUtf8(text);
}

std::vector<std::string> AppFolder::LogTexts() const {
    std::vector<std::string> texts;
    const std::string log = Log();
    for (size_t start = 0; start < log.size();) {
        size_t end = log.find("\r\n", start);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(start, end - start);
        // "[dd/mm/yyyy hh:mm:ss] " is 22 characters.
        if (line.size() >= 22 && line[0] == '[' && line[20] == ']') line.erase(0, 22);
        texts.push_back(line);
        start = end + 2;
    }
    return texts;
}

bool AppFolder::WaitForLog(const std::string& text, std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return Log().find(text) != std::string::npos; }, timeout);
}

std::string AppFolder::Output() const {
    return platform::ReadFile(folder_ / "output.txt").value_or("");
}

TlsWebSocketClient::Options AppFolder::ClientOptions(const std::string& host) const {
    TlsWebSocketClient::Options options;
    options.host = host;
    options.port = port_;
    options.ca_file = CaFile();
    return options;
}

TlsWebSocketClient AppFolder::Client(const std::string& host) const {
    TlsWebSocketClient client(ClientOptions(host));
    const std::string answer = client.Upgrade();
    if (!answer.starts_with("HTTP/1.1 101 ")) throw std::runtime_error("upgrade: " + answer);
    return client;
}

}  // namespace qvtest
