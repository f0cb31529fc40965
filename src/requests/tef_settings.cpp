#include "requests/tef_settings.h"

#include "platform/code_page.h"
#include "tef/ansi_text.h"

namespace requests {
namespace {

// The lines of `text`, split at CR LF, LF or CR.
tef::TextLines Lines(const std::string& text) {
    tef::TextLines lines;
    if (text.empty()) return lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find_first_of("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return lines;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

}  // namespace

bool TTefSettings::SatisfiedBy(const TTefSettings& applied) const {
    TTefSettings wanted = *this;
    if (!wanted.restricoes) wanted.restricoes = applied.restricoes;
    return wanted == applied;
}

TTefSettings SettingsFromClaims(const TSessionClaims& claims, const std::string& terminal,
                                bool qrcode_on_pinpad) {
    TTefSettings s;
    s.tls = claims.tls;
    if (s.tls) {
        s.cnpj_loja = tef::OnlyDigits(claims.store_cnpj);
        s.cnpj_kalabs = tef::OnlyDigits(claims.tef_cnpj);
        s.registration_token = claims.registration_token;
    }
    s.ip = platform::Utf8ToCp1252(claims.ip_address);
    s.store_code = platform::Utf8ToCp1252(claims.store_code);
    s.terminal = platform::Utf8ToCp1252(terminal);
    s.operador = platform::Utf8ToCp1252(claims.operator_);
    s.parametros = Lines(claims.additional_parameters);
    if (!qrcode_on_pinpad) s.restricoes = kQrCodeToApplication;
    return s;
}

}  // namespace requests
