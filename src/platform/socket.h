// TCP sockets as the listener and the test tools need them: listening on all local addresses,
// accepting, connecting on loopback, bounded waits and a wake-up event. Their handles sit in
// SocketDescriptor owners; errors are raised as std::system_error with the failing call named
// (the code compares equal to its errno counterpart on every system).
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>

#include "platform/file_descriptor.h"

namespace platform {

// Outcome of one read or write on a socket: the bytes moved, or why none were.
struct IoResult {
    enum class Status { kDone, kWouldBlock, kEnd, kFailed };
    Status status = Status::kDone;
    size_t bytes = 0;  // when kDone, at least 1
};

class Socket {
public:
    Socket() = default;
    explicit Socket(SocketDescriptor fd) noexcept : fd_(std::move(fd)) {}

    bool IsValid() const { return fd_.IsValid(); }
    explicit operator bool() const { return IsValid(); }
    NativeSocket fd() const { return fd_.get(); }
    void Close() noexcept { fd_.Close(); }

    // Stops both directions without releasing the descriptor, so a thread blocked on it wakes
    // up; safe to call from any thread while another one uses the socket.
    void Shutdown() const noexcept;
    // Ends our direction only: the peer reads what was sent, then the end of the stream.
    void ShutdownSend() const noexcept;

    void SetNonBlocking(bool on) const;
    // Disables Nagle's algorithm: frames are small and answered at once.
    void SetNoDelay() const;
    // Limits blocking reads and writes (0 = no limit).
    void SetTimeouts(std::chrono::milliseconds timeout) const;
    // Limits blocking writes only (0 = no limit).
    void SetSendTimeout(std::chrono::milliseconds timeout) const;
    // On a listening socket: a connection is handed over once its client has sent something,
    // or after about `wait` without data, so a server whose clients speak first wakes once per
    // connection instead of twice. Systems without the option hand connections over at once.
    void DeferAcceptUntilData(std::chrono::seconds wait) const;

    // One read of at most `size` bytes, or one write. A non-blocking socket answers kWouldBlock
    // when it cannot move a byte now; a blocking one when its time-out passed first. `size` > 0.
    IoResult Receive(char* dst, size_t size) const;
    IoResult Send(const char* src, size_t size) const;

    // Peer address as "host:port" ("[host]:port" for IPv6); empty when unknown.
    std::string PeerAddress() const;
    uint16_t LocalPort() const;

private:
    SocketDescriptor fd_;
};

enum class IpFamily { kIPv4, kIPv6 };

// A listening socket on every local address of the family, with address reuse (so a restart
// does not wait for old connections to time out) and, for IPv6, v6-only so that both
// families can share the port. Non-blocking.
Socket ListenTcp(IpFamily family, uint16_t port, int backlog);

// True when the failure of ListenTcp(kIPv6, ...) only means the system has no IPv6.
bool IsIpv6Unavailable(const std::system_error& error);

// Accepts one pending connection (non-blocking listener); an invalid Socket when none waits.
Socket AcceptConnection(const Socket& listener);

// A blocking connection to `host` (numeric IPv4 or IPv6 address) and `port`.
Socket ConnectTcp(const std::string& host, uint16_t port);

// Waits until a descriptor is ready; `timeout` < 0 waits without limit. Interrupted waits
// resume with the time left. Returns the number of ready entries (0 on time-out).
struct PollEntry {
    NativeSocket fd = SocketHandleTraits::None();
    bool want_read = true;
    bool want_write = false;
    bool ready = false;  // set by WaitForAny: readable/writable, closed or failed
};
int WaitForAny(std::span<PollEntry> entries, std::chrono::milliseconds timeout);

bool WaitReadable(NativeSocket fd, std::chrono::milliseconds timeout);

// True when the calling thread's last socket call failed because the socket's own time-out
// (SetSendTimeout) passed: Windows reports that as an error of its own, after which the
// connection is in no known state and is only fit to be closed. Always false on Linux, which
// reports it as "try again".
bool LastCallTimedOut();
bool WaitWritable(NativeSocket fd, std::chrono::milliseconds timeout);

// A level-triggered event another thread can wait on through its descriptor, among sockets:
// once signalled it stays readable until the waiter resets it. Signal and Reset may be called
// from any thread.
class WakeEvent {
public:
    WakeEvent();

    void Signal() noexcept;
    // Back to not signalled. The waiter resets before it looks at what the signal announced,
    // so a signal given meanwhile is never lost.
    void Reset() noexcept;
    NativeSocket fd() const { return fd_.get(); }

private:
    SocketDescriptor fd_;
};

// Writes to a socket whose peer has gone must fail with an error instead of ending the process.
void IgnoreBrokenPipe();

}  // namespace platform
