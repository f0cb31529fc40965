#include "requests/session_claims.h"

#include "platform/code_page.h"
#include "requests/json_envelope.h"
#include "requests/request_values.h"
#include "tef/ansi_text.h"

namespace requests {
namespace {

std::string Claim(simdjson::dom::object claims, std::string_view key) {
    return SingleBytePass(GetField(claims, key));
}

// Fills or cuts single-byte text to exactly `width` characters.
std::string FixedWidth(std::string text, size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text.substr(0, width);
}

}  // namespace

std::string SingleBytePass(std::string_view utf8) {
    return platform::Cp1252ToUtf8(platform::Utf8ToCp1252(utf8));
}

TSessionClaims ReadSessionClaims(simdjson::dom::object claims) {
    TSessionClaims c;
    c.secctional_code = Claim(claims, "secctional_code");
    c.tls = HasField(claims, "connection_type") && GetField(claims, "connection_type") == "TLS";
    if (c.tls) {
        c.store_cnpj = Claim(claims, "store_cnpj");
        c.tef_cnpj = Claim(claims, "tef_cnpj");
        c.registration_token = Claim(claims, "registration_token");
    }
    c.ip_address = Claim(claims, "ip_address");
    c.store_code = Claim(claims, "store_code");
    c.additional_parameters = GetField(claims, "additional_parameters");
    c.operator_ = Claim(claims, "operator");
    return c;
}

int32_t IntegerClaim(simdjson::dom::object claims, std::string_view key) {
    return IntegerValue(Claim(claims, key));
}

std::string TerminalNumber(std::string_view secctional_code, int32_t pdv_number) {
    const std::string code = FixedWidth(platform::Utf8ToCp1252(secctional_code), 4);
    return "AG" + platform::Cp1252ToUtf8(code) + FixedWidth(std::to_string(pdv_number), 2);
}

}  // namespace requests
