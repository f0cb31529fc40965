#include <algorithm>
#include <climits>
#include <mutex>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/socket.h"
#include "platform/win32.h"

namespace platform {
namespace {

using win32::ThrowSocketError;

// Winsock must be started once per process before any socket call; it stays up until the
// process ends.
void StartWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        if (int rc = ::WSAStartup(MAKEWORD(2, 2), &data); rc != 0)
            win32::ThrowError(static_cast<DWORD>(rc), "WSAStartup");
    });
}

// A socket no program we start inherits.
SocketDescriptor NewSocket(int family, int type, int protocol) {
    StartWinsock();
    SocketDescriptor s(::WSASocketW(family, type, protocol, nullptr, 0,
                                    WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT));
    if (!s) ThrowSocketError("socket");
    return s;
}

void SetIntOption(SOCKET s, int level, int name, int value, const char* what) {
    if (::setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value) != 0)
        ThrowSocketError(what);
}

// Winsock does not wake a thread that polls a socket another thread shuts down (Wine's does
// not, Windows' is not documented to), as Socket::Shutdown promises. So every wait polls a
// wake event of its own besides its sockets, and a shutdown signals the waits on that
// socket; a socket shut down stays marked until it is closed.
class ShutdownWakes {
public:
    // Marks `s` and wakes whoever waits on it.
    void Shut(SOCKET s) {
        std::lock_guard lock(mutex_);
        shut_.insert(s);
        const auto [first, last] = waiting_.equal_range(s);
        for (auto it = first; it != last; ++it) it->second->Signal();
    }

    // A wake event for one wait, from those of the waits that ended (no thread_local: a
    // MinGW thread's thread_local objects do not outlive its end safely).
    WakeEvent& Borrow() {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                WakeEvent* wake = idle_.back();
                idle_.pop_back();
                return *wake;
            }
        }
        return *new WakeEvent;  // kept for later waits, never freed
    }

    void Return(WakeEvent& wake) {
        std::lock_guard lock(mutex_);
        idle_.push_back(&wake);
    }

    void Closed(SOCKET s) noexcept {
        std::lock_guard lock(mutex_);
        shut_.erase(s);
    }

    // Sets `ready` on the entries shut down; how many there are.
    int MarkShut(std::span<PollEntry> entries) {
        std::lock_guard lock(mutex_);
        int shut = 0;
        for (PollEntry& entry : entries) {
            entry.ready = shut_.count(entry.fd) != 0;
            shut += entry.ready;
        }
        return shut;
    }

    // While registered, a shutdown of one of `entries` signals `wake`. False (and not
    // registered) when one of them is shut down already.
    bool Enter(std::span<PollEntry> entries, WakeEvent& wake) {
        std::lock_guard lock(mutex_);
        for (const PollEntry& entry : entries)
            if (shut_.count(entry.fd) != 0) return false;
        for (const PollEntry& entry : entries) waiting_.emplace(entry.fd, &wake);
        return true;
    }

    void Leave(std::span<PollEntry> entries, const WakeEvent& wake) noexcept {
        std::lock_guard lock(mutex_);
        for (const PollEntry& entry : entries) {
            const auto [first, last] = waiting_.equal_range(entry.fd);
            for (auto it = first; it != last; ++it) {
                if (it->second == &wake) {
                    waiting_.erase(it);
                    break;
                }
            }
        }
    }

private:
    std::mutex mutex_;
    std::unordered_set<SOCKET> shut_;                     // guarded by mutex_
    std::unordered_multimap<SOCKET, WakeEvent*> waiting_;  // guarded by mutex_
    std::vector<WakeEvent*> idle_;                         // guarded by mutex_
};

// Never destroyed: sockets are closed until the very end of the process.
ShutdownWakes& TheShutdownWakes() {
    static auto* wakes = new ShutdownWakes;
    return *wakes;
}

// One WSAPoll over `entries` and the wait's wake event (polled last).
int PollOnce(std::span<PollEntry> entries, const WakeEvent& wake, int wait_ms, bool& woken) {
    std::vector<WSAPOLLFD> fds(entries.size() + 1);
    for (size_t i = 0; i < entries.size(); ++i) {
        fds[i].fd = entries[i].fd;
        fds[i].events = static_cast<short>((entries[i].want_read ? POLLRDNORM : 0) |
                                           (entries[i].want_write ? POLLWRNORM : 0));
    }
    fds.back().fd = wake.fd();
    fds.back().events = POLLRDNORM;
    const int rc = ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), wait_ms);
    if (rc < 0) return rc;
    int ready = 0;
    for (size_t i = 0; i < entries.size(); ++i) ready += (entries[i].ready = fds[i].revents != 0);
    woken = fds.back().revents != 0;
    return ready;
}

