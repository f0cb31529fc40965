#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/browser_policy.h"
#include "platform/file_system.h"
#include "platform/json_string.h"

namespace platform {
namespace {

// Browsers read their managed policies as the cashier's account, so whatever the umask of
// whoever writes them, the folders and files must be readable by everyone.
constexpr mode_t kSharedFolderMode = 0755;
constexpr mode_t kSharedFileMode = 0644;

// Each browser's folder of mandatory policies, below the root.
const char* PolicyFolder(Browser browser) {
    switch (browser) {
        case Browser::kChromium:
            return "etc/chromium/policies/managed";
        case Browser::kGoogleChrome:
            return "etc/opt/chrome/policies/managed";
        case Browser::kMicrosoftEdge:
            return "etc/opt/edge/policies/managed";
    }
    return "";
}

std::string Root(const std::string& root) {
    std::string trimmed = root;
    while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
    return trimmed;
}

std::string SetFileName(const BrowserPolicySet& set) { return set.name + ".json"; }

std::string SetFile(Browser browser, const BrowserPolicySet& set) {
    return Root(set.root) + "/" + PolicyFolder(browser) + "/" + SetFileName(set);
}

// A set's name becomes a file name in a folder shared with the shop's own policy files.
bool UsableSetName(const std::string& name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

FileStatus MakeShared(const std::string& path, mode_t mode) {
    if (::chmod(path.c_str(), mode) != 0) return FileStatus(errno, "chmod", path);
    return {};
}

// Creates the missing levels of the browser's folder, each one readable by everyone.
FileStatus MakePolicyFolder(const std::string& root, const std::string& relative) {
    std::string path = root;
    size_t start = 0;
    while (start < relative.size()) {
        const size_t slash = std::min(relative.find('/', start), relative.size());
        path += "/" + relative.substr(start, slash - start);
        start = slash + 1;
        if (DirectoryExists(path)) continue;
        // Something else of that name is in the way.
        if (FileStatus made = CreateDir(path); !made)
            return made.Error() == EEXIST ? FileStatus(ENOTDIR, "mkdir", path) : made;
        if (FileStatus shared = MakeShared(path, kSharedFolderMode); !shared) return shared;
    }
    return {};
}

// One policy per line group, for whoever opens the file to see what it allows.
std::string PolicyJson(const std::vector<BrowserListPolicy>& policies) {
    std::string json = "{";
    for (size_t p = 0; p < policies.size(); ++p) {
        json += p == 0 ? "\n  " : ",\n  ";
        AppendJsonString(json, policies[p].name);
        json += ": [";
        for (size_t v = 0; v < policies[p].values.size(); ++v) {
            json += v == 0 ? "\n    " : ",\n    ";
            AppendJsonString(json, policies[p].values[v]);
        }
        json += policies[p].values.empty() ? "]" : "\n  ]";
    }
    return json + "\n}\n";
}

// Other files of the folder naming one of `policies`: the browser merges the files of the
// folder but takes each policy from one file only (the last by name).
std::vector<std::string> Rivals(const std::string& folder, const std::string& own_file,
                                const std::vector<BrowserListPolicy>& policies) {
    std::vector<std::string> rivals;
    for (const std::string& name : ListFiles(folder, "*")) {
        if (name == own_file || name == own_file + std::string(kTemporarySuffix)) continue;
        const FileContents contents = ReadFile(folder + "/" + name);
        if (!contents) continue;
        const bool rival = std::any_of(policies.begin(), policies.end(), [&](const auto& policy) {
            return contents->find("\"" + policy.name + "\"") != std::string::npos;
        });
        if (rival) rivals.push_back(folder + "/" + name);
    }
    std::sort(rivals.begin(), rivals.end());
    return rivals;
}

}  // namespace

BrowserPolicyOutcome WriteBrowserPolicies(Browser browser, const BrowserPolicySet& set,
                                          const std::vector<BrowserListPolicy>& policies) {
    BrowserPolicyOutcome outcome{SetFile(browser, set), {}, false, {}};
    if (!UsableSetName(set.name)) {
        outcome.status = FileStatus(EINVAL, "write", outcome.location);
        return outcome;
    }
    outcome.status = MakePolicyFolder(Root(set.root), PolicyFolder(browser));
    if (outcome.status) outcome.status = WriteFile(outcome.location, PolicyJson(policies), true);
    if (!outcome.status) return outcome;
    outcome.changed = true;
    outcome.status = MakeShared(outcome.location, kSharedFileMode);
    outcome.rivals =
        Rivals(Root(set.root) + "/" + PolicyFolder(browser), SetFileName(set), policies);
    return outcome;
}

BrowserPolicyOutcome RemoveBrowserPolicies(Browser browser, const BrowserPolicySet& set) {
    BrowserPolicyOutcome outcome{SetFile(browser, set), {}, false, {}};
    if (!UsableSetName(set.name)) {
        outcome.status = FileStatus(EINVAL, "unlink", outcome.location);
        return outcome;
    }
    const FileStatus deleted = DeleteFile(outcome.location);
    outcome.changed = bool(deleted);
    if (!deleted && deleted.Error() != ENOENT) outcome.status = deleted;
    return outcome;
}

}  // namespace platform
