#include "transport/client_connection.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/scope_exit.h"
#include "transport/transport_errors.h"

namespace transport {
namespace {

thread_local TClientConnection* current_connection = nullptr;

constexpr size_t kReadChunk = 64 * 1024;
// Payload bytes still missing beyond this are read straight into the message.
constexpr size_t kDirectRead = 16 * 1024;
// A payload is received and unmasked in steps of this size.
constexpr size_t kPayloadStep = 256 * 1024;
// The protocol's bound for a ping, pong or close payload.
constexpr uint64_t kMaxControlPayload = 125;

std::string Milliseconds(std::chrono::milliseconds ms) {
    return std::to_string(ms.count()) + " ms";
}

// Length of the request up to and including its empty line, 0 while it is incomplete. Lines
// end at LF; a CR before the LF does not count.
size_t RequestLength(std::string_view data) {
    size_t start = 0;
    for (;;) {
        const size_t nl = data.find('\n', start);
        if (nl == std::string_view::npos) return 0;
        const size_t len = nl - start;
        if (len == 0 || (len == 1 && data[start] == '\r')) return nl + 1;
        start = nl + 1;
    }
}

}  // namespace

ConnectionLimits ConnectionLimits::FromEnvironment() {
    ConnectionLimits limits;
    limits.handshake_timeout =
        platform::EnvMilliseconds("QV_HANDSHAKE_TIMEOUT_MS", limits.handshake_timeout);
    limits.stall_timeout = platform::EnvMilliseconds("QV_PAYLOAD_STALL_MS", limits.stall_timeout);
    return limits;
}

TClientConnection::TClientConnection(SSL_CTX* tls, platform::Socket socket,
                                     const ConnectionLimits& limits, const LogFunction& log)
    : stream_(tls, std::move(socket)),
      limits_(limits),
      log_(log),
      peer_(stream_.PeerAddress()),
      buffer_(std::make_unique_for_overwrite<char[]>(kReadChunk)),
      buffer_size_(kReadChunk) {}

TClientConnection::~TClientConnection() {
    OPENSSL_cleanse(buffer_.get(), touched_);
    WipeFrame();
}

TClientConnection* TClientConnection::Current() { return current_connection; }

TClientConnection::Binding::Binding(TClientConnection& connection) : previous_(current_connection) {
    current_connection = &connection;
}

TClientConnection::Binding::~Binding() { current_connection = previous_; }

template <class Op>
auto TClientConnection::Guarded(Op op) -> decltype(op()) {
    try {
        return op();
    } catch (const ConnectionClosed&) {
        closed_ = true;
        throw;
    }
}

void TClientConnection::EnsureOpen() const {
    if (closed_) throw ConnectionClosed("Conexão fechada.");
}

void TClientConnection::Fail(const std::string& reason) {
    log_("Conexão " + peer_ + " encerrada: " + reason + ".");
    Close();
    throw ConnectionClosed(reason);
}

void TClientConnection::Close() noexcept {
    closed_ = true;
    stream_.Close();
}

void TClientConnection::AcceptTls(Deadline deadline) {
    try {
        Guarded([&] { stream_.Accept(deadline); });
    } catch (const StreamTimeout&) {
        Fail("handshake não concluído em " + Milliseconds(limits_.handshake_timeout));
    }
}

void TClientConnection::BeginMessages() {
    try {
        stream_.UseBlockingIo(limits_.stall_timeout);
    } catch (const std::system_error& e) {
        Fail(e.what());
    }
}

std::string TClientConnection::ReadUpgradeRequest(Deadline deadline) {
    std::lock_guard lock(io_lock_);
    for (;;) {
        const std::string_view data(buffer_.get() + begin_, Buffered());
        const size_t length = RequestLength(data);
        if (length > limits_.max_upgrade_request ||
            (length == 0 && data.size() >= limits_.max_upgrade_request)) {
            Fail("requisição de upgrade maior que " +
                 std::to_string(limits_.max_upgrade_request / 1024) + " KiB");
        }
        if (length > 0) {
            begin_ += length;
            return std::string(data.substr(0, length));
        }
        try {
            Fill(deadline);
        } catch (const StreamTimeout&) {
            Fail("handshake não concluído em " + Milliseconds(limits_.handshake_timeout));
        }
    }
}

void TClientConnection::WriteRaw(std::string_view bytes) {
    std::lock_guard lock(io_lock_);
    EnsureOpen();
    try {
        Guarded([&] { stream_.Write(bytes, limits_.stall_timeout); });
    } catch (const StreamTimeout&) {
        Fail("cliente não recebeu dados em " + Milliseconds(limits_.stall_timeout));
    }
}

void TClientConnection::Refuse(std::string_view answer, const std::string& reason) {
    // Logged first: when the client reads the answer, the line is there.
    log_("Conexão " + peer_ + " recusada: " + reason + ".");
    try {
        WriteRaw(answer);
    } catch (const std::exception&) {
        // A client that is gone needs no answer.
    }
    Close();
    throw ConnectionClosed(reason);
}

void TClientConnection::SendFrame(uint8_t opcode, std::string_view payload) {
    std::lock_guard lock(io_lock_);
    // The room of a large reply is not kept for the small ones that follow.
    platform::ScopeExit trim([this] {
        if (frame_.capacity() <= kReadChunk) return;
        WipeFrame();
        std::string().swap(frame_);
    });
    frame_.clear();
    AppendFrame(frame_, opcode, payload);
    WriteRaw(frame_);
}

void TClientConnection::SendText(std::string_view text) { SendFrame(kOpText, text); }

bool TClientConnection::Fill(Deadline deadline) {
    if (begin_ == end_) begin_ = end_ = 0;
    if (buffer_size_ - end_ < kDirectRead) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, Buffered());
        end_ -= begin_;
        begin_ = 0;
        if (buffer_size_ - end_ < kDirectRead) GrowBuffer();
    }
    char* const dst = buffer_.get() + end_;
    const size_t room = buffer_size_ - end_;
    const size_t n = Guarded([&] { return stream_.Read(dst, room, deadline); });
    Received(n);
    return n > 0;
}

