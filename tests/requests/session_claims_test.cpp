// What a session start reads from the token's claims and makes of it.
#include "requests/session_claims.h"

#include <gtest/gtest.h>

#include "requests/json_envelope.h"
#include "requests/tef_settings.h"

namespace requests {
namespace {

class Claims : public ::testing::Test {
protected:
    simdjson::dom::object Parse(const std::string& json) {
        EXPECT_TRUE(document_.Parse(json)) << json;
        return document_.Object();
    }

    JsonDocument document_;
};

TEST_F(Claims, TerminalNumber) {
    struct Case {
        const char* code;
        int pdv;
        const char* terminal;
    } cases[] = {
        {"12", 3, "AG001203"},  {"123456", 7, "AG123407"}, {"12", 123, "AG001212"},
        {"", 0, "AG000000"},    {"1234", 99, "AG123499"},  {"ção", 1, "AG0ção01"},
        {"12", -5, "AG0012-5"},
    };
    for (const Case& c : cases) EXPECT_EQ(TerminalNumber(c.code, c.pdv), c.terminal) << c.code;
}

TEST_F(Claims, ReadInOrderWithTheFirstMissingOneNamed) {
    const std::string all =
        R"("ip_address":"10.0.0.1","store_code":"00000000","additional_parameters":"a",)"
        R"("operator":"Ana")";
    struct Case {
        std::string claims;
        const char* error;
    } cases[] = {
        {"{" + all + "}", "Campo secctional_code nao encontrado."},
        {R"({"secctional_code":"1","connection_type":"TLS",)" + all + "}",
         "Campo store_cnpj nao encontrado."},
        {R"({"secctional_code":"1","connection_type":"TLS","store_cnpj":"1",)" + all + "}",
         "Campo tef_cnpj nao encontrado."},
        {R"({"secctional_code":"1","operator":"x","store_code":"1"})",
         "Campo ip_address nao encontrado."},
        {R"({"secctional_code":"1","ip_address":"x","store_code":"1","operator":"x"})",
         "Campo additional_parameters nao encontrado."},
        {R"({"secctional_code":"1","ip_address":"x","store_code":"1","additional_parameters":""})",
         "Campo operator nao encontrado."},
    };
    for (const Case& c : cases) {
        try {
            ReadSessionClaims(Parse(c.claims));
            ADD_FAILURE() << c.claims;
        } catch (const RequestError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

TEST_F(Claims, TlsModeOnlyForExactlyTls) {
    const std::string rest =
        R"("secctional_code":"12","ip_address":"10.0.0.1","store_code":"00000000",)"
        R"("additional_parameters":"","operator":"Ana")";
    for (const char* type : {R"("tls")", R"("TLS ")", "1", "null"}) {
        EXPECT_FALSE(ReadSessionClaims(
                         Parse(R"({"connection_type":)" + std::string(type) + "," + rest + "}"))
                         .tls)
            << type;
    }
    const TSessionClaims tls =
        ReadSessionClaims(Parse(R"({"connection_type":"TLS","store_cnpj":"12.345.678/0001-90",)"
                                R"("tef_cnpj":"98.765.432/0001-10","registration_token":"tok",)" +
                                rest + "}"));
    EXPECT_TRUE(tls.tls);
    EXPECT_EQ(tls.registration_token, "tok");
}

TEST_F(Claims, SingleBytePassAndSettings) {
    const TSessionClaims c = ReadSessionClaims(Parse(
        R"({"secctional_code":"12","connection_type":"TLS","store_cnpj":"12.345.678/0001-90",)"
        R"("tef_cnpj":"98.765.432/0001-10","registration_token":"tok","ip_address":"10.0.0.1",)"
        R"("store_code":1234,"additional_parameters":"PortaPinPad=AUTO_USB\r\nTipoPinPad=1\nX=€Ω",)"
        R"("operator":"Joã☃"})"));
    // Characters the library's code page lacks become '?', except in the parameters.
    EXPECT_EQ(c.operator_, "Joã?");
    EXPECT_EQ(c.store_code, "1234");
    const TTefSettings s = SettingsFromClaims(c, "AG001203", false);
    EXPECT_EQ(s.cnpj_loja, "12345678000190");
    EXPECT_EQ(s.cnpj_kalabs, "98765432000110");
    EXPECT_EQ(s.operador, "Jo\xE3?");  // Windows-1252, as the engine keeps it
    EXPECT_EQ(s.parametros, (tef::TextLines{"PortaPinPad=AUTO_USB", "TipoPinPad=1", "X=€Ω"}));
    EXPECT_EQ(s.restricoes, std::optional<tef::AnsiString>("{DevolveStringQRCode=1}"));
    EXPECT_FALSE(SettingsFromClaims(c, "AG001203", true).restricoes.has_value());

    // Settings that leave the restrictions alone accept whatever is applied.
    TTefSettings applied = s;
    applied.restricoes = "[10];";
    EXPECT_TRUE(SettingsFromClaims(c, "AG001203", true).SatisfiedBy(applied));
    EXPECT_FALSE(s.SatisfiedBy(applied));
    EXPECT_FALSE(SettingsFromClaims(c, "AG001204", true).SatisfiedBy(applied));
}

TEST_F(Claims, IntegerClaims) {
    auto claims = Parse(R"({"a":"12","b":-3,"c":"12a","d":1.5,"e":{},"f":" 7"})");
    EXPECT_EQ(IntegerClaim(claims, "a"), 12);
    EXPECT_EQ(IntegerClaim(claims, "b"), -3);
    for (const char* key : {"c", "d", "e", "f"}) {
        EXPECT_THROW(IntegerClaim(claims, key), RequestError) << key;
    }
    try {
        IntegerClaim(claims, "c");
    } catch (const RequestError& e) {
        EXPECT_STREQ(e.what(), "'12a' não é um número inteiro válido.");
    }
}

}  // namespace
}  // namespace requests
