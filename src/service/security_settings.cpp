#include "service/security_settings.h"

#include "platform/file_system.h"
#include "platform/paths.h"

namespace service {
namespace {

std::string TrimEnd(std::string text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
    return text;
}

std::string JoinedOrigins(const std::vector<std::string>& origins) {
    std::string text;
    for (const std::string& origin : origins) text += (text.empty() ? "" : ", ") + origin;
    return text;
}

// A switch of the protections: 1 on, 0 or absent off. Any other value leaves it off, as
// every boolean of the configuration, but such a value was most likely meant to switch it
// on, so the log says what happened.
bool ReadSwitch(const ConfigFile& config, std::string_view key, std::vector<std::string>& log) {
    const std::string text = config.ReadString(kSitefSection, key, "");
    if (text.empty()) return false;
    const std::optional<int32_t> value = ConfigFile::ParseInteger(text);
    if (!value) {
        log.push_back("Aviso: valor \"" + text + "\" de " + std::string(key) +
                      " não é 1 nem 0; proteção desligada.");
        return false;
    }
    return *value != 0;
}

void ReadTokenKey(const ConfigFile& config, const std::string& app_dir, TSecuritySettings& s,
                  std::vector<std::string>& log) {
    const std::string inline_key = config.ReadString(kSitefSection, kTokenKeyKey, "");
    std::string file = config.ReadString(kSitefSection, kTokenKeyFileKey, "");
    if (file.empty()) {
        if (!inline_key.empty()) s.token_key = inline_key;
    } else {
        if (!inline_key.empty())
            log.push_back("Aviso: token_key e token_key_file definidos; vale token_key_file.");
        if (!platform::IsAbsolutePath(file)) file = app_dir + file;
        std::string problem;
        s.token_key = ReadTokenKeyFile(file, problem);
        if (!s.token_key) {
            s.token_key_problem = "Erro ao ler a chave de token (" + file + "): " + problem +
                                  ". Inícios de sessão serão recusados.";
            log.push_back(s.token_key_problem);
        }
    }
    if (s.token_key && s.token_key->size() < kRecommendedTokenKeyBytes) {
        log.push_back("Aviso: chave de token com menos de " +
                      std::to_string(kRecommendedTokenKeyBytes) + " bytes.");
    }
}

}  // namespace

bool TSecuritySettings::AnyOn() const {
    return origins.Active() || CustomTokenKey() || require_token_expiry || require_print_session;
}

std::string TSecuritySettings::Summary() const {
    std::vector<std::string> parts;
    if (!origins.Allowed().empty())
        parts.push_back("origens permitidas [" + JoinedOrigins(origins.Allowed()) + "]");
    if (origins.RequireOrigin()) parts.push_back("conexões sem Origin recusadas");
    if (CustomTokenKey()) parts.push_back("chave de token própria");
    if (require_token_expiry) parts.push_back("expiração do token exigida");
    if (require_print_session) parts.push_back("sessão exigida em /print");
    std::string text = "Proteções ativas: ";
    for (size_t i = 0; i < parts.size(); ++i) text += (i > 0 ? "; " : "") + parts[i];
    return text + ".";
}

TSecurityReading ReadSecuritySettings(const ConfigFile& config, const std::string& app_dir) {
    TSecurityReading reading;
    std::vector<std::string> problems;
    TSecuritySettings& s = reading.settings;
    s.origins = transport::OriginPolicy(transport::OriginPolicy::ParseList(config.ReadString(
                                            kSitefSection, kAllowedOriginsKey, "")),
                                        ReadSwitch(config, kRequireOriginKey, problems));
    ReadTokenKey(config, app_dir, s, problems);
    s.require_token_expiry = ReadSwitch(config, kRequireTokenExpiryKey, problems);
    s.require_print_session = ReadSwitch(config, kRequirePrintSessionKey, problems);
    if (s.AnyOn()) reading.log_lines.push_back(s.Summary());
    reading.log_lines.insert(reading.log_lines.end(), problems.begin(), problems.end());
    return reading;
}

std::optional<std::string> ReadTokenKeyFile(const std::string& path, std::string& problem) {
    const platform::FileContents bytes = platform::ReadFile(path);
    if (!bytes) {
        problem = "arquivo não encontrado ou ilegível (" + bytes.Status().Reason() + ")";
        return std::nullopt;
    }
    std::string key = TrimEnd(*bytes);
    if (key.empty()) {
        problem = "arquivo vazio";
        return std::nullopt;
    }
    return key;
}

}  // namespace service
