// The last error line given to the service log, kept for the health report, which shows it to
// whoever is on call. A line counts as an error when one of its words is "erro", "falha",
// "timeout", "recusada"/"recusado", "encerrada" (a connection the service ended) or
// "inválida"/"inválido", in any letter case. What is kept is masked first: card numbers by
// the service's card-data rule (card_data/card_mask.h), and long runs of mixed letters and
// digits (tokens, keys) are left out.
//
// Thread contract: any thread; one short lock per call.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace service {

class TLastError {
public:
    struct Entry {
        platform::LocalDateTime time;
        std::string text;  // masked
    };

    // Keeps `line` when it is an error line.
    void Offer(std::string_view line, const platform::LocalDateTime& now);
    std::optional<Entry> Get() const;

private:
    mutable std::mutex mutex_;
    std::optional<Entry> last_;  // guarded by mutex_
};

bool IsErrorLine(std::string_view text);

// `text` with card numbers masked and token-like runs left out (see above).
std::string MaskSensitive(std::string_view text);

}  // namespace service
