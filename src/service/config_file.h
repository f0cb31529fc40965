// The configuration file: an INI file of one section, read and written through on every call
// (no copy is kept, so a value one thread writes is what the next read sees). Section and key
// names match in any letter case. Integers are decimal or "0x" hexadecimal; a missing value
// or one that is not an integer yields the default. Booleans are integers (non-zero = true),
// written "1" or "0". A missing file reads as empty; the first write creates it.
// Safe to use from several threads: each read or write holds the object's lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace service {

class ConfigFile {
public:
    explicit ConfigFile(std::string path);

    const std::string& FileName() const { return path_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& fallback) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

    // Raise std::runtime_error when the file cannot be written, std::invalid_argument for a
    // value that CheckValue refuses; the file is then unchanged.
    void WriteString(std::string_view section, std::string_view key, const std::string& value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // A value is one line of the file: a line break would end it early and let the rest add
    // keys and sections of its own, and a NUL byte would cut it short. Raises
    // std::invalid_argument naming the key for a value holding CR, LF or NUL.
    static void CheckValue(std::string_view key, std::string_view value);

    // "123", "-5", "0x50" → the number; anything else (also out of 32-bit range) → none.
    static std::optional<int32_t> ParseInteger(std::string_view text);

private:
    std::optional<std::string> ReadValue(std::string_view section, std::string_view key) const;

    const std::string path_;
    mutable std::mutex mutex_;  // one read or write of the file at a time
};

// The section and keys of the service's configuration.
inline constexpr std::string_view kSitefSection = "sitef";
inline constexpr std::string_view kServerPortKey = "server_port";
inline constexpr std::string_view kPrinterKey = "printer";
inline constexpr std::string_view kPdvNumberKey = "pdv_number";
inline constexpr std::string_view kQrCodeOnPinpadKey = "qrcode_on_pinpad";
inline constexpr std::string_view kNeedUpdateKey = "need_update";
inline constexpr std::string_view kDownloadUrlKey = "download_url";
inline constexpr std::string_view kVersionKey = "version";
inline constexpr std::string_view kTlsGatewayHostKey = "tls_gateway_host";
inline constexpr std::string_view kResultRetentionDaysKey = "result_retention_days";

inline constexpr int kDefaultListenPort = 443;
// The SiTef provider's TLS gateway, unless the configuration names another.
inline constexpr const char* kDefaultTlsGatewayHost = "tls-gateway.sitef.com.br";

// The listener's port: server_port, or 443 when it is missing, not a number, 0 or negative.
int ListenPort(const ConfigFile& config);
// Printer of the print queue and the print requests (empty: none configured).
std::string PrinterName(const ConfigFile& config);
// Point-of-sale number (default 0).
int32_t PdvNumber(const ConfigFile& config);
// Whether QR codes are shown on the PIN pad instead of being handed to the client.
bool QrCodeOnPinpad(const ConfigFile& config);
// Host of the SiTef TLS gateway the payment library is pointed at in TLS mode:
// tls_gateway_host, or the built-in one when it is missing or blank.
std::string TlsGatewayHost(const ConfigFile& config);
// Days the outcomes of requests with a "request_id" are kept: result_retention_days, or 30 when
// it is missing, not a number or below 1.
int32_t ResultRetentionDays(const ConfigFile& config);
// Records a version announced by the client: all three keys, or none when a text is refused
// (std::invalid_argument, see ConfigFile::CheckValue).
void WriteAnnouncedVersion(ConfigFile& config, bool need_update, const std::string& download_url,
                           const std::string& version);

}  // namespace service
