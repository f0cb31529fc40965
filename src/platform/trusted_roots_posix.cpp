#include "platform/trusted_roots.h"

namespace platform {
namespace {

// Chromium and Firefox keep their own NSS databases per user, so a system-wide file would not
// reach them; the README shows how to trust the CA in each.
TrustedRootOutcome Unsupported() {
    TrustedRootOutcome outcome;
    outcome.supported = false;
    return outcome;
}

}  // namespace

TrustedRootOutcome AddTrustedRoot(std::string_view, const std::string&) { return Unsupported(); }

TrustedRootOutcome RemoveTrustedRoot(std::string_view) { return Unsupported(); }

}  // namespace platform
