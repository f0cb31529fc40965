#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/socket.h"

namespace platform {
namespace {

[[noreturn]] void ThrowErrno(const char* call) {
    throw std::system_error(errno, std::generic_category(), call);
}

void SetIntOption(int fd, int level, int name, int value, const char* what) {
    if (::setsockopt(fd, level, name, &value, sizeof value) != 0) ThrowErrno(what);
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

}  // namespace

void Socket::Shutdown() const noexcept {
    if (IsValid()) ::shutdown(fd(), SHUT_RDWR);
}

// Linux reports the time-out as "try again", which the caller retries: never a failure.
bool LastCallTimedOut() { return false; }

void Socket::ShutdownSend() const noexcept {
    if (IsValid()) ::shutdown(fd(), SHUT_WR);
}

void Socket::SetNonBlocking(bool on) const {
    // One call instead of reading and writing the flags: a connection switches more than once.
    int value = on ? 1 : 0;
    if (::ioctl(fd(), FIONBIO, &value) != 0) ThrowErrno("ioctl FIONBIO");
}

void Socket::SetNoDelay() const { SetIntOption(fd(), IPPROTO_TCP, TCP_NODELAY, 1, "TCP_NODELAY"); }

void Socket::DeferAcceptUntilData(std::chrono::seconds wait) const {
    SetIntOption(fd(), IPPROTO_TCP, TCP_DEFER_ACCEPT, static_cast<int>(wait.count()),
                 "TCP_DEFER_ACCEPT");
}

namespace {

void SetTimeoutOption(int fd, int name, std::chrono::milliseconds timeout, const char* what) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
    if (::setsockopt(fd, SOL_SOCKET, name, &tv, sizeof tv) != 0) ThrowErrno(what);
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

IoResult Outcome(ssize_t rc) {
    if (rc > 0) return {IoResult::Status::kDone, static_cast<size_t>(rc)};
    if (rc == 0) return {IoResult::Status::kEnd, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoResult::Status::kWouldBlock, 0};
    return {IoResult::Status::kFailed, 0};
}

}  // namespace

IoResult Socket::Receive(char* dst, size_t size) const {
    for (;;) {
        const ssize_t rc = ::recv(fd(), dst, size, 0);
        if (rc >= 0 || errno != EINTR) return Outcome(rc);
    }
}

IoResult Socket::Send(const char* src, size_t size) const {
    for (;;) {
        const ssize_t rc = ::send(fd(), src, size, MSG_NOSIGNAL);
        if (rc >= 0 || errno != EINTR) return Outcome(rc);
    }
}

std::string Socket::PeerAddress() const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(fd(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return {};
    return FormatAddress(addr);
}

uint16_t Socket::LocalPort() const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        ThrowErrno("getsockname");
    if (addr.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6&>(addr).sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in&>(addr).sin_port);
}

Socket ListenTcp(IpFamily family, uint16_t port, int backlog) {
    const int domain = family == IpFamily::kIPv4 ? AF_INET : AF_INET6;
    Socket s(SocketDescriptor(::socket(domain, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)));
    if (!s.IsValid()) ThrowErrno("socket");
    SetIntOption(s.fd(), SOL_SOCKET, SO_REUSEADDR, 1, "SO_REUSEADDR");
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
    if (rc != 0) ThrowErrno("bind");
    if (::listen(s.fd(), backlog) != 0) ThrowErrno("listen");
    return s;
}

bool IsIpv6Unavailable(const std::system_error& error) {
    const int code = error.code().value();
    return code == EAFNOSUPPORT || code == EADDRNOTAVAIL || code == EPROTONOSUPPORT;
}

Socket AcceptConnection(const Socket& listener) {
    for (;;) {
        int fd = ::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) return Socket(SocketDescriptor(fd));
        // A connection reset before we took it is no reason to stop listening.
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Socket();
        ThrowErrno("accept");
    }
}

Socket ConnectTcp(const std::string& host, uint16_t port) {
    sockaddr_storage addr{};
    socklen_t len;
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
    Socket s(SocketDescriptor(::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0)));
    if (!s.IsValid()) ThrowErrno("socket");
    int rc;
    do {
        rc = ::connect(s.fd(), reinterpret_cast<sockaddr*>(&addr), len);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) ThrowErrno("connect");
    return s;
}

int WaitForAny(std::span<PollEntry> entries, std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        fds[i].fd = entries[i].fd;
        fds[i].events = static_cast<short>((entries[i].want_read ? POLLIN : 0) |
                                           (entries[i].want_write ? POLLOUT : 0));
    }
    using Clock = std::chrono::steady_clock;
    const bool unlimited = timeout.count() < 0;
    const auto deadline = Clock::now() + (unlimited ? std::chrono::milliseconds(0) : timeout);
    int rc;
    for (;;) {
        int wait_ms = -1;
        if (!unlimited) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait_ms = static_cast<int>(std::max<int64_t>(0, left.count()));
        }
        rc = ::poll(fds.data(), fds.size(), wait_ms);
        if (rc >= 0) break;
        if (errno != EINTR) ThrowErrno("poll");
    }
    for (size_t i = 0; i < entries.size(); ++i) entries[i].ready = fds[i].revents != 0;
    return rc;
}

bool WaitReadable(int fd, std::chrono::milliseconds timeout) {
    PollEntry entry{fd, true, false, false};
    return WaitForAny({&entry, 1}, timeout) > 0;
}

bool WaitWritable(int fd, std::chrono::milliseconds timeout) {
    PollEntry entry{fd, false, true, false};
    return WaitForAny({&entry, 1}, timeout) > 0;
}

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!fd_) ThrowErrno("eventfd");
}

void WakeEvent::Signal() noexcept {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd_.get(), &one, sizeof one);
}

void WakeEvent::Reset() noexcept {
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = ::read(fd_.get(), &count, sizeof count);  // non-blocking
}

void IgnoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace platform
