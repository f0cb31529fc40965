// The configuration a session start gives the TEF component and its CliSiTef engine, built
// from the token's claims, the terminal number and the service's configuration file.
#pragma once

#include <optional>
#include <string>

#include "requests/session_claims.h"
#include "tef/types.h"

namespace requests {

struct TTefSettings {
    bool tls = false;  // through the SiTef TLS gateway
    // Digits only; empty outside TLS mode.
    std::string cnpj_loja, cnpj_kalabs;
    std::string registration_token;  // TLS mode only
    // Windows-1252, as the engine keeps them.
    tef::AnsiString ip, store_code, terminal, operador;
    tef::TextLines parametros;  // one additional parameter per line
    // The engine's restrictions; none leaves them as they are.
    std::optional<tef::AnsiString> restricoes;

    bool operator==(const TTefSettings&) const = default;

    // Whether a component configured with `applied` already is configured as these settings
    // ask (settings that leave the restrictions alone accept any).
    bool SatisfiedBy(const TTefSettings& applied) const;
};

// The restriction that has the library hand QR codes to the application.
inline constexpr const char* kQrCodeToApplication = "{DevolveStringQRCode=1}";

TTefSettings SettingsFromClaims(const TSessionClaims& claims, const std::string& terminal,
                                bool qrcode_on_pinpad);

}  // namespace requests
