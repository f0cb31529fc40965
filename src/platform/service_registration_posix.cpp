#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/service_registration.h"

namespace platform {
namespace {

constexpr const char* kWantedBy = "multi-user.target";

std::string UnitFile(const std::string& name) { return ServiceUnitDir() + name + ".service"; }

std::string WantsLink(const std::string& name) {
    return ServiceUnitDir() + kWantedBy + ".wants/" + name + ".service";
}

// systemd splits command lines at blanks and treats quotes and backslashes specially.
std::string QuoteCommand(const std::string& path) {
    if (path.find_first_of(" \t\"\\") == std::string::npos) return path;
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// Unit values end at the line break.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

void WriteUnit(const std::string& path, const std::string& text) {
    if (const FileStatus written = WriteFile(path, text, true); !written)
        throw std::runtime_error("Não foi possível gravar " + path + ": " + written.Reason());
}

}  // namespace

std::string ServiceUnitDir() {
    const char* dir = std::getenv("QV_SYSTEMD_UNIT_DIR");
    return IncludeTrailingSeparator(dir && *dir ? dir : "/etc/systemd/system");
}

void RegisterService(const ServiceIdentity& identity) {
    const std::string unit = UnitFile(identity.name);
    WriteUnit(unit,
              "[Unit]\nDescription=" + OneLine(identity.display_name) +
                  "\n\n[Service]\nType=simple\nExecStart=" + QuoteCommand(identity.executable) +
                  "\nKillSignal=SIGTERM\n\n[Install]\n" + "WantedBy=" + kWantedBy + "\n");
    // What `systemctl enable` does: the link makes the target start the service at boot.
    const std::string link = WantsLink(identity.name);
    if (const FileStatus made = ForceDirectories(ServiceUnitDir() + kWantedBy + ".wants"); !made)
        throw std::runtime_error("Não foi possível criar a pasta de " + link + ": " +
                                 made.Reason());
    ::unlink(link.c_str());
    if (::symlink(unit.c_str(), link.c_str()) != 0) {
        throw std::runtime_error("Não foi possível criar " + link);
    }
}

void UnregisterService(const std::string& name) {
    ::unlink(WantsLink(name).c_str());
    const std::string unit = UnitFile(name);
    if (::unlink(unit.c_str()) != 0 && errno != ENOENT) {
        throw std::runtime_error("Não foi possível remover " + unit);
    }
}

bool SetServiceDescription(const std::string& name, const std::string& description) {
    const std::string unit = UnitFile(name);
    const FileContents contents = ReadFile(unit);
    if (!contents) return false;
    std::string text = *contents;
    const std::string key = "\nDescription=";
    size_t start = text.find(key);
    if (start == std::string::npos) return false;
    start += key.size();
    size_t end = text.find('\n', start);
    text.replace(start, end == std::string::npos ? std::string::npos : end - start,
                 OneLine(description));
    return bool(WriteFile(unit, text, true));
}

}  // namespace platform
