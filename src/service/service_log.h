// The service's daily log: Log/<Month-yyyy>/<service name> dd-mm-yyyy.log under the
// application folder, one line "[dd/mm/yyyy hh:mm:ss] text" per call, CR LF, Windows-1252.
// Each line is one write to the file, so lines of different threads never mix and a line is
// in the file when the call returns. The file stays open between lines (a request may log
// several): it is opened anew for a new day and once `reopen_after` has passed, and its
// folders are created whenever opening fails, so a removed file or folder comes back.
// Card numbers in a line are masked (card_data/card_mask.h). Failures are never raised. A
// line the file does not take (a full disk, a read-only folder) goes to the fallback stream
// instead (standard error: the system journal of a service), after a line that names the file
// and the system's reason; the fallback hears again when the reason changes and when the file
// takes lines again. Thread-safe. Also the path rule of the TEF component's trace file.
#pragma once

#include <chrono>
#include <iostream>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/append_file.h"
#include "platform/clock.h"

namespace service {

class ServiceLog {
public:
    // `app_dir` with a trailing separator.
    ServiceLog(std::string app_dir, std::string service_name,
               std::chrono::milliseconds reopen_after = std::chrono::seconds(1),
               std::ostream& fallback = std::cerr);

    // True when the line was written to the file. Text that is empty or only blanks and
    // control characters writes an empty line without a time stamp.
    bool GravaLog(std::string_view text);

    // The file a line written at `now` goes to.
    std::string LogFilePath(const platform::LocalDateTime& now) const;

    // "Março-2025": the month name and year with the first letter upper-cased.
    static std::string MonthFolderName(const platform::LocalDateTime& date);

private:
    std::string MonthFolder(const platform::LocalDateTime& now) const;
    // Tells the fallback stream what became of `line` (UTF-8) when that is news.
    void Report(const platform::FileStatus& status, const std::string& line);

    const std::string app_dir_;
    const std::string service_name_;
    std::ostream& fallback_;
    std::mutex mutex_;
    platform::AppendFile file_;  // guarded by mutex_
    int failing_ = 0;            // guarded by mutex_: errno of the failure last reported
};

// Log/mm-yyyy/TEF-dd-mm-yyyy.log under `app_dir` for the day `today`. Creates the two
// folders when missing, one level at a time, ignoring failures.
std::string TefLogFilePath(const std::string& app_dir, const platform::LocalDateTime& today);

}  // namespace service
