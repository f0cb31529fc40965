// The service's daily log: Log/<Month-yyyy>/<service name> dd-mm-yyyy.log under the
// application folder, one line "[dd/mm/yyyy hh:mm:ss] text" per call, CR LF, Windows-1252.
// Each line is one write to the file, so lines of different threads never mix and a line is
// in the file when the call returns. The file stays open between lines (a request may log
// several): it is opened anew for a new day and once `reopen_after` has passed, and its
// folders are created whenever opening fails, so a removed file or folder comes back.
// Failures lose the line and are never raised. Thread-safe. Also the path rule of the TEF
// component's trace file.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/append_file.h"
#include "platform/clock.h"

namespace service {

class ServiceLog {
public:
    // `app_dir` with a trailing separator.
    ServiceLog(std::string app_dir, std::string service_name,
               std::chrono::milliseconds reopen_after = std::chrono::seconds(1));

    // True when the line was written. Text that is empty or only blanks and control
    // characters writes an empty line without a time stamp.
    bool GravaLog(std::string_view text);

    // The file a line written at `now` goes to.
    std::string LogFilePath(const platform::LocalDateTime& now) const;

    // "Março-2025": the month name and year with the first letter upper-cased.
    static std::string MonthFolderName(const platform::LocalDateTime& date);

private:
    std::string MonthFolder(const platform::LocalDateTime& now) const;

    const std::string app_dir_;
    const std::string service_name_;
    std::mutex mutex_;
    platform::AppendFile file_;  // guarded by mutex_
};

// Log/mm-yyyy/TEF-dd-mm-yyyy.log under `app_dir` for the day `today`. Creates the two
// folders when missing, one level at a time, ignoring failures.
std::string TefLogFilePath(const std::string& app_dir, const platform::LocalDateTime& today);

}  // namespace service