void TClientConnection::Received(size_t n) {
    end_ += n;
    touched_ = std::max(touched_, end_);
}

void TClientConnection::GrowBuffer() {
    auto bigger = std::make_unique_for_overwrite<char[]>(buffer_size_ * 2);
    std::memcpy(bigger.get(), buffer_.get(), end_);
    OPENSSL_cleanse(buffer_.get(), touched_);
    buffer_ = std::move(bigger);
    buffer_size_ *= 2;
    touched_ = end_;
}

void TClientConnection::WipeFrame() noexcept {
    // The whole capacity: a larger frame before the last one left its bytes behind it.
    frame_.resize(frame_.capacity());
    OPENSSL_cleanse(frame_.data(), frame_.size());
    frame_.clear();
}

size_t TClientConnection::TakeBuffered(char* dst, size_t size) {
    const size_t n = std::min(size, Buffered());
    std::memcpy(dst, buffer_.get() + begin_, n);
    begin_ += n;
    return n;
}

void TClientConnection::Receive(char* dst, size_t size, bool wait_for_first) {
    size_t got = TakeBuffered(dst, size);
    while (got < size) {
        const bool unlimited = wait_for_first && got == 0;
        const Deadline deadline =
            unlimited ? Deadline() : Deadline(SteadyClock::now() + limits_.stall_timeout);
        const size_t missing = size - got;
        try {
            if (missing >= kDirectRead && Buffered() == 0) {
                got += Guarded([&] { return stream_.Read(dst + got, missing, deadline); });
            } else {
                Fill(deadline);
                got += TakeBuffered(dst + got, missing);
            }
        } catch (const StreamTimeout&) {
            Fail("nenhum dado recebido em " + Milliseconds(limits_.stall_timeout));
        }
    }
}

FrameHeader TClientConnection::ReadFrameHeader() {
    char bytes[14];
    Receive(bytes, 2, true);
    const size_t size = FrameHeaderSize(static_cast<uint8_t>(bytes[1]));
    Receive(bytes + 2, size - 2);
    return ParseFrameHeader(std::string_view(bytes, size));
}

