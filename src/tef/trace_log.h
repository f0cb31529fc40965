// The trace file of the TEF component: one line per event, "-- dd/mm hh:nn:ss:zzz - text" and
// CR LF, in Windows-1252, appended to the file (created when missing). The file stays open
// between lines (reopened every second and when the path changes), because a payment writes
// several lines per library command (QV_TRACE_REOPEN_MS shortens the second for tests).
// Every card number in a line is masked before it is written (card_data/card_mask.h).
// Writing the trace never fails its caller: a line the file does not take is lost, and the
// failure report (when set) hears why, once when the trace starts failing and again whenever
// the reason changes. Thread-safe.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/append_file.h"
#include "platform/clock.h"
#include "tef/types.h"

namespace tef {

class TTraceLog {
public:
    using FailureReport = std::function<void(const platform::FileStatus&)>;

    TTraceLog();

    // Called (outside the trace's lock, never from two threads at once) when writing starts
    // failing or fails for another reason; set before the trace is used.
    void SetFailureReport(FailureReport report) { report_ = std::move(report); }

    // The line for `text` (Windows-1252) stamped with `when`, CR LF included.
    static AnsiString Line(const platform::LocalDateTime& when, const AnsiString& text);

    // Appends Line(now, text) to `path`, after any deferred line, in one write; nothing when
    // `path` is empty; failures are ignored.
    void Write(const std::string& path, const AnsiString& text) noexcept;

    // Stamps the line for `text` now and keeps it for the next Write or Flush, which saves a
    // write when another line follows at once. Callers flush before anything that may block
    // or call out (an event handler, the payment library).
    void Defer(const AnsiString& text) noexcept;
    void Flush(const std::string& path) noexcept;

private:
    // Line(now, text) with its card numbers masked.
    static AnsiString MaskedLine(const AnsiString& text);
    void Append(const std::string& path, const AnsiString& text);
    // The outcome of one write: a failure to report, if it is news.
    std::optional<platform::FileStatus> Outcome(platform::FileStatus status);

    std::mutex mutex_;
    platform::AppendFile file_;  // guarded by mutex_
    AnsiString deferred_;        // guarded by mutex_
    int failing_ = 0;            // guarded by mutex_: errno of the failure last reported
    std::mutex report_mutex_;    // taken alone, after mutex_ is released
    FailureReport report_;
};

}  // namespace tef
