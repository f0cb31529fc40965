#include "requests/session_token.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>
#include <vector>

#include "requests/json_writer.h"

namespace requests {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

int DecodedValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}

const EVP_MD* Digest(TokenAlgorithm alg) {
    switch (alg) {
        case TokenAlgorithm::kHS384:
            return EVP_sha384();
        case TokenAlgorithm::kHS512:
            return EVP_sha512();
        case TokenAlgorithm::kHS256:
            break;
    }
    return EVP_sha256();
}

std::vector<std::string_view> SplitAtDots(std::string_view token) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t dot = token.find('.', start);
        parts.push_back(token.substr(start, dot - start));
        if (dot == std::string_view::npos) return parts;
        start = dot + 1;
    }
}

// Decodes one part and parses it as a JSON object into `document`.
void DecodeObject(std::string_view part, JsonDocument& document) {
    const std::optional<std::string> json = Base64UrlDecode(part);
    if (!json || !document.Parse(*json) || !document.IsObject())
        throw UndecodableTokenError("Token de sessão ilegível.");
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

const char* AlgorithmName(TokenAlgorithm alg) {
    switch (alg) {
        case TokenAlgorithm::kHS384:
            return "HS384";
        case TokenAlgorithm::kHS512:
            return "HS512";
        case TokenAlgorithm::kHS256:
            break;
    }
    return "HS256";
}

std::optional<TokenAlgorithm> AlgorithmFromName(std::string_view name) {
    for (TokenAlgorithm alg :
         {TokenAlgorithm::kHS256, TokenAlgorithm::kHS384, TokenAlgorithm::kHS512}) {
        if (name == AlgorithmName(alg)) return alg;
    }
    return std::nullopt;
}

std::string Base64UrlEncode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    uint32_t bits = 0;
    int count = 0;
    for (unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        count += 8;
        while (count >= 6) {
            count -= 6;
            text += kAlphabet[(bits >> count) & 0x3F];
        }
    }
    if (count > 0) text += kAlphabet[(bits << (6 - count)) & 0x3F];
    return text;
}

std::optional<std::string> Base64UrlDecode(std::string_view text) {
    if (text.size() % 4 == 1) return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() * 3 / 4);
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const int value = DecodedValue(c);
        if (value < 0) return std::nullopt;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return bytes;
}

std::string Hmac(TokenAlgorithm alg, std::string_view key, std::string_view data) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> mac{};
    unsigned int size = 0;
    if (HMAC(Digest(alg), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(data.data()), data.size(), mac.data(),
             &size) == nullptr) {
        throw std::runtime_error("HMAC indisponível.");
    }
    return std::string(reinterpret_cast<const char*>(mac.data()), size);
}

std::string SignSessionToken(std::string_view claims_json, TokenAlgorithm alg,
                             std::string_view key) {
    const std::string header =
        JsonObject().Add("alg", AlgorithmName(alg)).Add("typ", "JWT").ToString();
    const std::string signing_input = Base64UrlEncode(header) + "." + Base64UrlEncode(claims_json);
    return signing_input + "." + Base64UrlEncode(Hmac(alg, key, signing_input));
}

bool VerifySessionToken(std::string_view token, JsonDocument& claims, std::string_view key) {
    const std::vector<std::string_view> parts = SplitAtDots(token);
    if (parts.size() == 5) {
        throw MalformedTokenError(
            "Compact Serialization appears to be a JWE Token wich is not (yet) supported");
    }
    if (parts.size() != 3) throw MalformedTokenError("Malformed Compact Serialization");

    JsonDocument header;
    DecodeObject(parts[0], header);
    DecodeObject(parts[1], claims);
    std::string_view alg_name;
    if (header.Object()["alg"].get(alg_name)) {
        throw UndecodableTokenError("Token de sessão sem algoritmo.");
    }
    const std::optional<TokenAlgorithm> alg = AlgorithmFromName(alg_name);
    if (!alg) throw UndecodableTokenError("Algoritmo de token não suportado.");

    const std::string_view signing_input = token.substr(0, parts[0].size() + 1 + parts[1].size());
    return SameText(parts[2], Base64UrlEncode(Hmac(*alg, key, signing_input)));
}

}  // namespace requests