void TClientConnection::ReadPayload(const FrameHeader& header, std::string& into) {
    const size_t start = into.size();
    // Room for the whole payload is taken at once, so the message is never moved while it
    // grows; memory is only touched as bytes arrive, so a length announced and never sent
    // costs nothing.
    into.reserve(start + static_cast<size_t>(header.length) + kMessagePadding);
    for (uint64_t done = 0; done < header.length;) {
        const size_t step =
            static_cast<size_t>(std::min<uint64_t>(header.length - done, kPayloadStep));
        into.resize(start + done + step);
        char* chunk = into.data() + start + done;
        Receive(chunk, step);
        // Unmasked while the chunk is still in the cache.
        if (header.masked) Unmask(chunk, step, header.mask, done);
        done += step;
    }
}

void TClientConnection::AnswerClose(const FrameHeader& header) {
    // The status code is not used, but unread bytes would make the close a reset that can
    // destroy our answer before the client reads it.
    if (header.length <= kMaxControlPayload) {
        std::string ignored;
        ReadPayload(header, ignored);
    }
    try {
        Guarded([&] { stream_.Write(std::string_view("\x88\x00", 2), limits_.stall_timeout); });
    } catch (const std::exception&) {
        // The client may already be gone; the connection ends either way.
    }
    Close();
    log_("Disconectado");
}

void TClientConnection::AnswerControlFrame(const FrameHeader& header) {
    if (header.length > kMaxControlPayload) Fail("quadro de controle maior que 125 bytes");
    std::string payload;
    ReadPayload(header, payload);
    if (header.opcode == kOpPing) SendFrame(kOpPong, payload);
}

std::string TClientConnection::ConvertMessage(std::string message, uint8_t opcode) {
    try {
        if (opcode == kOpBinary && IsGzip(message))
            message = InflateGzip(message, limits_.max_message);
        platform::SanitizeUtf8InPlace(message);
        if (message.capacity() - message.size() < kMessagePadding)
            message.reserve(message.size() + kMessagePadding);
        return message;
    } catch (const MessageTooLarge& e) {
        Fail(e.what());
    } catch (const std::exception& e) {
        log_(std::string("Erro na conversão: ") + e.what());
        return {};
    }
}

std::string TClientConnection::ReadMessage() {
    std::lock_guard lock(io_lock_);
    EnsureOpen();
    std::string message;
    uint8_t message_opcode = kOpContinuation;
    bool first = true;
    for (;;) {
        const FrameHeader header = ReadFrameHeader();
        if (header.opcode == kOpClose) {
            AnswerClose(header);
            return {};
        }
        if (header.opcode == kOpPing || header.opcode == kOpPong) {
            AnswerControlFrame(header);
            continue;
        }
        if (first) {
            message_opcode = header.opcode;
            first = false;
        } else if (header.opcode != kOpContinuation) {
            // A new message began before the last one was finished: the unfinished one is
            // dropped.
            message.clear();
            message_opcode = header.opcode;
        }
        if (header.length > limits_.max_message - message.size()) {
            Fail("mensagem maior que " + std::to_string(limits_.max_message >> 20) + " MiB");
        }
        ReadPayload(header, message);
        if (header.fin)
            return message.empty() ? message : ConvertMessage(std::move(message), message_opcode);
    }
}

bool TClientConnection::WaitForInput(std::chrono::milliseconds timeout) {
    std::lock_guard lock(io_lock_);
    const auto deadline = SteadyClock::now() + timeout;
    try {
        for (;;) {
            if (closed_ || Buffered() > 0) return true;
            // Takes what the TLS layer holds or the socket has, decrypted; part of a record
            // is not input yet.
            if (begin_ == end_) begin_ = end_ = 0;
            Received(Guarded(
                [&] { return stream_.TryRead(buffer_.get() + end_, buffer_size_ - end_); }));
            if (Buffered() > 0) return true;
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
            if (left.count() <= 0 || !stream_.WaitReadable(left)) return false;
        }
    } catch (const ConnectionClosed&) {
        return true;
    }
}

}  // namespace transport
