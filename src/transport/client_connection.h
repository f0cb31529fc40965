// One accepted client connection: TLS, the WebSocket opening handshake's reads and writes,
// and message reads and writes. Every read and write takes the connection's own re-entrant
// I/O lock (IOHandlerLock), a message read holds it for the whole message. Bytes received
// after a message or after the upgrade request stay buffered for the next read.
//
// The connection's thread binds the connection to itself (Binding); code running on that
// thread reaches it through Current(). Only Abort() may be called from another thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/socket.h"
#include "transport/client_channel.h"
#include "transport/tls_stream.h"
#include "transport/web_socket_frame.h"

namespace transport {

enum TClientState { csHandshake = 0, csConnected = 1 };

struct TClientData {
    TClientState State = csHandshake;
};

// Bounds that keep a hostile or broken client from holding a connection or memory forever.
struct ConnectionLimits {
    std::chrono::milliseconds handshake_timeout{10000};  // TLS + upgrade request
    std::chrono::milliseconds stall_timeout{30000};      // no progress inside a frame or write
    size_t max_message = kMaxMessageBytes;
    size_t max_upgrade_request = 16 * 1024;

    // The product's values, shortened by QV_HANDSHAKE_TIMEOUT_MS and QV_PAYLOAD_STALL_MS.
    static ConnectionLimits FromEnvironment();
};

using LogFunction = std::function<void(const std::string&)>;

class TClientConnection : public ClientChannel {
public:
    // `log` must outlive the connection.
    TClientConnection(SSL_CTX* tls, platform::Socket socket, const ConnectionLimits& limits,
                      const LogFunction& log);
    TClientConnection(const TClientConnection&) = delete;
    TClientConnection& operator=(const TClientConnection&) = delete;
    // Wipes what the connection's buffers held (tokens, payment data) before they are freed.
    ~TClientConnection() override;

    // The connection bound to the calling thread, or nullptr.
    static TClientConnection* Current();

    // Binds a connection to the calling thread for the lifetime of the Binding.
    class Binding {
    public:
        explicit Binding(TClientConnection& connection);
        Binding(const Binding&) = delete;
        Binding& operator=(const Binding&) = delete;
        ~Binding();

    private:
        TClientConnection* previous_;
    };

    // The TLS server handshake, bounded by `deadline`.
    void AcceptTls(Deadline deadline);

    // After the upgrade: every later read and write blocks in the socket, bounded by the stall
    // time-out (see TlsStream::UseBlockingIo).
    void BeginMessages();

    // The HTTP request up to and including its empty line.
    std::string ReadUpgradeRequest(Deadline deadline);

    // Writes bytes as they are (the handshake answer).
    void WriteRaw(std::string_view bytes);

    // Turns the client away before the upgrade: writes `answer` (when it still can), logs
    // "Conexão <peer> recusada: <reason>.", closes and raises ConnectionClosed.
    [[noreturn]] void Refuse(std::string_view answer, const std::string& reason);

    // Reads one complete message and returns its text, with kMessagePadding to spare behind
    // it; empty for an empty message, after a close frame (answered and the connection
    // closed) or when the text cannot be converted.
    // Pings are answered and pongs skipped in between. Raises ConnectionClosed when the
    // connection ends or fails.
    std::string ReadMessage() override;

    // Writes `text` (UTF-8) as one text frame. Raises ConnectionClosed when it cannot.
    void SendText(std::string_view text) override;

    // True when a read would find input: bytes are buffered or arrive within `timeout`, or
    // the connection has ended (the read then raises).
    bool WaitForInput(std::chrono::milliseconds timeout) override;

    // The upgrade was answered and the connection has not ended.
    bool IsConnected() const override { return !closed_ && Data.State == csConnected; }
    bool IsOpen() const { return !closed_; }

    // Ends the connection from its own thread.
    void Close() noexcept;

    // Wakes the connection's thread out of any wait and makes its I/O fail; any thread.
    void Abort() const noexcept { stream_.Abort(); }

    std::recursive_mutex& IOHandlerLock() { return io_lock_; }
    const std::string& PeerAddress() const { return peer_; }

    TClientData Data;

private:
    FrameHeader ReadFrameHeader();
    void ReadPayload(const FrameHeader& header, std::string& into);
    void AnswerClose(const FrameHeader& header);
    void AnswerControlFrame(const FrameHeader& header);
    // The text of a complete, non-empty message (inflated, malformed UTF-8 replaced), with
    // kMessagePadding to spare; empty when it cannot be converted.
    std::string ConvertMessage(std::string message, uint8_t opcode);
    void SendFrame(uint8_t opcode, std::string_view payload);

    // Fills `dst` with exactly `size` bytes. With `wait_for_first`, the wait for the first
    // byte has no limit; every other wait ends the connection after the stall time-out.
    void Receive(char* dst, size_t size, bool wait_for_first = false);
    size_t TakeBuffered(char* dst, size_t size);
    // Reads more bytes into the buffer; true when some arrived.
    bool Fill(Deadline deadline);
    size_t Buffered() const { return end_ - begin_; }
    // Counts `n` bytes received behind end_.
    void Received(size_t n);
    void GrowBuffer();
    void WipeFrame() noexcept;
    void EnsureOpen() const;
    // Logs why a hostile or stalled connection is ended, closes it and raises.
    [[noreturn]] void Fail(const std::string& reason);
    // Runs a stream operation; a failure marks the connection closed.
    template <class Op>
    auto Guarded(Op op) -> decltype(op());

    TlsStream stream_;
    const ConnectionLimits& limits_;
    const LogFunction& log_;
    const std::string peer_;
    std::recursive_mutex io_lock_;
    std::atomic<bool> closed_{false};
    // Received and not yet read, [begin_, end_); guarded by io_lock_. Not zeroed when made:
    // every connection has one.
    std::unique_ptr<char[]> buffer_;
    size_t buffer_size_ = 0;
    size_t begin_ = 0, end_ = 0;
    size_t touched_ = 0;  // bytes of buffer_ that ever held data: what a wipe covers
    // The frame being sent, kept for the next one; guarded by io_lock_.
    std::string frame_;
};

}  // namespace transport
