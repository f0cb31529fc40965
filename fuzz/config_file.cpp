// The configuration file reader: any text as the INI file, every setting read from it, and a
// client-supplied text (the part of the input after a NUL byte) written as the announced
// version's download address, as the version route does.
#include "service/config_file.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/file_system.h"
#include "support/require.h"
#include "support/temp_folder.h"

namespace {

using qvfuzz::Require;
using service::ConfigFile;

struct Settings {
    int port;
    std::string printer;
    int32_t pdv;
    bool qrcode;
    std::string version;

    static Settings Of(const ConfigFile& config) {
        return {service::ListenPort(config), service::PrinterName(config),
                service::PdvNumber(config), service::QrCodeOnPinpad(config),
                config.ReadString("SITEF", service::kVersionKey, "")};
    }
    bool operator==(const Settings&) const = default;
};

void CheckInteger(std::string_view text) {
    const std::optional<int32_t> value = ConfigFile::ParseInteger(text);
    if (value)
        Require(ConfigFile::ParseInteger(std::to_string(*value)) == value, "integer reads back");
}

// Writing one key leaves every other setting as it was and reads back what was written.
void CheckWrite(ConfigFile& config, const std::string& value) {
    const Settings before = Settings::Of(config);
    const std::string file_before = platform::ReadFile(config.FileName()).value_or("<unreadable>");
    try {
        config.WriteString(service::kSitefSection, service::kDownloadUrlKey, value);
    } catch (const std::invalid_argument&) {
        Require(platform::ReadFile(config.FileName()).value_or("<unreadable>") == file_before,
                "a refused write changes nothing");
        return;
    }
    Require(Settings::Of(config) == before, "a write changes no other setting");
    // The file's format keeps no blanks around a value.
    const size_t first = value.find_first_not_of(" \t");
    const std::string stored = first == std::string::npos
                                   ? ""
                                   : value.substr(first, value.find_last_not_of(" \t") + 1 - first);
    Require(config.ReadString(service::kSitefSection, service::kDownloadUrlKey, "") == stored,
            "a written value reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qvtest::TempFolder folder;
    const auto [ini, value] = qvfuzz::SplitAtNul(qvfuzz::AsText(data, size));
    const std::string path = folder / "QuorvexSiTefService.ini";
    Require(bool(platform::WriteFile(path, ini)), "the INI file is written");
    ConfigFile config(path);
    CheckInteger(config.ReadString(service::kSitefSection, service::kServerPortKey, ""));
    CheckInteger(value);
    CheckWrite(config, std::string(value));
    return 0;
}
