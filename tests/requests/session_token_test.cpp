// Session tokens: base64url, the HMACs, signing and every way verification refuses a token.
#include "requests/session_token.h"

#include <gtest/gtest.h>

#include "requests/json_writer.h"

namespace requests {
namespace {

std::string Hex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 0x0F];
    }
    return text;
}

TEST(SessionToken, Base64UrlRoundTripsAndRefusesWhatIsNotIt) {
    struct Case {
        std::string bytes, text;
    } cases[] = {
        {"", ""},
        {"f", "Zg"},
        {"fo", "Zm8"},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg"},
        {"fooba", "Zm9vYmE"},
        {"foobar", "Zm9vYmFy"},
        {"\xfb\xff\xbf", "-_-_"},  // the two characters that differ from plain base64
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Base64UrlEncode(c.bytes), c.text);
        EXPECT_EQ(Base64UrlDecode(c.text), c.bytes);
    }
    for (const char* bad : {"Zm9v=", "Zm+v", "Zm/v", "Zm9 v", "Z", "Zm9vY"}) {
        EXPECT_FALSE(Base64UrlDecode(bad).has_value()) << bad;
    }
}

TEST(SessionToken, HmacMatchesTheReferenceVectors) {
    // RFC 4231, test case 2.
    const std::string data = "what do ya want for nothing?";
    EXPECT_EQ(Hex(Hmac(TokenAlgorithm::kHS256, "Jefe", data)),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    EXPECT_EQ(Hex(Hmac(TokenAlgorithm::kHS384, "Jefe", data)),
              "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e"
              "8e2240ca5e69e2c78b3239ecfab21649");
    EXPECT_EQ(Hex(Hmac(TokenAlgorithm::kHS512, "Jefe", data)),
              "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
              "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737");
}

TEST(SessionToken, SignedTokensVerifyUnderTheBuiltInKeyOnly) {
    const std::string claims = R"({"store_code":"00000000","sale_id":7})";
    for (TokenAlgorithm alg :
         {TokenAlgorithm::kHS256, TokenAlgorithm::kHS384, TokenAlgorithm::kHS512}) {
        SCOPED_TRACE(AlgorithmName(alg));
        const std::string token = SignSessionToken(claims, alg);
        JsonDocument parsed;
        EXPECT_TRUE(VerifySessionToken(token, parsed));
        EXPECT_EQ(GetField(parsed.Object(), "store_code"), "00000000");

        // Another key, or any change to a part, and the signature no longer matches.
        EXPECT_FALSE(VerifySessionToken(SignSessionToken(claims, alg, "another key"), parsed));
        const size_t signature = token.rfind('.') + 1;
        const std::string other_claims = SignSessionToken(R"({"sale_id":8})", alg);
        const std::string swapped =
            token.substr(0, token.rfind('.')) + other_claims.substr(other_claims.rfind('.'));
        EXPECT_FALSE(VerifySessionToken(swapped, parsed));
        std::string flipped = token;
        flipped[signature] = flipped[signature] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(VerifySessionToken(flipped, parsed));
    }
}

TEST(SessionToken, RefusesTokensItCannotRead) {
    const std::string claims = Base64UrlEncode(R"({"sale_id":7})");
    const auto header = [](const std::string& json) { return Base64UrlEncode(json); };
    const std::string hs256 = header(R"({"alg":"HS256","typ":"JWT"})");
    struct Case {
        const char* name;
        std::string token;
        const char* malformed;  // the answer's text; nullptr: undecodable
    } cases[] = {
        {"two parts", hs256 + "." + claims, "Malformed Compact Serialization"},
        {"four parts", hs256 + "." + claims + ".x.y", "Malformed Compact Serialization"},
        {"five parts", "a.b.c.d.e",
         "Compact Serialization appears to be a JWE Token wich is not (yet) supported"},
        {"alg none", header(R"({"alg":"none"})") + "." + claims + ".", nullptr},
        {"no alg", header(R"({"typ":"JWT"})") + "." + claims + ".sig", nullptr},
        {"alg RS256", header(R"({"alg":"RS256"})") + "." + claims + ".sig", nullptr},
        {"alg lower case", header(R"({"alg":"hs256"})") + "." + claims + ".sig", nullptr},
        {"alg not text", header(R"({"alg":256})") + "." + claims + ".sig", nullptr},
        {"header not base64url", "eyJ+.x" + claims + ".sig", nullptr},
        {"header not JSON", header("alg=HS256") + "." + claims + ".sig", nullptr},
        {"claims an array", hs256 + "." + Base64UrlEncode("[1]") + ".sig", nullptr},
        {"claims padded", hs256 + "." + claims + "==.sig", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JsonDocument parsed;
        try {
            VerifySessionToken(c.token, parsed);
            ADD_FAILURE() << "accepted";
        } catch (const MalformedTokenError& e) {
            ASSERT_NE(c.malformed, nullptr) << e.what();
            EXPECT_STREQ(e.what(), c.malformed);
        } catch (const UndecodableTokenError&) {
            EXPECT_EQ(c.malformed, nullptr);
        }
    }
}

}  // namespace
}  // namespace requests
