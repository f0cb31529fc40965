// The optional state file of the simulated library: what it must remember across a restart of
// the process that loaded it, as the real library keeps it on disk. It holds the functions
// approved and not yet confirmed or undone (pending) and the next authoriser number, so that a
// caller's crash recovery meets a library that still knows what it left pending.
//
// The file is JSON (UTF-8): {"next_nsu": 7, "pending": [{"kind": "payment",
// "variables": {"doc": "56921", "date": "20251126", ...}}]}. It is replaced whole and durably
// at every change. Not thread-safe; the simulator's lock guards its use.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "payment_book.h"

namespace clisitef_sim {

class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct State {
    int64_t next_nsu = 1;
    std::vector<PaymentBook::Pending> pending;
};

// The state in `path`; an empty state when the file does not exist. Throws StateError when it
// cannot be read or is not a state file.
State ReadState(const std::string& path);

// Replaces `path` with `state`, durably. Throws StateError with the system's reason.
void WriteState(const std::string& path, const State& state);

}  // namespace clisitef_sim