std::string FormatAddress(const sockaddr_storage& addr) {
    char host[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(addr);
        ::inet_ntop(AF_INET, &in.sin_addr, host, sizeof host);
        return std::string(host) + ":" + std::to_string(ntohs(in.sin_port));
    }
    if (addr.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(addr);
        ::inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
        return "[" + std::string(host) + "]:" + std::to_string(ntohs(in6.sin6_port));
    }
    return {};
}

int Length(size_t size) { return static_cast<int>(std::min<size_t>(size, INT_MAX)); }

}  // namespace

void Socket::Shutdown() const noexcept {
    if (!IsValid()) return;
    ::shutdown(fd(), SD_BOTH);
    // A shutdown alone does not end a receive another thread is blocked in (Wine's does not,
    // nor Windows' with every provider): the pending operations of every thread are cancelled,
    // and the threads polling it are woken.
    ::CancelIoEx(reinterpret_cast<HANDLE>(fd()), nullptr);
    try {
        TheShutdownWakes().Shut(fd());
    } catch (...) {
        // Out of memory: the waiter wakes at its own deadline.
    }
}

bool LastCallTimedOut() { return ::WSAGetLastError() == WSAETIMEDOUT; }

void Socket::ShutdownSend() const noexcept {
    if (IsValid()) ::shutdown(fd(), SD_SEND);
}

void Socket::SetNonBlocking(bool on) const {
    u_long mode = on ? 1 : 0;
    if (::ioctlsocket(fd(), FIONBIO, &mode) != 0) ThrowSocketError("ioctlsocket");
}

void Socket::SetNoDelay() const { SetIntOption(fd(), IPPROTO_TCP, TCP_NODELAY, 1, "TCP_NODELAY"); }

// Winsock cannot hold a connection back until its first bytes: it is accepted at once.
void Socket::DeferAcceptUntilData(std::chrono::seconds) const {}

namespace {

void SetTimeoutOption(SOCKET s, int name, std::chrono::milliseconds timeout, const char* what) {
    const DWORD ms = static_cast<DWORD>(std::clamp<int64_t>(timeout.count(), 0, MAXDWORD - 1));
    if (::setsockopt(s, SOL_SOCKET, name, reinterpret_cast<const char*>(&ms), sizeof ms) != 0)
        ThrowSocketError(what);
}

}  // namespace

void Socket::SetTimeouts(std::chrono::milliseconds timeout) const {
    SetTimeoutOption(fd(), SO_RCVTIMEO, timeout, "SO_RCVTIMEO");
    SetSendTimeout(timeout);
}

void Socket::SetSendTimeout(std::chrono::milliseconds timeout) const {
    SetTimeoutOption(fd(), SO_SNDTIMEO, timeout, "SO_SNDTIMEO");
}

namespace {

IoResult Outcome(int rc) {
    if (rc > 0) return {IoResult::Status::kDone, static_cast<size_t>(rc)};
    if (rc == 0) return {IoResult::Status::kEnd, 0};
    // A blocking socket whose time-out passed reports WSAETIMEDOUT.
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAETIMEDOUT) return {IoResult::Status::kWouldBlock, 0};
    return {IoResult::Status::kFailed, 0};
}

}  // namespace

IoResult Socket::Receive(char* dst, size_t size) const {
    return Outcome(::recv(fd(), dst, Length(size), 0));
}

IoResult Socket::Send(const char* src, size_t size) const {
    return Outcome(::send(fd(), src, Length(size), 0));
}

