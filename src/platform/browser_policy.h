// Machine-wide policies of the Chromium-based browsers, where the system keeps them for a
// managed machine: on Linux a JSON file per set in each browser's managed-policy folder
// (/etc/chromium/policies/managed, /etc/opt/chrome/policies/managed,
// /etc/opt/edge/policies/managed), on Windows the registry under HKLM\SOFTWARE\Policies.
//
// What is written is a set of our own, known by its name (the file name on Linux): a shop's
// other policies stay as they are, and removing the set removes what we wrote and nothing
// else. None of these raises; every outcome says what happened where.
#pragma once

#include <string>
#include <vector>

#include "platform/file_status.h"

namespace platform {

enum class Browser { kChromium, kGoogleChrome, kMicrosoftEdge };

inline constexpr Browser kAllBrowsers[] = {Browser::kChromium, Browser::kGoogleChrome,
                                           Browser::kMicrosoftEdge};

// "Chromium", "Google Chrome", "Microsoft Edge".
const char* BrowserName(Browser browser);

// A policy whose value is a list of texts ("LocalNetworkAccessAllowedForUrls": [urls]).
struct BrowserListPolicy {
    std::string name;
    std::vector<std::string> values;
};

// Where a set lives.
struct BrowserPolicySet {
    std::string name;  // the set's own name: a file name stem on Linux
    // Prefix of the system's locations; empty for the system itself (tests redirect it).
    std::string root;
};

struct BrowserPolicyOutcome {
    std::string location;  // where the set is kept for this browser (a file on Linux)
    FileStatus status;     // success, or why the set could not be written or removed
    bool changed = false;  // something was written or removed
    // Other places of the same browser that set one of the same policies. The browser takes
    // such a policy from one place only, so ours may be the one it ignores.
    std::vector<std::string> rivals;
};

// Writes `policies` as the set for `browser`, replacing what the set held before. The set is
// readable by every account (browsers run as the cashier's, not as the one that wrote it).
BrowserPolicyOutcome WriteBrowserPolicies(Browser browser, const BrowserPolicySet& set,
                                          const std::vector<BrowserListPolicy>& policies);

// Removes the set for `browser`; a set that is not there is a success with nothing changed.
BrowserPolicyOutcome RemoveBrowserPolicies(Browser browser, const BrowserPolicySet& set);

}  // namespace platform
