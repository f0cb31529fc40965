#include "transport/server_thread.h"

#include "platform/paths.h"
#include "platform/scope_exit.h"
#include "transport/tls_context.h"
#include "transport/transport_errors.h"
#include "transport/web_socket_handshake.h"

namespace transport {
namespace {

// The listener sleeps until a client connects or Stop wakes it: an idle service does not wake
// up at all.
constexpr std::chrono::milliseconds kNoTimeout(-1);
// How long a connection's thread waits for the next connection before it ends.
constexpr std::chrono::seconds kKeepThreadIdle(30);
// A TLS client speaks first: its connection is taken once the ClientHello is there, so the
// handshake starts at once instead of its thread waking up to find nothing to read yet. A
// client silent for this long is taken all the same (and then held to the handshake time).
constexpr std::chrono::seconds kAcceptWithoutData(1);

}  // namespace

TServerThread::TServerThread(uint16_t Port, std::string app_dir, MessageHandler& handler,
                             LogFunction log)
    : port_(Port),
      app_dir_(platform::IncludeTrailingSeparator(app_dir)),
      handler_(handler),
      log_(std::move(log)),
      limits_(ConnectionLimits::FromEnvironment()),
      workers_(kKeepThreadIdle) {}

TServerThread::~TServerThread() { Stop(); }

void TServerThread::Start() { thread_ = std::thread(&TServerThread::Execute, this); }

void TServerThread::Stop() {
    stopping_ = true;
    wake_.Signal();
    if (thread_.joinable()) thread_.join();
}

void TServerThread::Activate() {
    const std::string folder = app_dir_ + "Certificado/";
    tls_ = std::make_unique<TlsContext>(folder + "server_cert.pem", folder + "server_key.pem",
                                        folder + "ca_cert.pem");
    listeners_.push_back(platform::ListenTcp(platform::IpFamily::kIPv4, port_, kBacklog));
    try {
        listeners_.push_back(platform::ListenTcp(platform::IpFamily::kIPv6, port_, kBacklog));
    } catch (const std::system_error& e) {
        if (!platform::IsIpv6Unavailable(e)) throw;
    }
    for (const platform::Socket& listener : listeners_)
        listener.DeferAcceptUntilData(kAcceptWithoutData);
}

void TServerThread::Execute() {
    try {
        Activate();
    } catch (const std::exception&) {
        // Without a server there is nothing to serve; the service stays up and a later
        // continue or start tries again.
        listeners_.clear();
        return;
    }
    while (!stopping_) {
        std::vector<platform::PollEntry> entries;
        for (const auto& listener : listeners_) entries.push_back({listener.fd()});
        entries.push_back({wake_.fd()});
        try {
            platform::WaitForAny(entries, kNoTimeout);
            if (entries.back().ready) wake_.Reset();
            for (size_t i = 0; i < listeners_.size(); ++i)
                if (entries[i].ready) AcceptPending(listeners_[i]);
        } catch (const std::system_error&) {
            // Out of descriptors or memory for a moment: pause instead of spinning.
            platform::WaitReadable(wake_.fd(), std::chrono::milliseconds(100));
        }
    }
    listeners_.clear();
    EndAllConnections();
}

void TServerThread::AcceptPending(const platform::Socket& listener) {
    while (platform::Socket socket = platform::AcceptConnection(listener)) {
        std::unique_ptr<TClientConnection> connection;
        try {
            connection =
                std::make_unique<TClientConnection>(tls_->get(), std::move(socket), limits_, log_);
        } catch (const std::exception&) {
            continue;  // no TLS object or socket setting for it: the connection is dropped
        }
        Connections::iterator slot;
        {
            std::lock_guard lock(connections_mutex_);
            slot = connections_.insert(connections_.end(), std::move(connection));
        }
        ++open_connections_;
        try {
            workers_.Run([this, slot] { ServeConnection(slot); });
        } catch (const std::system_error&) {
            --open_connections_;
            Release(slot);  // no thread for it: the connection is dropped
        }
    }
}

void TServerThread::ServeConnection(Connections::iterator slot) {
    TClientConnection& connection = **slot;
    {
        TClientConnection::Binding binding(connection);
        const Deadline handshake_deadline = SteadyClock::now() + limits_.handshake_timeout;
        try {
            connection.AcceptTls(handshake_deadline);
            WebSocketHandshake(connection, handshake_deadline, origin_policy_);
            connection.BeginMessages();
            while (connection.IsOpen()) ExecuteRun(connection);
        } catch (const std::exception&) {
            // A failed TLS start, a client gone or an error out of the handler: this
            // connection ends, the others go on. Limits already logged why they ended it.
        }
        connection.Close();
        try {
            handler_.OnDisconnect(connection);
        } catch (const std::exception&) {
        }
    }
    --open_connections_;
    Release(slot);
}

void TServerThread::ExecuteRun(TClientConnection& connection) {
    platform::ScopeExit after([this]() noexcept {
        try {
            handler_.AfterMessage();
        } catch (const std::exception&) {
        }
    });
    const std::string text = connection.ReadMessage();
    if (!text.empty()) handler_.OnMessage(text, connection);
}

void TServerThread::Release(Connections::iterator slot) {
    std::unique_ptr<TClientConnection> connection;
    {
        std::lock_guard lock(connections_mutex_);
        connection = std::move(*slot);
        connections_.erase(slot);
    }
    // Freed here, after the lock: the listener may be waiting to add a new one.
}

void TServerThread::EndAllConnections() {
    {
        std::lock_guard lock(connections_mutex_);
        for (const auto& connection : connections_) connection->Abort();
    }
    workers_.Stop();  // each connection's thread releases its own
}

void TServerThread::DecodeWebSocketFrame(std::string& DecodedMessage) {
    DecodedMessage.clear();
    if (TClientConnection* connection = TClientConnection::Current())
        DecodedMessage = connection->ReadMessage();
}

void TServerThread::SendClientMessage(const std::string& pMsg) {
    if (TClientConnection* connection = TClientConnection::Current()) connection->SendText(pMsg);
}

bool TServerThread::IsConnected() {
    const TClientConnection* connection = TClientConnection::Current();
    return connection != nullptr && connection->IsConnected();
}

bool TServerThread::WaitForInput(int milliseconds) {
    TClientConnection* connection = TClientConnection::Current();
    return connection != nullptr &&
           connection->WaitForInput(std::chrono::milliseconds(std::max(milliseconds, 0)));
}

}  // namespace transport
