#include "requests/token_expiry.h"

#include <gtest/gtest.h>

#include "requests/json_envelope.h"

namespace {

using std::chrono::seconds;

TEST(TokenExpiry, RefusesWhatHasNoUsableExpiryOrIsPastTheSkew) {
    const auto now = std::chrono::system_clock::time_point(seconds(1'750'000'000));
    struct Case {
        const char* claims;
        std::optional<std::string> refusal;
    } cases[] = {
        {R"({"sale_id":1})", requests::kTokenWithoutExpiry},
        {R"({"exp":"1750003600"})", requests::kTokenExpiryInvalid},
        {R"({"exp":true})", requests::kTokenExpiryInvalid},
        {R"({"exp":null})", requests::kTokenExpiryInvalid},
        {R"({"exp":1750003600})", std::nullopt},
        {R"({"exp":1750000000})", std::nullopt},             // expires now: within the skew
        {R"({"exp":1749999941})", std::nullopt},             // 59 s ago
        {R"({"exp":1749999940})", requests::kTokenExpired},  // 60 s ago
        {R"({"exp":1749999940.5})", std::nullopt},
        {R"({"exp":1700000000})", requests::kTokenExpired},
        {R"({"exp":-1})", requests::kTokenExpired},
        {R"({"exp":1.8e9})", std::nullopt},
        {R"({"exp":18446744073709551615})", std::nullopt},
    };
    for (const auto& c : cases) {
        requests::JsonDocument document;
        ASSERT_TRUE(document.Parse(c.claims)) << c.claims;
        EXPECT_EQ(requests::TokenExpiryRefusal(document.Object(), now), c.refusal) << c.claims;
    }
}

}  // namespace
