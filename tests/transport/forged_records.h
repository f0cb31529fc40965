// Records a client may send that OpenSSL's own client never does (a handshake message cut
// over two records, an alert of any level): sealed here with the client's keys of a real
// connection, through OpenSSL's AEAD ciphers and TLS 1.2 key derivation, so the tests can put
// them on the wire. AEAD suites only (AES-GCM, ChaCha20-Poly1305).
#pragma once

#include <openssl/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qvtest {

enum RecordType : uint8_t {
    kChangeCipherSpecRecord = 20,
    kAlertRecord = 21,
    kHandshakeRecord = 22,
    kDataRecord = 23,
};

class RecordForger {
public:
    // The client-to-server protection of `client`'s connection, once its keys are agreed
    // (from the moment the client has sent ChangeCipherSpec).
    explicit RecordForger(SSL* client);

    // A record of `type` carrying `data`, sealed as the client's record number `sequence`.
    std::string Seal(RecordType type, std::string_view data, uint64_t sequence) const;

    // The content of the record `record` (header included) the client sealed as number
    // `sequence`. Raises std::runtime_error when it does not authenticate.
    std::string Open(std::string_view record, uint64_t sequence) const;

private:
    std::string Nonce(std::string_view explicit_part, uint64_t sequence) const;

    const EVP_CIPHER* cipher_;
    bool explicit_nonce_;  // AES-GCM sends 8 bytes of each nonce in the record
    std::string key_;
    std::string iv_;  // 4 bytes (GCM's salt) or 12 (ChaCha20's)
};

}  // namespace qvtest
