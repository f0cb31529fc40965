// What a client of the integration tests sends and reads: session tokens signed with the
// service's own signing code, the session start request, members of the service's messages
// and the error reply as JSON text.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "requests/json_envelope.h"
#include "requests/json_writer.h"
#include "requests/session_token.h"

namespace qvtest {

// Claims of a token as JSON texts of their values, in order; tests change or drop some.
class Claims {
public:
    Claims() {
        Set("secctional_code", R"("12")");
        Set("ip_address", R"("127.0.0.1")");
        Set("store_code", R"("00000000")");
        Set("additional_parameters", R"("PortaPinPad=AUTO_USB\r\nTipoPinPad=1")");
        Set("operator", R"("Caixa 1")");
        Set("sale_id", "1");
        Set("company_id", R"("3")");
        Set("callback_url", R"("https://loja.test/retorno")");
    }
    Claims& Set(const std::string& name, const std::string& json) {
        Drop(name);
        values_.emplace_back(name, json);
        return *this;
    }
    Claims& Drop(const std::string& name) {
        std::erase_if(values_, [&](const auto& value) { return value.first == name; });
        return *this;
    }
    Claims& Tls(const std::string& registration_token) {
        return Set("connection_type", R"("TLS")")
            .Set("store_cnpj", R"("12.345.678/0001-90")")
            .Set("tef_cnpj", R"("98.765.432/0001-10")")
            .Set("registration_token", "\"" + registration_token + "\"");
    }
    std::string Json() const {
        std::string json = "{";
        for (const auto& [name, value] : values_)
            json += (json.size() > 1 ? ",\"" : "\"") + name + "\":" + value;
        return json + "}";
    }
    std::string Token(requests::TokenAlgorithm alg = requests::TokenAlgorithm::kHS256) const {
        return requests::SignSessionToken(Json(), alg);
    }

private:
    std::vector<std::pair<std::string, std::string>> values_;
};

inline std::string StartRequest(const std::string& token) {
    return requests::JsonObject()
        .Add("route", "/session/start")
        .Add("type", "session")
        .Add("token", token)
        .ToString();
}

// A "/transaction" request of `type` in session `uuid` with `members` (JSON text of the
// members after "type").
inline std::string TransactionRequest(const std::string& uuid, const std::string& type,
                                      const std::string& members) {
    return R"({"route":"/transaction","session_uuid":")" + uuid + R"(","type":")" + type + R"(",)" +
           members + "}";
}

// The text of member `key` of a message; "<none>" without it.
inline std::string Field(const std::string& json, const std::string& key) {
    requests::JsonDocument document;
    if (!document.Parse(json) || !document.IsObject()) return "<not an object>";
    return requests::HasField(document.Object(), key) ? requests::GetField(document.Object(), key)
                                                      : "<none>";
}

// The error reply carrying `json_text` (the message as it is written in JSON).
inline std::string Error(const std::string& json_text) {
    return R"({"type":"error","message":")" + json_text + R"("})";
}

}  // namespace qvtest