std::string Socket::PeerAddress() const {
    sockaddr_storage addr{};
    int len = sizeof addr;
    if (::getpeername(fd(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return {};
    return FormatAddress(addr);
}

uint16_t Socket::LocalPort() const {
    sockaddr_storage addr{};
    int len = sizeof addr;
    if (::getsockname(fd(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        ThrowSocketError("getsockname");
    if (addr.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6&>(addr).sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in&>(addr).sin_port);
}

Socket ListenTcp(IpFamily family, uint16_t port, int backlog) {
    const int domain = family == IpFamily::kIPv4 ? AF_INET : AF_INET6;
    Socket s(NewSocket(domain, SOCK_STREAM, IPPROTO_TCP));
    // Windows lets a second socket take a port in use when it asks for SO_REUSEADDR; a
    // listener asks the opposite, so that a port another program listens on stays refused.
    // (A restart needs neither: a closed listener's connections do not hold its port.)
    SetIntOption(s.fd(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1, "SO_EXCLUSIVEADDRUSE");
    int rc;
    if (family == IpFamily::kIPv4) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        addr.sin_port = htons(port);
        rc = ::bind(s.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    } else {
        SetIntOption(s.fd(), IPPROTO_IPV6, IPV6_V6ONLY, 1, "IPV6_V6ONLY");
        sockaddr_in6 addr{};
        addr.sin6_family = AF_INET6;
        addr.sin6_addr = in6addr_any;
        addr.sin6_port = htons(port);
        rc = ::bind(s.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    if (rc != 0) ThrowSocketError("bind");
    if (::listen(s.fd(), backlog) != 0) ThrowSocketError("listen");
    s.SetNonBlocking(true);
    return s;
}

bool IsIpv6Unavailable(const std::system_error& error) {
    const int code = error.code().default_error_condition().value();
    return code == EAFNOSUPPORT || code == EADDRNOTAVAIL || code == EPROTONOSUPPORT;
}

Socket AcceptConnection(const Socket& listener) {
    for (;;) {
        SocketDescriptor accepted(::accept(listener.fd(), nullptr, nullptr));
        if (accepted) {
            // An accepted socket inherits the listener's non-blocking mode and, unlike the
            // listener, could be inherited by a program we start.
            ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted.get()), HANDLE_FLAG_INHERIT,
                                   0);
            Socket s(std::move(accepted));
            s.SetNonBlocking(false);
            return s;
        }
        // A connection reset before we took it is no reason to stop listening.
        const int error = ::WSAGetLastError();
        if (error == WSAECONNRESET || error == WSAEINTR) continue;
        if (error == WSAEWOULDBLOCK) return Socket();
        ThrowSocketError("accept");
    }
}

Socket ConnectTcp(const std::string& host, uint16_t port) {
    StartWinsock();
    sockaddr_storage addr{};
    int len;
    auto& in = reinterpret_cast<sockaddr_in&>(addr);
    auto& in6 = reinterpret_cast<sockaddr_in6&>(addr);
    if (::inet_pton(AF_INET, host.c_str(), &in.sin_addr) == 1) {
        in.sin_family = AF_INET;
        in.sin_port = htons(port);
        len = sizeof in;
    } else if (::inet_pton(AF_INET6, host.c_str(), &in6.sin6_addr) == 1) {
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(port);
        len = sizeof in6;
    } else {
        throw std::system_error(EINVAL, std::generic_category(), "inet_pton " + host);
    }
    Socket s(NewSocket(addr.ss_family, SOCK_STREAM, IPPROTO_TCP));
    if (::connect(s.fd(), reinterpret_cast<sockaddr*>(&addr), len) != 0)
        ThrowSocketError("connect");
    return s;
}

int WaitForAny(std::span<PollEntry> entries, std::chrono::milliseconds timeout) {
    ShutdownWakes& wakes = TheShutdownWakes();
    WakeEvent& wake = wakes.Borrow();
    const auto start = std::chrono::steady_clock::now();
    int rc = 0;
    int error = 0;
    for (;;) {
        for (PollEntry& entry : entries) entry.ready = false;
        wake.Reset();
        if (!wakes.Enter(entries, wake)) {
            rc = wakes.MarkShut(entries);
            break;
        }
        int wait_ms = -1;
        if (timeout.count() >= 0) {
            const auto left = timeout - std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - start);
            wait_ms = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT_MAX));
        }
        bool woken = false;
        rc = PollOnce(entries, wake, wait_ms, woken);
        error = ::WSAGetLastError();
        wakes.Leave(entries, wake);
        // Woken without a ready socket: one was shut down (seen at the top), or a signal of
        // an earlier wait came late; then it waits on for the time left.
        if (rc < 0 || rc > 0 || !woken) break;
    }
    wakes.Return(wake);
    if (rc < 0) {
        ::WSASetLastError(error);
        ThrowSocketError("WSAPoll");
    }
    return rc;
}

bool WaitReadable(NativeSocket fd, std::chrono::milliseconds timeout) {
    PollEntry entry{fd, true, false, false};
    return WaitForAny({&entry, 1}, timeout) > 0;
}

bool WaitWritable(NativeSocket fd, std::chrono::milliseconds timeout) {
    PollEntry entry{fd, false, true, false};
    return WaitForAny({&entry, 1}, timeout) > 0;
}

// Windows waits on sockets and on events with different calls, so the wake event is a socket
// too: a datagram socket on loopback connected to itself. Each signal queues a datagram; the
// socket stays readable until the waiter has read them all.
WakeEvent::WakeEvent() : fd_(NewSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (::bind(fd_.get(), reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::connect(fd_.get(), reinterpret_cast<sockaddr*>(&addr), len) != 0)
        ThrowSocketError("wake event");
    u_long non_blocking = 1;
    if (::ioctlsocket(fd_.get(), FIONBIO, &non_blocking) != 0) ThrowSocketError("ioctlsocket");
}

void WakeEvent::Signal() noexcept {
    // A full queue means it is signalled already.
    const char one = 1;
    ::send(fd_.get(), &one, 1, 0);
}

void WakeEvent::Reset() noexcept {
    char drained[64];
    while (::recv(fd_.get(), drained, sizeof drained, 0) > 0) {
    }
}

namespace win32 {

void ForgetSocketShutdown(uintptr_t socket) noexcept { TheShutdownWakes().Closed(socket); }

}  // namespace win32

// Windows has no signal for a write to a closed connection: the write fails on its own.
void IgnoreBrokenPipe() {}

}  // namespace platform
