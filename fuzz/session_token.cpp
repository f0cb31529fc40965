// The session token verifier and what a session start reads from a token's claims. The input is
// a token as a client sends it, optionally followed by a NUL byte and a claims text that the
// target signs itself, so the path behind a good signature is reached as well.
#include "requests/session_token.h"

#include <chrono>
#include <cstdint>
#include <string>

#include "requests/json_envelope.h"
#include "requests/session_claims.h"
#include "requests/token_expiry.h"
#include "support/require.h"

namespace {

using qvfuzz::Require;
using requests::TokenAlgorithm;

constexpr std::string_view kShopKey = "chave da loja para o teste de fuzzing";

// What a session start does with decoded claims: each step either works or raises the
// RequestError the client is answered with.
void ReadClaims(simdjson::dom::object claims) {
    (void)requests::TokenExpiryRefusal(claims, std::chrono::system_clock::now());
    try {
        const requests::TSessionClaims c = requests::ReadSessionClaims(claims);
        const std::string terminal = requests::TerminalNumber(c.secctional_code, 3);
        Require(terminal.starts_with("AG") && terminal.ends_with("03"), "terminal number");
        (void)requests::IntegerClaim(claims, "sale_id");
    } catch (const requests::RequestError&) {
    }
}

// Verifies `token` under `key`: true, false, or one of the two refusals; nothing else.
std::optional<bool> Verify(std::string_view token, requests::JsonDocument& claims,
                           std::string_view key) {
    try {
        return requests::VerifySessionToken(token, claims, key);
    } catch (const requests::MalformedTokenError&) {
    } catch (const requests::UndecodableTokenError&) {
    }
    return std::nullopt;
}

void CheckClientToken(std::string_view token) {
    requests::JsonDocument claims;
    const std::optional<bool> valid = Verify(token, claims, requests::kSessionTokenKey);
    if (!valid) return;
    Require(claims.IsObject(), "decoded claims are an object");
    ReadClaims(claims.Object());
    if (*valid) {
        requests::JsonDocument other;
        Require(Verify(token, other, kShopKey) == false, "a signature holds for one key only");
    }
}

// A token the target signs verifies with its key, gives its claims back, and stops verifying
// once any byte of it changes.
void CheckOwnToken(std::string_view claims_json, TokenAlgorithm alg) {
    requests::JsonDocument parsed;
    if (!parsed.Parse(claims_json) || !parsed.IsObject()) return;
    const std::string token = requests::SignSessionToken(claims_json, alg, kShopKey);
    requests::JsonDocument claims;
    Require(Verify(token, claims, kShopKey) == true, "a token verifies under its key");
    Require(requests::Base64UrlDecode(
                token.substr(token.find('.') + 1, token.rfind('.') - token.find('.') - 1)) ==
                std::string(claims_json),
            "the claims come back unchanged");
    Require(Verify(token, claims, requests::kSessionTokenKey) == false, "another key fails");
    ReadClaims(claims.Object());
    std::string changed = token;
    const size_t at = claims_json.size() % changed.size();
    changed[at] = changed[at] == 'A' ? 'B' : 'A';
    requests::JsonDocument ignored;
    Require(Verify(changed, ignored, kShopKey) != true, "a changed token fails");
}

void CheckBase64(std::string_view bytes) {
    const std::string text = requests::Base64UrlEncode(bytes);
    Require(requests::Base64UrlDecode(text) == std::string(bytes), "base64url round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [token, claims] = qvfuzz::SplitAtNul(qvfuzz::AsText(data, size));
    CheckClientToken(token);
    CheckBase64(token);
    if (!claims.empty()) {
        CheckOwnToken(claims, static_cast<TokenAlgorithm>(size % 3));
    }
    return 0;
}
