#include "tef/trace_log.h"

#include "card_data/card_mask.h"
#include "platform/environment.h"

namespace tef {

TTraceLog::TTraceLog()
    : file_(platform::EnvMilliseconds("QV_TRACE_REOPEN_MS", std::chrono::seconds(1))) {}

namespace {

// `value` (0 to 10^width − 1) in `width` digits at `out`.
void Digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

}  // namespace

AnsiString TTraceLog::Line(const platform::LocalDateTime& when, const AnsiString& text) {
    // Written by hand: a payment stamps several lines per library command.
    char stamp[] = "-- dd/mm hh:nn:ss:zzz - ";
    Digits(stamp + 3, when.day, 2);
    Digits(stamp + 6, when.month, 2);
    Digits(stamp + 9, when.hour, 2);
    Digits(stamp + 12, when.minute, 2);
    Digits(stamp + 15, when.second, 2);
    Digits(stamp + 18, when.millisecond, 3);
    AnsiString line;
    line.reserve(sizeof stamp - 1 + text.size() + 2);
    return line.append(stamp, sizeof stamp - 1).append(text).append("\r\n");
}

AnsiString TTraceLog::MaskedLine(const AnsiString& text) {
    AnsiString line = Line(platform::Now(), text);
    // The stamp ends in " - ", so no digit of it joins a number of the text.
    card_data::MaskCardNumbers(line);
    return line;
}

void TTraceLog::Write(const std::string& path, const AnsiString& text) noexcept {
    if (path.empty()) return;
    try {
        Append(path, MaskedLine(text));
    } catch (...) {
        // A trace that cannot be written must not end a payment.
    }
}

void TTraceLog::Defer(const AnsiString& text) noexcept {
    try {
        const AnsiString line = MaskedLine(text);
        std::lock_guard<std::mutex> lock(mutex_);
        deferred_ += line;
    } catch (...) {
    }
}

void TTraceLog::Flush(const std::string& path) noexcept {
    try {
        Append(path, "");
    } catch (...) {
    }
}

void TTraceLog::Append(const std::string& path, const AnsiString& text) {
    std::optional<platform::FileStatus> news;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (deferred_.empty()) {
            if (!text.empty()) news = Outcome(file_.Append(path, text));
        } else {
            deferred_ += text;
            if (!path.empty()) news = Outcome(file_.Append(path, deferred_));
            deferred_.clear();
        }
    }
    if (news && report_) {
        std::lock_guard<std::mutex> lock(report_mutex_);
        report_(*news);
    }
}

std::optional<platform::FileStatus> TTraceLog::Outcome(platform::FileStatus status) {
    const int error = status.Error();
    const bool news = error != 0 && error != failing_;
    failing_ = error;
    if (!news) return std::nullopt;
    return status;
}

}  // namespace tef
