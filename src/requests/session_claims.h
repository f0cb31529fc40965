// The claims of a session token as the session start reads them, and the values it derives
// from them: the SiTef terminal number and the integer identifiers.
//
// Every value but "connection_type" and "additional_parameters" goes through the single-byte
// code page the payment library uses (characters it lacks become '?'), so what the service
// replies and stores is what the library is given.
#pragma once

#include <simdjson.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace requests {

// The claims that configure the TEF component, in the order they are read (UTF-8).
struct TSessionClaims {
    std::string secctional_code;
    bool tls = false;                                      // "connection_type" is exactly "TLS"
    std::string store_cnpj, tef_cnpj, registration_token;  // read in TLS mode only
    std::string ip_address, store_code, additional_parameters, operator_;
};

// Reads the claims above; an absent one raises RequestError "Campo <claim> nao encontrado.".
TSessionClaims ReadSessionClaims(simdjson::dom::object claims);

// A claim read as a decimal integer; text that is not one raises RequestError
// "'<text>' não é um número inteiro válido.".
int32_t IntegerClaim(simdjson::dom::object claims, std::string_view key);

// `utf8` after a round trip through Windows-1252.
std::string SingleBytePass(std::string_view utf8);

// "AG" + the sectional code left-filled with '0' to 4 characters (a longer code keeps its
// first 4) + the point-of-sale number in decimal, left-filled to 2 (a longer one keeps its
// first 2): "12" and 3 give "AG001203".
std::string TerminalNumber(std::string_view secctional_code, int32_t pdv_number);

}  // namespace requests
