// qv-token: prints a session token for "/session/start", signed with the key built into the
// service or with a shop's own key. Claims come from options or from a JSON file; see --help.
#include <array>
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/program_arguments.h"
#include "requests/json_envelope.h"
#include "requests/json_writer.h"
#include "requests/session_token.h"
#include "service/security_settings.h"
#include "tef/ansi_text.h"

namespace {

using requests::TokenAlgorithm;

struct ClaimOption {
    const char* name;
    const char* help;
};

// The claims a session start reads, in the order they are written into the token.
constexpr std::array<ClaimOption, 12> kClaims = {{
    {"secctional_code", "sectional code (4 middle characters of the terminal number)"},
    {"connection_type", "\"TLS\" for stores behind the SiTef TLS gateway"},
    {"store_cnpj", "store CNPJ (TLS mode)"},
    {"tef_cnpj", "CNPJ of the TEF software house (TLS mode)"},
    {"registration_token", "TLS gateway registration token (TLS mode)"},
    {"ip_address", "SiTef server address"},
    {"store_code", "SiTef store code"},
    {"additional_parameters", "additional CliSiTef parameters, one per line"},
    {"operator", "operator"},
    {"sale_id", "sale identifier (an integer is written as a JSON number)"},
    {"company_id", "company identifier (an integer is written as a JSON number)"},
    {"callback_url", "callback address"},
}};

constexpr const char* kUsage =
    R"(Usage: qv-token [--alg HS256|HS384|HS512] [--key KEY | --key-file FILE]
                (--claims FILE | --<claim> VALUE ...)

Prints a session token for the "/session/start" request, signed with the key built
into the service, or with the key a shop configured (token_key or token_key_file).

Options:
  --alg ALG          HS256 (default), HS384 or HS512
  --key KEY          sign with this key (as token_key)
  --key-file FILE    sign with the key in FILE (as token_key_file: trailing line
                     breaks and blanks are not part of it)
  --claims FILE      the claims: a JSON object, used as it stands
  --claim NAME=VALUE any other claim, as text
  --expires-in SECS  an "exp" claim (a number) SECS seconds from now; negative
                     for a token already expired
  --help             this text

Claims:
)";

struct Options {
    TokenAlgorithm alg = TokenAlgorithm::kHS256;
    std::optional<std::string> key;
    std::optional<std::string> key_file;
    std::optional<std::string> claims_file;
    std::optional<int32_t> expires_in;
    std::vector<std::pair<std::string, std::string>> claims;
    bool help = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool IsClaimName(std::string_view name) {
    for (const ClaimOption& claim : kClaims) {
        if (name == claim.name) return true;
    }
    return false;
}

void PrintUsage() {
    std::cout << kUsage;
    for (const ClaimOption& claim : kClaims) {
        std::string option = std::string("  --") + claim.name + " VALUE";
        option.resize(std::max<size_t>(option.size() + 1, 36), ' ');
        std::cout << option << claim.help << '\n';
    }
}

// Takes one option (and its value) from `args` at `i`.
void TakeOption(const std::vector<std::string_view>& args, size_t& i, Options& options) {
    const std::string_view option = args[i];
    if (option == "--help") {
        options.help = true;
        return;
    }
    if (!option.starts_with("--")) throw UsageError("unexpected argument: " + std::string(option));
    if (i + 1 >= args.size()) throw UsageError(std::string(option) + " needs a value");
    const std::string value(args[++i]);
    const std::string_view name = option.substr(2);
    if (name == "alg") {
        const std::optional<TokenAlgorithm> alg = requests::AlgorithmFromName(value);
        if (!alg) throw UsageError("--alg must be HS256, HS384 or HS512");
        options.alg = *alg;
    } else if (name == "key") {
        if (value.empty()) throw UsageError("--key needs a key");
        options.key = value;
    } else if (name == "key-file") {
        options.key_file = value;
    } else if (name == "expires-in") {
        options.expires_in = tef::ParseInt32(value);
        if (!options.expires_in) throw UsageError("--expires-in needs a number of seconds");
    } else if (name == "claims") {
        options.claims_file = value;
    } else if (name == "claim") {
        const size_t equals = value.find('=');
        if (equals == std::string::npos || equals == 0)
            throw UsageError("--claim needs NAME=VALUE");
        options.claims.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    } else if (IsClaimName(name)) {
        options.claims.emplace_back(std::string(name), value);
    } else {
        throw UsageError("unknown option: " + std::string(option));
    }
}

Options ParseOptions(const std::vector<std::string_view>& args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) TakeOption(args, i, options);
    if (options.claims_file && (!options.claims.empty() || options.expires_in))
        throw UsageError("--claims cannot be combined with claim options");
    if (options.key && options.key_file)
        throw UsageError("--key cannot be combined with --key-file");
    return options;
}

std::string ClaimsFromOptions(const Options& options) {
    requests::JsonObject claims;
    for (const auto& [name, value] : options.claims) {
        const bool numeric =
            (name == "sale_id" || name == "company_id") && tef::ParseInt32(value).has_value();
        if (numeric) {
            claims.Add(name, static_cast<int64_t>(*tef::ParseInt32(value)));
        } else {
            claims.Add(name, value);
        }
    }
    if (options.expires_in) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        claims.Add("exp", std::chrono::duration_cast<std::chrono::seconds>(now).count() +
                              *options.expires_in);
    }
    return claims.ToString();
}

std::string ClaimsFromFile(const std::string& path) {
    const platform::FileContents text = platform::ReadFile(path);
    if (!text) throw UsageError("cannot read " + path + ": " + text.Status().Reason());
    requests::JsonDocument document;
    if (!document.Parse(*text) || !document.IsObject())
        throw UsageError(path + " does not hold a JSON object");
    return *text;
}

// The key to sign with: as the service reads it from its configuration.
std::string SigningKey(const Options& options) {
    if (options.key) return *options.key;
    if (!options.key_file) return std::string(requests::kSessionTokenKey);
    std::string problem;
    std::optional<std::string> key = service::ReadTokenKeyFile(*options.key_file, problem);
    if (!key) throw UsageError(*options.key_file + ": " + problem);
    return *key;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
        const Options options =
            ParseOptions(std::vector<std::string_view>(arguments.begin(), arguments.end()));
        if (options.help) {
            PrintUsage();
            return 0;
        }
        const std::string claims =
            options.claims_file ? ClaimsFromFile(*options.claims_file) : ClaimsFromOptions(options);
        std::cout << requests::SignSessionToken(claims, options.alg, SigningKey(options)) << '\n';
        return 0;
    } catch (const UsageError& e) {
        std::cerr << "qv-token: " << e.what() << "\n(qv-token --help lists the options)\n";
        return 2;
    }
}
