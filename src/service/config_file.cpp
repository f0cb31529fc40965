#include "service/config_file.h"

// Only narrow text is used; the wide-character conversions are not wanted.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <charconv>
#include <stdexcept>

#include "platform/file_system.h"

namespace service {
namespace {

// Loads the whole file; a missing or unreadable file reads as empty.
void Load(CSimpleIniA& ini, const std::string& path) {
    ini.SetUnicode(false);
    if (const platform::FileContents text = platform::ReadFile(path)) ini.LoadData(*text);
}

std::optional<int32_t> ParseDigits(std::string_view text, int base) {
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    if (base == 16) {
        // Hexadecimal spells the 32 bits themselves: 0xFFFFFFFF is -1.
        if (value < 0 || value > 0xFFFFFFFFll) return std::nullopt;
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

}  // namespace

ConfigFile::ConfigFile(std::string path) : path_(std::move(path)) {}

std::optional<int32_t> ConfigFile::ParseInteger(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = text.substr(2);
        if (digits.front() == '-' || digits.front() == '+') return std::nullopt;
        return ParseDigits(digits, 16);
    }
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) return std::nullopt;
    }
    return ParseDigits(text, 10);
}

void ConfigFile::CheckValue(std::string_view key, std::string_view value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        throw std::invalid_argument("Valor inválido para " + std::string(key) +
                                    ": quebra de linha ou caractere nulo.");
    }
}

std::optional<std::string> ConfigFile::ReadValue(std::string_view section,
                                                 std::string_view key) const {
    std::lock_guard lock(mutex_);
    CSimpleIniA ini;
    Load(ini, path_);
    const char* value = ini.GetValue(std::string(section).c_str(), std::string(key).c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::string ConfigFile::ReadString(std::string_view section, std::string_view key,
                                   const std::string& fallback) const {
    return ReadValue(section, key).value_or(fallback);
}

int32_t ConfigFile::ReadInteger(std::string_view section, std::string_view key,
                                int32_t fallback) const {
    std::optional<std::string> text = ReadValue(section, key);
    if (!text) return fallback;
    return ParseInteger(*text).value_or(fallback);
}

bool ConfigFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void ConfigFile::WriteString(std::string_view section, std::string_view key,
                             const std::string& value) {
    CheckValue(key, value);
    std::lock_guard lock(mutex_);
    CSimpleIniA ini;
    Load(ini, path_);
    ini.SetValue(std::string(section).c_str(), std::string(key).c_str(), value.c_str());
    std::string text;
    if (ini.Save(text) < 0) {
        throw std::runtime_error("Não foi possível gravar o arquivo de configuração " + path_);
    }
    // A mark read as part of a name (not at the very start of the file) would lead the saved
    // text, and the next read would skip it as the file's byte-order mark: entries would move
    // into a section they were never in. A blank first line keeps it a name.
    if (text.starts_with("\xEF\xBB\xBF")) text.insert(0, "\n");
    if (const platform::FileStatus written = platform::WriteFile(path_, text, true); !written) {
        throw std::runtime_error("Não foi possível gravar o arquivo de configuração " + path_ +
                                 ": " + written.Reason());
    }
}

void ConfigFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void ConfigFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

int ListenPort(const ConfigFile& config) {
    const int32_t port = config.ReadInteger(kSitefSection, kServerPortKey, 0);
    return port > 0 ? port : kDefaultListenPort;
}

std::string PrinterName(const ConfigFile& config) {
    return config.ReadString(kSitefSection, kPrinterKey, "");
}

int32_t PdvNumber(const ConfigFile& config) {
    return config.ReadInteger(kSitefSection, kPdvNumberKey, 0);
}

bool QrCodeOnPinpad(const ConfigFile& config) {
    return config.ReadBool(kSitefSection, kQrCodeOnPinpadKey, false);
}

std::string TlsGatewayHost(const ConfigFile& config) {
    const std::string host = config.ReadString(kSitefSection, kTlsGatewayHostKey, "");
    return host.find_first_not_of(" \t") == std::string::npos ? kDefaultTlsGatewayHost : host;
}

int32_t ResultRetentionDays(const ConfigFile& config) {
    constexpr int32_t kDefaultDays = 30;
    const int32_t days = config.ReadInteger(kSitefSection, kResultRetentionDaysKey, kDefaultDays);
    return days >= 1 ? days : kDefaultDays;
}

void WriteAnnouncedVersion(ConfigFile& config, bool need_update, const std::string& download_url,
                           const std::string& version) {
    ConfigFile::CheckValue(kDownloadUrlKey, download_url);
    ConfigFile::CheckValue(kVersionKey, version);
    config.WriteBool(kSitefSection, kNeedUpdateKey, need_update);
    config.WriteString(kSitefSection, kDownloadUrlKey, download_url);
    config.WriteString(kSitefSection, kVersionKey, version);
}

}  // namespace service
