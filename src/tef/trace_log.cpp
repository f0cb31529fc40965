#include "tef/trace_log.h"

#include "platform/file_system.h"

namespace tef {

AnsiString TraceLine(const platform::LocalDateTime& when, const AnsiString& text) {
    return "-- " + platform::FormatDateTime("dd/mm hh:nn:ss:zzz", when) + " - " + text + "\r\n";
}

void AppendTraceLine(const std::string& path, const AnsiString& text) noexcept {
    if (path.empty()) return;
    try {
        platform::AppendToFile(path, TraceLine(platform::Now(), text));
    } catch (...) {
        // A trace that cannot be written must not end a payment.
    }
}

}  // namespace tef
