#include "transport/tls_records.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/ssl.h>
#include <openssl/tls1.h>

#include <cstring>

namespace transport {
namespace {

constexpr size_t kSalt = 4;  // the implicit part of each nonce, from the key block
constexpr size_t kAad = 13;
constexpr size_t kRandom = SSL3_RANDOM_SIZE;

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const noexcept { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

void StoreBigEndian(unsigned char* dst, uint64_t value) {
    for (int i = 7; i >= 0; --i, value >>= 8) dst[i] = static_cast<unsigned char>(value);
}

// Fetched once: a fetch per connection costs a lookup under a lock.
const EVP_CIPHER* GcmCipher(int nid) {
    static EVP_CIPHER* const aes128 = EVP_CIPHER_fetch(nullptr, "AES-128-GCM", nullptr);
    static EVP_CIPHER* const aes256 = EVP_CIPHER_fetch(nullptr, "AES-256-GCM", nullptr);
    if (nid == NID_aes_128_gcm) return aes128;
    if (nid == NID_aes_256_gcm) return aes256;
    return nullptr;
}

EVP_KDF* TlsPrf() {
    static EVP_KDF* const prf = EVP_KDF_fetch(nullptr, "TLS1-PRF", nullptr);
    return prf;
}

// The connection's key block: client key, server key, client salt, server salt.
bool DeriveKeyBlock(SSL* ssl, const EVP_MD* digest, unsigned char* block, size_t length) {
    unsigned char master[SSL_MAX_MASTER_KEY_LENGTH];
    const size_t master_length =
        SSL_SESSION_get_master_key(SSL_get_session(ssl), master, sizeof master);
    static constexpr char kLabel[] = "key expansion";
    unsigned char seed[sizeof kLabel - 1 + 2 * kRandom];
    std::memcpy(seed, kLabel, sizeof kLabel - 1);
    const bool randoms =
        SSL_get_server_random(ssl, seed + sizeof kLabel - 1, kRandom) == kRandom &&
        SSL_get_client_random(ssl, seed + sizeof kLabel - 1 + kRandom, kRandom) == kRandom;
    EVP_KDF_CTX* kdf = TlsPrf() != nullptr ? EVP_KDF_CTX_new(TlsPrf()) : nullptr;
    bool ok = false;
    if (kdf != nullptr && randoms && master_length > 0) {
        const OSSL_PARAM params[] = {
            OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST,
                                             const_cast<char*>(EVP_MD_get0_name(digest)), 0),
            OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SECRET, master, master_length),
            OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SEED, seed, sizeof seed),
            OSSL_PARAM_construct_end()};
        ok = EVP_KDF_derive(kdf, block, length, params) == 1;
    }
    EVP_KDF_CTX_free(kdf);
    OPENSSL_cleanse(master, sizeof master);
    return ok;
}

// Most plaintext per record: the peer may have negotiated a smaller fragment length.
size_t MaxPlaintext(SSL* ssl) {
    const uint8_t code = SSL_SESSION_get_max_fragment_length(SSL_get_session(ssl));
    if (code >= TLSEXT_max_fragment_length_512 && code <= TLSEXT_max_fragment_length_4096)
        return size_t{512} << (code - TLSEXT_max_fragment_length_512);
    return SSL3_RT_MAX_PLAIN_LENGTH;
}

}  // namespace

struct TlsRecords::Direction {
    CipherCtx ctx;
    unsigned char salt[kSalt] = {};
    // The handshake's Finished message took number 0 in each direction.
    uint64_t sequence = 1;

    uint64_t Next() {
        // Never reached in practice; a repeated number would repeat a nonce.
        if (sequence == UINT64_MAX)
            throw RecordError(AlertCode::kInternalError, "fim da sequência");
        return sequence++;
    }

    // The nonce and the additional data of the record numbered `number`.
    void Prepare(uint64_t number, const unsigned char* explicit_nonce, unsigned char* nonce,
                 unsigned char type, size_t length, unsigned char* aad) const {
        std::memcpy(nonce, salt, kSalt);
        std::memcpy(nonce + kSalt, explicit_nonce, 8);
        StoreBigEndian(aad, number);
        aad[8] = type;
        aad[9] = 3;
        aad[10] = 3;
        aad[11] = static_cast<unsigned char>(length >> 8);
        aad[12] = static_cast<unsigned char>(length);
    }
};

std::unique_ptr<TlsRecords> TlsRecords::AfterHandshake(SSL* ssl) {
    const SSL_CIPHER* suite = SSL_get_current_cipher(ssl);
    if (suite == nullptr || SSL_version(ssl) != TLS1_2_VERSION || SSL_has_pending(ssl)) return {};
    const EVP_CIPHER* cipher = GcmCipher(SSL_CIPHER_get_cipher_nid(suite));
    const EVP_MD* digest = SSL_CIPHER_get_handshake_digest(suite);
    if (cipher == nullptr || digest == nullptr) return {};

    const size_t key = static_cast<size_t>(EVP_CIPHER_get_key_length(cipher));
    unsigned char block[2 * 32 + 2 * kSalt];
    const size_t length = 2 * key + 2 * kSalt;
    if (length > sizeof block || !DeriveKeyBlock(ssl, digest, block, length)) return {};

    auto read = std::make_unique<Direction>();
    auto write = std::make_unique<Direction>();
    read->ctx.reset(EVP_CIPHER_CTX_new());
    write->ctx.reset(EVP_CIPHER_CTX_new());
    const bool ok =
        read->ctx && write->ctx &&
        EVP_DecryptInit_ex2(read->ctx.get(), cipher, block, nullptr, nullptr) == 1 &&
        EVP_EncryptInit_ex2(write->ctx.get(), cipher, block + key, nullptr, nullptr) == 1;
    std::memcpy(read->salt, block + 2 * key, kSalt);
    std::memcpy(write->salt, block + 2 * key + kSalt, kSalt);
    OPENSSL_cleanse(block, sizeof block);
    if (!ok) return {};
    return std::unique_ptr<TlsRecords>(
        new TlsRecords(std::move(read), std::move(write), MaxPlaintext(ssl)));
}

