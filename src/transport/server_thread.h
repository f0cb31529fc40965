// The TLS WebSocket listener. Start() runs a thread that activates the server (loads the
// certificate files of the application folder, listens on every IPv4 and IPv6 address of the
// port) and accepts connections, each served by a thread of its own (threads are kept for the
// next connection a while): TLS, upgrade, then one message after another handed to the
// MessageHandler. Stop() stops listening, ends every
// connection and joins all threads. When the server cannot be activated (port taken, a
// certificate file missing) the listener thread ends quietly and nothing is accepted.
//
// Handlers get the connection a message came on and talk to it directly. The static
// operations are thin wrappers for code that has no connection in hand: they act on the
// connection bound to the calling thread; on a thread without one they read nothing and send
// nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "transport/client_connection.h"
#include "transport/message_handler.h"
#include "transport/origin_policy.h"
#include "transport/worker_threads.h"

namespace transport {

class TlsContext;

class TServerThread {
public:
    static constexpr int kBacklog = 15;

    // `app_dir` holds Certificado/; `handler` and `log` must outlive the listener.
    TServerThread(uint16_t Port, std::string app_dir, MessageHandler& handler, LogFunction log);
    TServerThread(const TServerThread&) = delete;
    TServerThread& operator=(const TServerThread&) = delete;
    ~TServerThread();  // Stop()

    // Upgrade requests the policy refuses are answered 403; set before Start.
    void SetOriginPolicy(OriginPolicy policy) { origin_policy_ = std::move(policy); }

    void Start();
    // Deactivates the server and waits for the listener and every connection thread.
    void Stop();

    uint16_t Port() const { return port_; }

    // Connections accepted and not yet ended (in any state); any thread.
    int OpenConnections() const { return open_connections_; }

    // One complete message of the calling thread's connection (empty on a thread without one).
    static void DecodeWebSocketFrame(std::string& DecodedMessage);
    // One text frame to the calling thread's connection (nothing on a thread without one).
    static void SendClientMessage(const std::string& pMsg);
    // The calling thread's connection exists, was upgraded and has not ended.
    static bool IsConnected();
    // See TClientConnection::WaitForInput; false on a thread without a connection.
    static bool WaitForInput(int milliseconds);

private:
    using Connections = std::list<std::unique_ptr<TClientConnection>>;

    void Execute();
    void Activate();
    void AcceptPending(const platform::Socket& listener);
    void ServeConnection(Connections::iterator slot);
    void ExecuteRun(TClientConnection& connection);
    // Takes the connection out of the list and frees it on the calling thread.
    void Release(Connections::iterator slot);
    void EndAllConnections();

    const uint16_t port_;
    const std::string app_dir_;
    MessageHandler& handler_;
    const LogFunction log_;
    const ConnectionLimits limits_;
    OriginPolicy origin_policy_;  // fixed once Start runs
    std::atomic<int> open_connections_{0};

    std::thread thread_;
    std::atomic<bool> stopping_{false};
    platform::WakeEvent wake_;
    // Used by the listener thread only.
    std::unique_ptr<TlsContext> tls_;
    std::vector<platform::Socket> listeners_;
    // Added by the listener thread; a connection's own thread takes it out when it ends, so
    // the listener does not wake up for that. Under the lock the listener aborts them all
    // when it stops.
    std::mutex connections_mutex_;
    Connections connections_;
    // Declared after connections_: stopped (every connection's thread done) before they go.
    WorkerThreads workers_;
};

}  // namespace transport
