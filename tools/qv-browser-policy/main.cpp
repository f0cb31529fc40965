// qv-browser-policy: lets the point-of-sale page of a shop reach the service in the
// Chromium-based browsers of this machine, by writing their managed policy that exempts the
// page's origin from Local Network Access checks; optionally adds the same origin to the
// service's allowed_origins. --remove takes back the files it wrote. See --help.
#include <algorithm>
#include <cerrno>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "page_origin.h"
#include "platform/browser_policy.h"
#include "platform/file_system.h"
#include "platform/program_arguments.h"
#include "service/config_file.h"
#include "service/security_settings.h"
#include "transport/origin_policy.h"

namespace {

using platform::Browser;

// Exempts the listed origins from Local Network Access checks: asked neither for loopback nor
// for LAN addresses, since Chromium 140 (the split per address kind came later and the
// browsers still honour this one).
constexpr const char* kAllowPolicy = "LocalNetworkAccessAllowedForUrls";
constexpr const char* kDefaultSetName = "quorvex-tef-server";

constexpr const char* kUsage =
    R"(Usage: qv-browser-policy --origin ORIGIN [--origin ORIGIN ...] [--ini FILE]
                         [--browser NAME ...] [--name NAME] [--root DIR]
       qv-browser-policy --remove [--browser NAME ...] [--name NAME] [--root DIR]

Lets the point-of-sale page served from ORIGIN open its connection to the service
on this machine in Chromium-based browsers, which otherwise ask the cashier first
("Local Network Access") or, where nobody can answer, refuse. Writes the browsers'
managed policy LocalNetworkAccessAllowedForUrls into a file of its own, so that the
shop's other policy files stay as they are:

  Chromium         /etc/chromium/policies/managed/NAME.json
  Google Chrome    /etc/opt/chrome/policies/managed/NAME.json
  Microsoft Edge   /etc/opt/edge/policies/managed/NAME.json

On Windows it adds the origins to the numbered values of the browsers' keys
HKLM\SOFTWARE\Policies\{Chromium,Google\Chrome,Microsoft\Edge}\
LocalNetworkAccessAllowedForUrls, after the shop's own, and remembers what it
added under HKLM\SOFTWARE\Quorvex\TEF Server\Browser policies\NAME.

Writing there needs root (an administrator on Windows). A browser already open
may need a restart; chrome://policy (edge://policy) shows what it applies.

Options:
  --origin ORIGIN   the page's origin, https://host or https://host:port
                    (repeat for more pages)
  --ini FILE        also add the origins to allowed_origins in the service's
                    configuration FILE (QuorvexSiTefService.ini), so that the
                    service accepts those pages and no others
  --browser NAME    chromium, chrome or edge (repeat; default: all three)
  --remove          remove the files (on Windows the entries) this command
                    wrote (allowed_origins is left as it is)
  --name NAME       the files' name without .json (default: quorvex-tef-server)
  --root DIR        write below DIR instead of / (to look before doing it); on
                    Windows a registry key, HKCU\Some\Key, instead of HKLM
  --help            this text
)";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::vector<std::string> origins;  // normalized
    std::vector<Browser> browsers;
    std::optional<std::string> ini;
    std::string set_name = kDefaultSetName;
    std::string root;
    bool remove = false;
    bool help = false;
};

Browser BrowserFromName(std::string_view name) {
    if (name == "chromium") return Browser::kChromium;
    if (name == "chrome") return Browser::kGoogleChrome;
    if (name == "edge") return Browser::kMicrosoftEdge;
    throw UsageError("--browser takes chromium, chrome or edge, not " + std::string(name));
}

// Takes one option (and its value) from `args` at `i`.
void TakeOption(const std::vector<std::string_view>& args, size_t& i, Options& options) {
    const std::string_view option = args[i];
    if (option == "--help" || option == "--remove") {
        (option == "--help" ? options.help : options.remove) = true;
        return;
    }
    if (!option.starts_with("--")) throw UsageError("unexpected argument: " + std::string(option));
    // An option where its value should be is a value forgotten, not a value.
    if (i + 1 >= args.size() || args[i + 1].starts_with("--"))
        throw UsageError(std::string(option) + " needs a value");
    const std::string value(args[++i]);
    if (option == "--origin") {
        const std::string origin = browser_policy::ParsePageOrigin(value);
        if (std::find(options.origins.begin(), options.origins.end(), origin) ==
            options.origins.end())
            options.origins.push_back(origin);
    } else if (option == "--browser") {
        options.browsers.push_back(BrowserFromName(value));
    } else if (option == "--ini") {
        options.ini = value;
    } else if (option == "--name") {
        if (value.empty() || value.front() == '.' || value.find('/') != std::string::npos)
            throw UsageError("--name needs a plain file name");
        options.set_name = value;
    } else if (option == "--root") {
        options.root = value;
    } else {
        throw UsageError("unknown option: " + std::string(option));
    }
}

