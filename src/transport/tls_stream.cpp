#include "transport/tls_stream.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "transport/tls_context.h"
#include "transport/transport_errors.h"

namespace transport {
namespace {

using platform::IoResult;

// Room for several full records, so one read from the socket takes in what has arrived (a
// large message comes as hundreds of records).
constexpr size_t kInputBuffer = 80 * 1024;
// Plaintext sealed for one send: a large frame goes out in few system calls.
constexpr size_t kSendBatch = 64 * 1024;
// Empty records and warnings in a row; a peer sending only those keeps us busy for nothing.
constexpr int kMaxRecordsWithoutData = 32;
constexpr uint8_t kWarning = 1;
constexpr uint8_t kFatal = 2;

constexpr char kClosedByClient[] = "Conexão fechada pelo cliente.";
constexpr char kInterrupted[] = "Conexão interrompida.";
constexpr char kEnded[] = "Conexão encerrada.";

std::chrono::milliseconds TimeLeft(const Deadline& deadline) {
    if (!deadline) return std::chrono::milliseconds(-1);
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

int ClampToInt(size_t size) { return static_cast<int>(std::min<size_t>(size, INT_MAX)); }

// OpenSSL reads the outcome of an I/O call from the thread's error queue, which must be empty
// before it. Looking costs little; clearing always cost more than the rest of a small read.
void EnsureNoQueuedError() {
    if (ERR_peek_error() != 0) ERR_clear_error();
}

}  // namespace

void TlsStream::Free::operator()(SSL* ssl) const noexcept { SSL_free(ssl); }

TlsStream::TlsStream(SSL_CTX* ctx, platform::Socket socket)
    : socket_(std::move(socket)), ssl_(SSL_new(ctx)) {
    if (!ssl_) throw ConnectionClosed("SSL_new: " + TakeOpenSslError());
    socket_.SetNonBlocking(true);
    socket_.SetNoDelay();
    SSL_set_fd(ssl_.get(), socket_.fd());
    // Partial writes let a large frame count progress record by record.
    SSL_set_mode(ssl_.get(), SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER | SSL_MODE_ENABLE_PARTIAL_WRITE);
    // The handshake is read record by record, so that nothing the client sent after it stays
    // inside OpenSSL when our own records take over.
    SSL_set_read_ahead(ssl_.get(), 0);
}

void TlsStream::Fail(int ssl_error) {
    if (ssl_error == SSL_ERROR_ZERO_RETURN) {
        // A goodbye, not a failure: ours may still be sent, which keeps the session for the
        // client's next connection.
        ERR_clear_error();
        throw ConnectionClosed(kClosedByClient);
    }
    failed_ = true;
    if (ssl_error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)
        throw ConnectionClosed(kInterrupted);
    throw ConnectionClosed("Falha de TLS: " + TakeOpenSslError());
}

void TlsStream::WaitFor(bool write, Deadline deadline) {
    const auto left = TimeLeft(deadline);
    if (deadline && left.count() == 0) throw StreamTimeout("tempo esgotado");
    const bool ready = write ? platform::WaitWritable(socket_.fd(), left)
                             : platform::WaitReadable(socket_.fd(), left);
    if (!ready) throw StreamTimeout("tempo esgotado");
}

template <class Call>
int TlsStream::Drive(Call call, Deadline deadline) {
    if (failed_) throw ConnectionClosed(kEnded);
    for (;;) {
        EnsureNoQueuedError();
        const int rc = call();
        if (rc > 0) return rc;
        const int error = SSL_get_error(ssl_.get(), rc);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) Fail(error);
        if (!blocking_) {
            WaitFor(error == SSL_ERROR_WANT_WRITE, deadline);
        } else if (deadline && SteadyClock::now() >= *deadline) {
            // The socket gave up waiting (its write time-out), and so does the caller.
            throw StreamTimeout("tempo esgotado");
        }
    }
}

void TlsStream::Accept(Deadline deadline) {
    Drive([this] { return SSL_accept(ssl_.get()); }, deadline);
    records_ = TlsRecords::AfterHandshake(ssl_.get());
    if (records_) {
        SSL_free_buffers(ssl_.get());  // OpenSSL reads and writes no more records
        in_ = std::make_unique_for_overwrite<char[]>(kInputBuffer);
    } else {
        SSL_set_read_ahead(ssl_.get(), 1);
    }
}

void TlsStream::UseBlockingIo(std::chrono::milliseconds stall) {
    socket_.SetSendTimeout(stall);
    SetBlocking(true);
    messages_ = true;
}

void TlsStream::SetBlocking(bool on) {
    if (blocking_ == on) return;
    socket_.SetNonBlocking(!on);
    blocking_ = on;
}

size_t TlsStream::Read(char* dst, size_t size, Deadline deadline) {
    // A read with a deadline must not block in the socket, which has no time-out for reads:
    // part of a record would keep it waiting.
    if (messages_) SetBlocking(!deadline);
    if (records_) return ReadRecords(dst, size, deadline, true);
    return static_cast<size_t>(
        Drive([&] { return SSL_read(ssl_.get(), dst, ClampToInt(size)); }, deadline));
}

size_t TlsStream::TryRead(char* dst, size_t size) {
    if (failed_) throw ConnectionClosed(kEnded);
    // A blocking socket would wait here for the rest of a record that has only partly come.
    SetBlocking(false);
    if (records_) return ReadRecords(dst, size, std::nullopt, false);
    EnsureNoQueuedError();
    const int rc = SSL_read(ssl_.get(), dst, ClampToInt(size));
    const int error = rc > 0 ? SSL_ERROR_NONE : SSL_get_error(ssl_.get(), rc);
    if (rc > 0) return static_cast<size_t>(rc);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return 0;
    Fail(error);
}

bool TlsStream::WaitReadable(std::chrono::milliseconds timeout) const {
    return platform::WaitReadable(socket_.fd(), timeout);
}

void TlsStream::Write(std::string_view data, std::chrono::milliseconds stall) {
    if (records_) return WriteRecords(data, stall);
    while (!data.empty()) {
        const size_t n = static_cast<size_t>(
            Drive([&] { return SSL_write(ssl_.get(), data.data(), ClampToInt(data.size())); },
                  SteadyClock::now() + stall));
        data.remove_prefix(n);
    }
}

void TlsStream::Close() noexcept {
    if (closed_) return;
    closed_ = true;
    try {
        SetBlocking(false);  // the goodbye must not wait for the peer
    } catch (const std::system_error&) {
        failed_ = true;  // no goodbye then, only the shutdown
    }
    if (!failed_ && records_) {
        SendAlert(kWarning, AlertCode::kCloseNotify);
        // As after OpenSSL's own goodbye: the session stays for the client's next connection.
        SSL_set_shutdown(ssl_.get(),
                         SSL_SENT_SHUTDOWN | (peer_closed_ ? SSL_RECEIVED_SHUTDOWN : 0));
    } else if (!failed_) {
        ERR_clear_error();
        SSL_shutdown(ssl_.get());  // non-blocking: sends our close_notify if the socket takes it
    }
    failed_ = true;
    ERR_clear_error();
    socket_.Shutdown();
}

size_t TlsStream::ReadRecords(char* dst, size_t size, Deadline deadline, bool wait) {
    if (failed_) throw ConnectionClosed(kEnded);
    if (peer_closed_) throw ConnectionClosed(kClosedByClient);
    try {
        while (plain_.empty()) {
            if (!OpenBuffered() && !Receive(deadline, wait)) return 0;
        }
    } catch (const RecordError& error) {
        Refuse(error);
    }
    const size_t n = std::min(size, plain_.size());
    std::memcpy(dst, plain_.data(), n);
    plain_ = plain_.subspan(n);
    return n;
}

bool TlsStream::OpenBuffered() {
    const std::span<char> buffered(in_.get() + in_begin_, in_end_ - in_begin_);
    const size_t length = records_->CompleteRecord(buffered);
    if (length == 0) return false;
    const TlsRecords::Opened record = records_->Open(buffered.first(length));
    in_begin_ += length;
    if (record.type == RecordType::kApplicationData && !record.data.empty()) {
        plain_ = record.data;
        records_without_data_ = 0;
        return true;
    }
    if (++records_without_data_ > kMaxRecordsWithoutData)
        throw RecordError(AlertCode::kUnexpectedMessage, "registros sem dados demais");
    switch (record.type) {
        case RecordType::kApplicationData:
            break;
        case RecordType::kAlert:
            TakeAlert(record.data);
            break;
        case RecordType::kHandshake:
            // A client asking for a new handshake: refused, and the connection goes on.
            if (!SendAlert(kWarning, AlertCode::kNoRenegotiation)) {
                failed_ = true;
                throw ConnectionClosed(kInterrupted);
            }
            break;
        default:
            throw RecordError(AlertCode::kUnexpectedMessage, "registro de tipo inesperado");
    }
    return true;
}

void TlsStream::TakeAlert(std::span<const char> alert) {
    if (alert.size() != 2) throw RecordError(AlertCode::kDecodeError, "alerta malformado");
    const auto level = static_cast<uint8_t>(alert[0]);
    const auto code = static_cast<uint8_t>(alert[1]);
    if (code == static_cast<uint8_t>(AlertCode::kCloseNotify)) {
        peer_closed_ = true;
        throw ConnectionClosed(kClosedByClient);
    }
    if (level == kFatal) {
        failed_ = true;
        throw ConnectionClosed("Falha de TLS: alerta " + std::to_string(code) + " do cliente");
    }
    // Other warnings change nothing.
}

bool TlsStream::Receive(Deadline deadline, bool wait) {
    if (in_begin_ == in_end_) {
        in_begin_ = in_end_ = 0;
    } else if (kInputBuffer - in_end_ < records_->max_record()) {
        // The start of a record sits near the end: moved to the front to be completed.
        std::memmove(in_.get(), in_.get() + in_begin_, in_end_ - in_begin_);
        in_end_ -= in_begin_;
        in_begin_ = 0;
    }
    for (;;) {
        const IoResult result = socket_.Receive(in_.get() + in_end_, kInputBuffer - in_end_);
        if (result.status == IoResult::Status::kDone) {
            in_end_ += result.bytes;
            return true;
        }
        if (result.status != IoResult::Status::kWouldBlock) {
            failed_ = true;  // an end without close_notify may be a cut-off, as OpenSSL holds
            throw ConnectionClosed(kInterrupted);
        }
        if (!wait) return false;
        WaitFor(false, deadline);
    }
}

void TlsStream::WriteRecords(std::string_view data, std::chrono::milliseconds stall) {
    if (failed_) throw ConnectionClosed(kEnded);
    while (!data.empty()) {
        out_.clear();
        try {
            while (!data.empty() && out_.size() < kSendBatch) {
                const size_t n = std::min(data.size(), records_->max_plaintext());
                records_->Seal(RecordType::kApplicationData, data.substr(0, n), out_);
                data.remove_prefix(n);
            }
        } catch (const RecordError& error) {
            Refuse(error);
        }
        SendAll(out_, stall);
    }
}

void TlsStream::SendAll(std::string_view bytes, std::chrono::milliseconds stall) {
    while (!bytes.empty()) {
        const IoResult result = socket_.Send(bytes.data(), bytes.size());
        if (result.status == IoResult::Status::kDone) {
            bytes.remove_prefix(result.bytes);
            continue;
        }
        if (result.status == IoResult::Status::kWouldBlock) {
            if (!blocking_ && platform::WaitWritable(socket_.fd(), stall)) continue;
            failed_ = true;  // records already numbered stay unsent: nothing may follow them
            throw StreamTimeout("tempo esgotado");
        }
        failed_ = true;
        throw ConnectionClosed(kInterrupted);
    }
}

bool TlsStream::SendAlert(uint8_t level, AlertCode code) noexcept {
    try {
        const char alert[] = {static_cast<char>(level), static_cast<char>(code)};
        out_.clear();
        records_->Seal(RecordType::kAlert, std::string_view(alert, sizeof alert), out_);
        const IoResult result = socket_.Send(out_.data(), out_.size());
        return result.status == IoResult::Status::kDone && result.bytes == out_.size();
    } catch (const std::exception&) {
        return false;
    }
}

void TlsStream::Refuse(const RecordError& error) {
    ERR_clear_error();
    if (!failed_) SendAlert(kFatal, error.alert());
    failed_ = true;
    throw ConnectionClosed(std::string("Falha de TLS: ") + error.what());
}

}  // namespace transport
