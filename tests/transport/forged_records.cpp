#include "forged_records.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/ssl.h>

#include <memory>
#include <stdexcept>

namespace qvtest {
namespace {

constexpr size_t kHeader = 5;
constexpr size_t kTag = 16;
constexpr size_t kExplicitNonce = 8;

std::string BigEndian(uint64_t value, size_t bytes) {
    std::string out(bytes, '\0');
    for (size_t i = bytes; i-- > 0; value >>= 8) out[i] = static_cast<char>(value & 0xFF);
    return out;
}

auto Bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

// The TLS 1.2 key block: client key, server key, client IV, server IV.
std::string KeyBlock(SSL* ssl, const EVP_MD* digest, size_t length) {
    unsigned char master[SSL_MAX_MASTER_KEY_LENGTH];
    const size_t master_length =
        SSL_SESSION_get_master_key(SSL_get_session(ssl), master, sizeof master);
    std::string seed = "key expansion";
    std::string randoms(2 * SSL3_RANDOM_SIZE, '\0');
    auto* r = reinterpret_cast<unsigned char*>(randoms.data());
    SSL_get_server_random(ssl, r, SSL3_RANDOM_SIZE);
    SSL_get_client_random(ssl, r + SSL3_RANDOM_SIZE, SSL3_RANDOM_SIZE);
    seed += randoms;

    std::unique_ptr<EVP_KDF, decltype(&EVP_KDF_free)> prf(EVP_KDF_fetch(nullptr, "TLS1-PRF", nullptr),
                                                          EVP_KDF_free);
    std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)> kdf(
        prf ? EVP_KDF_CTX_new(prf.get()) : nullptr, EVP_KDF_CTX_free);
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST,
                                         const_cast<char*>(EVP_MD_get0_name(digest)), 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SECRET, master, master_length),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SEED, seed.data(), seed.size()),
        OSSL_PARAM_construct_end()};
    std::string block(length, '\0');
    if (!kdf || master_length == 0 ||
        EVP_KDF_derive(kdf.get(), reinterpret_cast<unsigned char*>(block.data()), length,
                       params) != 1)
        throw std::runtime_error("key block");
    return block;
}

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const noexcept { EVP_CIPHER_CTX_free(ctx); }
};

}  // namespace

RecordForger::RecordForger(SSL* client) {
    const SSL_CIPHER* suite = SSL_get_current_cipher(client);
    if (suite == nullptr) throw std::runtime_error("no suite agreed yet");
    const int nid = SSL_CIPHER_get_cipher_nid(suite);
    cipher_ = EVP_get_cipherbynid(nid);
    if (cipher_ == nullptr || !(EVP_CIPHER_get_flags(cipher_) & EVP_CIPH_FLAG_AEAD_CIPHER))
        throw std::runtime_error("not an AEAD suite");
    explicit_nonce_ = nid != NID_chacha20_poly1305;
    const size_t key = static_cast<size_t>(EVP_CIPHER_get_key_length(cipher_));
    const size_t iv = explicit_nonce_ ? 4 : 12;
    const std::string block =
        KeyBlock(client, SSL_CIPHER_get_handshake_digest(suite), 2 * key + 2 * iv);
    key_ = block.substr(0, key);
    iv_ = block.substr(2 * key, iv);
}

std::string RecordForger::Nonce(std::string_view explicit_part, uint64_t sequence) const {
    if (explicit_nonce_) return iv_ + std::string(explicit_part);
    std::string nonce = iv_;
    const std::string number = BigEndian(sequence, nonce.size());
    for (size_t i = 0; i < nonce.size(); ++i) nonce[i] = static_cast<char>(nonce[i] ^ number[i]);
    return nonce;
}

std::string RecordForger::Seal(RecordType type, std::string_view data, uint64_t sequence) const {
    const std::string explicit_part = explicit_nonce_ ? BigEndian(sequence, kExplicitNonce) : "";
    const std::string nonce = Nonce(explicit_part, sequence);
    const std::string aad = BigEndian(sequence, 8) + static_cast<char>(type) + "\x03\x03" +
                            BigEndian(data.size(), 2);
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
    std::string body(data.size() + kTag, '\0');
    auto* out = reinterpret_cast<unsigned char*>(body.data());
    int n = 0;
    const bool ok =
        ctx && EVP_EncryptInit_ex(ctx.get(), cipher_, nullptr, Bytes(key_), Bytes(nonce)) == 1 &&
        EVP_EncryptUpdate(ctx.get(), nullptr, &n, Bytes(aad), static_cast<int>(aad.size())) == 1 &&
        EVP_EncryptUpdate(ctx.get(), out, &n, reinterpret_cast<const unsigned char*>(data.data()),
                          static_cast<int>(data.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx.get(), out + n, &n) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_GET_TAG, kTag, out + data.size()) == 1;
    if (!ok) throw std::runtime_error("seal");
    const std::string payload = explicit_part + body;
    return static_cast<char>(type) + std::string("\x03\x03") + BigEndian(payload.size(), 2) +
           payload;
}

std::string RecordForger::Open(std::string_view record, uint64_t sequence) const {
    const size_t overhead = kHeader + (explicit_nonce_ ? kExplicitNonce : 0) + kTag;
    if (record.size() < overhead) throw std::runtime_error("record too short");
    const std::string_view explicit_part =
        record.substr(kHeader, explicit_nonce_ ? kExplicitNonce : 0);
    std::string body(record.substr(kHeader + explicit_part.size()));
    const size_t length = body.size() - kTag;
    std::string tag = body.substr(length);
    const std::string nonce = Nonce(explicit_part, sequence);
    const std::string aad =
        BigEndian(sequence, 8) + record[0] + "\x03\x03" + BigEndian(length, 2);
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
    std::string data(length, '\0');
    auto* out = reinterpret_cast<unsigned char*>(data.data());
    int n = 0;
    const bool ok =
        ctx && EVP_DecryptInit_ex(ctx.get(), cipher_, nullptr, Bytes(key_), Bytes(nonce)) == 1 &&
        EVP_DecryptUpdate(ctx.get(), nullptr, &n, Bytes(aad), static_cast<int>(aad.size())) == 1 &&
        EVP_DecryptUpdate(ctx.get(), out, &n, Bytes(body), static_cast<int>(length)) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_SET_TAG, kTag, tag.data()) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), out + n, &n) == 1;
    if (!ok) throw std::runtime_error("record does not authenticate");
    return data;
}

}  // namespace qvtest
