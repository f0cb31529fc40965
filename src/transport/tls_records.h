// The record protection of a TLS 1.2 connection with an AES-GCM suite, taken over from OpenSSL
// once its handshake is done: records are sealed and opened here with the keys the handshake
// agreed. OpenSSL's own record path costs several times the cipher work for a small message;
// this is the cipher work and little else. The keys never change afterwards (the context
// refuses renegotiation). One thread at a time.
#pragma once

#include <openssl/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace transport {

enum class RecordType : uint8_t {
    kChangeCipherSpec = 20,
    kAlert = 21,
    kHandshake = 22,
    kApplicationData = 23,
};

// Alert descriptions this side sends.
enum class AlertCode : uint8_t {
    kCloseNotify = 0,
    kUnexpectedMessage = 10,
    kBadRecordMac = 20,
    kRecordOverflow = 22,
    kDecodeError = 50,
    kInternalError = 80,
    kProtocolVersion = 70,
    kNoRenegotiation = 100,
};

// A record that must not be accepted; `alert` tells the peer why before the connection ends.
class RecordError : public std::runtime_error {
public:
    RecordError(AlertCode alert, const std::string& what)
        : std::runtime_error(what), alert_(alert) {}
    AlertCode alert() const { return alert_; }

private:
    AlertCode alert_;
};

class TlsRecords {
public:
    static constexpr size_t kHeader = 5;

    // The protection of `ssl`'s connection right after its server handshake, with nothing of
    // the peer's read beyond it; null when the suite is not one handled here.
    static std::unique_ptr<TlsRecords> AfterHandshake(SSL* ssl);

    ~TlsRecords();

    // The most plaintext one record carries (the peer may have asked for less than 16 KiB).
    size_t max_plaintext() const { return max_plaintext_; }
    // Bytes a record may take on the wire, header included.
    size_t max_record() const { return kHeader + kNonce + max_plaintext_ + kTag; }

    // Appends one record of `type` carrying `data` (at most max_plaintext() bytes) to `out`.
    void Seal(RecordType type, std::string_view data, std::string& out);

    // Length of the record `data` begins with, header included, once all of it is there; 0
    // while it is not. RecordError for a header no sound peer sends.
    size_t CompleteRecord(std::span<const char> data) const;

    // Authenticates and decrypts, in place, the complete record `record`; its plaintext is
    // returned inside it. RecordError when it fails authentication (nothing of it is then
    // to be used).
    struct Opened {
        RecordType type;
        std::span<char> data;
    };
    Opened Open(std::span<char> record);

private:
    static constexpr size_t kNonce = 8;  // the explicit part, sent in every record
    static constexpr size_t kTag = 16;
    struct Direction;

    TlsRecords(std::unique_ptr<Direction> read, std::unique_ptr<Direction> write,
               size_t max_plaintext);

    std::unique_ptr<Direction> read_;
    std::unique_ptr<Direction> write_;
    size_t max_plaintext_;
};

}  // namespace transport
