// The protections a shop may switch on in the configuration (section [sitef]), all off by
// default: which browser pages may connect, the key session tokens are verified with, whether
// tokens must carry an expiry, and whether "/print" needs a session.
//
// The service reads them once at every start and continue into one immutable snapshot that
// requests share, so a request never sees a value half written by an editor, nor one change
// applied and the next not yet: a change takes effect at the next continue or restart.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "service/config_file.h"
#include "transport/origin_policy.h"

namespace service {

inline constexpr std::string_view kAllowedOriginsKey = "allowed_origins";
inline constexpr std::string_view kRequireOriginKey = "require_origin";
inline constexpr std::string_view kTokenKeyKey = "token_key";
inline constexpr std::string_view kTokenKeyFileKey = "token_key_file";
inline constexpr std::string_view kRequireTokenExpiryKey = "require_token_expiry";
inline constexpr std::string_view kRequirePrintSessionKey = "require_print_session";

// Shorter keys than this are accepted with a warning in the log.
inline constexpr size_t kRecommendedTokenKeyBytes = 32;

struct TSecuritySettings {
    transport::OriginPolicy origins;
    // The key tokens are verified with; none: the key built into the service.
    std::optional<std::string> token_key;
    // A token key was configured but cannot be used (its file is unreadable or empty): why.
    // Session starts are then refused instead of falling back to the built-in key.
    std::string token_key_problem;
    bool require_token_expiry = false;
    bool require_print_session = false;

    // A key of the shop's own is configured (usable or not).
    bool CustomTokenKey() const { return token_key.has_value() || !token_key_problem.empty(); }
    bool AnyOn() const;
    // "Proteções ativas: ..." naming what is on (no key, only where it comes from).
    std::string Summary() const;
};

struct TSecurityReading {
    TSecuritySettings settings;
    // What the service log should say about them: the summary when anything is on, and each
    // problem or doubtful value. Empty for a configuration without any of the keys.
    std::vector<std::string> log_lines;
};

// Reads the keys above; a relative key file path is taken from `app_dir`.
TSecurityReading ReadSecuritySettings(const ConfigFile& config, const std::string& app_dir);

// The key a key file holds: its bytes without the line breaks and blanks at its end. None
// when the file cannot be read or holds nothing else; `problem` then says why (Portuguese).
std::optional<std::string> ReadTokenKeyFile(const std::string& path, std::string& problem);

}  // namespace service
