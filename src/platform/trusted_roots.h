// The machine's own list of trusted root certificates, for a CA of ours that browsers and
// other programs on this machine should trust. On Windows that is the local machine's "ROOT"
// store (every account, and the browsers that verify through the system, trust it; writing
// needs an administrator). Linux has no single store every browser reads, so nothing is
// imported there: the outcome says so and the caller points the user to the browser's own.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_status.h"

namespace platform {

struct TrustedRootOutcome {
    bool supported = true;  // false: this system has no such store; nothing was done
    std::string location;   // the store's name, "LocalMachine\ROOT"
    FileStatus status;      // success, or why the store could not be opened or changed
    bool changed = false;   // the certificate was added (or removed)
};

// Adds the certificate (DER bytes) under `friendly_name`; one that is there already is a
// success with nothing changed.
TrustedRootOutcome AddTrustedRoot(std::string_view der, const std::string& friendly_name);

// Removes that same certificate; one that is not there is a success with nothing changed.
TrustedRootOutcome RemoveTrustedRoot(std::string_view der);

}  // namespace platform
