// The one TEF operation that may run at a time. Constructing a TTefOperation takes the data
// module's operation guard (fProcessando) in one atomic step, if no other operation holds it,
// and binds the operation's client: every prompt of the TEF component goes to that client and
// its answers are read from it. A new operation starts with no cancellation pending or possible
// and no early answer kept. The destructor unbinds the client, withdraws the cancel offer and
// releases the guard, so the guard is held exactly as long as the operation's scope, however
// it ends.
//
// Thread contract: the guard belongs to the constructing thread; everything of the TEF
// component runs there until the destructor.
#pragma once

#include <chrono>

#include "transport/client_channel.h"

namespace requests {

class TDmSitef;

// How long a request waits for the guard while another holder has it only briefly (another
// connection's disconnect hook, a status check, a session start with nothing to change)
// before it counts as arriving during an operation.
inline constexpr std::chrono::milliseconds kBriefOperation{250};

class TTefOperation {
public:
    // `client` may be null for work that has no client to talk to.
    TTefOperation(TDmSitef& module, transport::ClientChannel* client);
    // As above, waiting up to `patience` for another holder to release the guard.
    TTefOperation(TDmSitef& module, transport::ClientChannel* client,
                  std::chrono::milliseconds patience);
    ~TTefOperation();
    TTefOperation(const TTefOperation&) = delete;
    TTefOperation& operator=(const TTefOperation&) = delete;

    // False when another operation held the guard: this one must not touch the component.
    bool Acquired() const { return acquired_; }

private:
    static bool BeginWithin(TDmSitef& module, transport::ClientChannel* client,
                            std::chrono::milliseconds patience);

    TDmSitef& module_;
    const bool acquired_;
};

}  // namespace requests