TlsRecords::TlsRecords(std::unique_ptr<Direction> read, std::unique_ptr<Direction> write,
                       size_t max_plaintext)
    : read_(std::move(read)), write_(std::move(write)), max_plaintext_(max_plaintext) {}

TlsRecords::~TlsRecords() = default;

void TlsRecords::Seal(RecordType type, std::string_view data, std::string& out) {
    const uint64_t number = write_->Next();
    const size_t start = out.size();
    const size_t length = kNonce + data.size() + kTag;
    out.resize(start + kHeader + length);
    auto* record = reinterpret_cast<unsigned char*>(out.data() + start);
    record[0] = static_cast<unsigned char>(type);
    record[1] = 3;
    record[2] = 3;
    record[3] = static_cast<unsigned char>(length >> 8);
    record[4] = static_cast<unsigned char>(length);
    unsigned char* const body = record + kHeader + kNonce;
    StoreBigEndian(record + kHeader, number);  // the explicit nonce: unique per key

    unsigned char nonce[kSalt + kNonce];
    unsigned char aad[kAad];
    write_->Prepare(number, record + kHeader, nonce, record[0], data.size(), aad);
    EVP_CIPHER_CTX* ctx = write_->ctx.get();
    int moved = 0;
    int last = 0;
    OSSL_PARAM tag[] = {
        OSSL_PARAM_construct_octet_string(OSSL_CIPHER_PARAM_AEAD_TAG, body + data.size(), kTag),
        OSSL_PARAM_construct_end()};
    const bool ok =
        EVP_EncryptInit_ex2(ctx, nullptr, nullptr, nonce, nullptr) == 1 &&
        EVP_EncryptUpdate(ctx, nullptr, &moved, aad, kAad) == 1 &&
        EVP_EncryptUpdate(ctx, body, &moved, reinterpret_cast<const unsigned char*>(data.data()),
                          static_cast<int>(data.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx, body + moved, &last) == 1 &&
        EVP_CIPHER_CTX_get_params(ctx, tag) == 1;
    if (!ok) throw RecordError(AlertCode::kInternalError, "falha ao cifrar um registro");
}

size_t TlsRecords::CompleteRecord(std::span<const char> data) const {
    if (data.size() < kHeader) return 0;
    const auto* header = reinterpret_cast<const unsigned char*>(data.data());
    if (header[1] != 3 || header[2] != 3)
        throw RecordError(AlertCode::kProtocolVersion, "registro de outra versão do protocolo");
    const size_t length = size_t{header[3]} << 8 | header[4];
    if (length > kNonce + max_plaintext_ + kTag)
        throw RecordError(AlertCode::kRecordOverflow, "registro maior que o permitido");
    if (length < kNonce + kTag)
        throw RecordError(AlertCode::kDecodeError, "registro menor que o possível");
    return data.size() >= kHeader + length ? kHeader + length : 0;
}

TlsRecords::Opened TlsRecords::Open(std::span<char> record) {
    auto* bytes = reinterpret_cast<unsigned char*>(record.data());
    const size_t length = record.size() - kHeader - kNonce - kTag;
    unsigned char* const body = bytes + kHeader + kNonce;
    const uint64_t number = read_->Next();
    unsigned char nonce[kSalt + kNonce];
    unsigned char aad[kAad];
    read_->Prepare(number, bytes + kHeader, nonce, bytes[0], length, aad);
    EVP_CIPHER_CTX* ctx = read_->ctx.get();
    int moved = 0;
    int last = 0;
    OSSL_PARAM tag[] = {
        OSSL_PARAM_construct_octet_string(OSSL_CIPHER_PARAM_AEAD_TAG, body + length, kTag),
        OSSL_PARAM_construct_end()};
    const bool ok = EVP_DecryptInit_ex2(ctx, nullptr, nullptr, nonce, nullptr) == 1 &&
                    EVP_DecryptUpdate(ctx, nullptr, &moved, aad, kAad) == 1 &&
                    EVP_DecryptUpdate(ctx, body, &moved, body, static_cast<int>(length)) == 1 &&
                    EVP_CIPHER_CTX_set_params(ctx, tag) == 1 &&
                    EVP_DecryptFinal_ex(ctx, body + moved, &last) == 1;
    if (!ok) throw RecordError(AlertCode::kBadRecordMac, "registro não autenticado");
    return {static_cast<RecordType>(bytes[0]),
            std::span<char>(record.data() + kHeader + kNonce, length)};
}

}  // namespace transport
