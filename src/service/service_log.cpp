#include "service/service_log.h"

#include <algorithm>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/paths.h"

namespace service {
namespace {

bool IsBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace

ServiceLog::ServiceLog(std::string app_dir, std::string service_name)
    : app_dir_(platform::IncludeTrailingSeparator(app_dir)),
      service_name_(std::move(service_name)) {}

std::string ServiceLog::MonthFolderName(const platform::LocalDateTime& date) {
    std::string name = platform::FormatDateTime("mmmmm-yyyy", date);
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 32);
    return name;
}

std::string ServiceLog::MonthFolder(const platform::LocalDateTime& now) const {
    return app_dir_ + "Log" + platform::kPathSeparator + MonthFolderName(now);
}

std::string ServiceLog::LogFilePath(const platform::LocalDateTime& now) const {
    return MonthFolder(now) + platform::kPathSeparator + service_name_ + " " +
           platform::FormatDateTime("dd-mm-yyyy", now) + ".log";
}

bool ServiceLog::GravaLog(std::string_view text) const {
    try {
        const platform::LocalDateTime now = platform::Now();
        if (!platform::ForceDirectories(MonthFolder(now))) return false;
        std::string line;
        if (!IsBlank(text)) {
            line = "[" + platform::FormatDateTime("dd/mm/yyyy hh:nn:ss", now) + "] ";
            line += text;
        }
        line += "\r\n";
        return platform::AppendToFile(LogFilePath(now), platform::Utf8ToCp1252(line));
    } catch (...) {
        return false;
    }
}

std::string TefLogFilePath(const std::string& app_dir, const platform::LocalDateTime& today) {
    std::string dir = platform::IncludeTrailingSeparator(app_dir) + "Log";
    platform::CreateDir(dir);
    dir += platform::kPathSeparator + platform::FormatDateTime("mm-yyyy", today);
    platform::CreateDir(dir);
    return dir + platform::kPathSeparator + "TEF-" + platform::FormatDateTime("dd-mm-yyyy", today) +
           ".log";
}

}  // namespace service
