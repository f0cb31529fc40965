#include "service/service_log.h"

#include <algorithm>
#include <cerrno>

#include "card_data/card_mask.h"
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

ServiceLog::ServiceLog(std::string app_dir, std::string service_name,
                       std::chrono::milliseconds reopen_after, std::ostream& fallback)
    : app_dir_(platform::IncludeTrailingSeparator(app_dir)),
      service_name_(std::move(service_name)),
      fallback_(fallback),
      file_(reopen_after) {}

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

bool ServiceLog::GravaLog(std::string_view text) {
    try {
        const platform::LocalDateTime now = platform::Now();
        std::string line;
        if (!IsBlank(text)) {
            line = "[" + platform::FormatDateTime("dd/mm/yyyy hh:nn:ss", now) + "] ";
            // Masked before the line is stamped, so that no digit of the stamp joins a
            // number of the text; the fallback stream gets it masked too.
            line += card_data::MaskedCardNumbers(text);
        }
        const std::string bytes = platform::Utf8ToSystemCodePage(line + "\r\n");
        const std::string path = LogFilePath(now);
        std::lock_guard lock(mutex_);
        platform::FileStatus status = file_.Append(path, bytes);
        // The file can only be missing its folders: a new month, or someone removed them.
        if (!status && status.Error() == ENOENT) {
            status = platform::ForceDirectories(MonthFolder(now));
            if (status) status = file_.Append(path, bytes);
        }
        Report(status, line);
        return bool(status);
    } catch (...) {
        return false;
    }
}

void ServiceLog::Report(const platform::FileStatus& status, const std::string& line) {
    if (status) {
        if (failing_ != 0) fallback_ << service_name_ << ": o log voltou a ser gravado.\n";
        failing_ = 0;
        return;
    }
    if (status.Error() != failing_) {
        fallback_ << service_name_ << ": não foi possível gravar o log: " << status.Message()
                  << "\n";
        failing_ = status.Error();
    }
    fallback_ << line << std::endl;
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