Options ParseOptions(const std::vector<std::string_view>& args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) TakeOption(args, i, options);
    if (options.help) return options;
    if (options.remove && (!options.origins.empty() || options.ini))
        throw UsageError("--remove takes neither --origin nor --ini");
    if (!options.remove && options.origins.empty()) throw UsageError("--origin is required");
    if (options.ini && !platform::FileExists(*options.ini))
        throw UsageError(*options.ini + " does not exist");
    if (options.browsers.empty())
        options.browsers.assign(std::begin(platform::kAllBrowsers),
                                std::end(platform::kAllBrowsers));
    return options;
}

// Reports one browser's outcome; false when it failed.
bool Report(Browser browser, const platform::BrowserPolicyOutcome& outcome, bool remove) {
    const std::string name = platform::BrowserName(browser);
    if (!outcome.status) {
        std::cerr << name << ": " << outcome.status.Message()
                  << (outcome.status.Error() == EACCES ? " (run as root or administrator)" : "")
                  << '\n';
        return false;
    }
    if (remove) {
        std::cout << name << ": " << (outcome.changed ? "removed " : "nothing to remove at ")
                  << outcome.location << '\n';
        return true;
    }
    std::cout << name << ": wrote " << outcome.location << '\n';
    for (const std::string& rival : outcome.rivals) {
        std::cerr << "warning: " << rival << " also sets " << kAllowPolicy << "; " << name
                  << " takes it from one file only (the last by name), so list every origin "
                     "in one of the two\n";
    }
    return true;
}

// Adds the origins missing from allowed_origins, keeping those already there.
void AddAllowedOrigins(const std::string& ini, const std::vector<std::string>& origins) {
    service::ConfigFile config(ini);
    std::vector<std::string> allowed = transport::OriginPolicy::ParseList(
        config.ReadString(service::kSitefSection, service::kAllowedOriginsKey, ""));
    for (const std::string& origin : origins) {
        bool present = false;
        for (const std::string& listed : allowed)
            present = present || transport::OriginPolicy::Normalize(listed) == origin;
        if (!present) allowed.push_back(origin);
    }
    std::string value;
    for (const std::string& origin : allowed) value += (value.empty() ? "" : ",") + origin;
    config.WriteString(service::kSitefSection, service::kAllowedOriginsKey, value);
    std::cout << "allowed_origins=" << value << " in " << ini
              << "; restart the service (or pause and continue it) to apply it\n";
}

int Run(const Options& options) {
    const platform::BrowserPolicySet set{options.set_name, options.root};
    const std::vector<platform::BrowserListPolicy> policies = {{kAllowPolicy, options.origins}};
    bool all_done = true;
    for (const Browser browser : options.browsers) {
        const platform::BrowserPolicyOutcome outcome =
            options.remove ? platform::RemoveBrowserPolicies(browser, set)
                           : platform::WriteBrowserPolicies(browser, set, policies);
        all_done = Report(browser, outcome, options.remove) && all_done;
    }
    if (!options.ini) return all_done ? 0 : 1;
    // The service's list follows the browsers' only once they all let the page through.
    if (!all_done) {
        std::cerr << "allowed_origins in " << *options.ini << " left as it was\n";
        return 1;
    }
    AddAllowedOrigins(*options.ini, options.origins);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
        const Options options =
            ParseOptions(std::vector<std::string_view>(arguments.begin(), arguments.end()));
        if (options.help) {
            std::cout << kUsage;
            return 0;
        }
        return Run(options);
    } catch (const UsageError& e) {
        std::cerr << "qv-browser-policy: " << e.what()
                  << "\n(qv-browser-policy --help lists the options)\n";
        return 2;
    } catch (const browser_policy::OriginError& e) {
        std::cerr << "qv-browser-policy: " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "qv-browser-policy: " << e.what() << '\n';
        return 1;
    }
}
