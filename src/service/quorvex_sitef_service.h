// The service object: root of everything that runs. It owns the configuration file, the
// service log, the message handler (the request layer) and, while running, the listener and
// the print queue.
// Its handlers follow the service manager's requests: create, after-install, start, execute,
// pause, continue, stop, destroy. Construction runs ServiceCreate, destruction ServiceDestroy.
//
// Thread contract: the lifecycle handlers run on the service thread; GravaLog, PrintQueueLog,
// iniConfig(), PrintQueue() and the health and protection accessors may be used from any
// thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "printing/print_queue_slot.h"
#include "service/config_file.h"
#include "service/last_error.h"
#include "service/security_settings.h"
#include "service/service_log.h"
#include "transport/message_handler.h"
#include "transport/server_thread.h"

namespace service {

class TQuorvexSiTefService {
public:
    static constexpr const char* kServiceName = "QuorvexSiTefService";
    static constexpr const char* kDisplayName = "QuorvexSiTefService";
    static constexpr const char* kApplicationTitle = "Quorvex TEF Server";
    static constexpr const char* kDescription =
        "Quorvex TEF Server - Mantenha este serviço iniciado.";

    // Builds the request layer once the configuration file is open; it lives until the
    // service object is destroyed, after the listener has stopped.
    using HandlerFactory =
        std::function<std::unique_ptr<transport::MessageHandler>(TQuorvexSiTefService&)>;

    // `app_dir` (with a trailing separator) holds the configuration, certificates and logs.
    TQuorvexSiTefService(HandlerFactory create_handler, std::string app_dir);
    TQuorvexSiTefService(const TQuorvexSiTefService&) = delete;
    TQuorvexSiTefService& operator=(const TQuorvexSiTefService&) = delete;
    ~TQuorvexSiTefService();

    void ServiceAfterInstall();
    void ServiceStart(bool& Started);
    // Serves control requests until a stop succeeds.
    void ServiceExecute();
    void ServicePause(bool& Paused);
    void ServiceContinue(bool& Continued);
    void ServiceStop(bool& Stopped);

    // Never raise.
    void StartServer();
    void StopServer();

    bool GravaLog(const std::string& text);
    void PrintQueueLog(const std::string& message);

    ConfigFile& iniConfig() { return *iniConfig_; }
    // The running listener, or nullptr (before the first start, while paused, after a stop).
    transport::TServerThread* ServerThread() { return FServerThread.get(); }
    transport::MessageHandler& MessageHandler() { return *handler_; }
    // The print queue, from a successful start until the stop begins.
    printing::PrintQueueSlot& PrintQueue() { return FPrintQueue; }
    const std::string& AppDir() const { return app_dir_; }

    // --- Protections and health --------------------------------------------------------------
    // The protections read at the last start or continue (all off before the first).
    std::shared_ptr<const TSecuritySettings> Security() const;
    // The last error line given to the log, masked.
    std::optional<TLastError::Entry> LastError() const { return last_error_.Get(); }
    // Time since the service object was created (process start).
    std::chrono::steady_clock::duration Uptime() const {
        return std::chrono::steady_clock::now() - created_;
    }

private:
    enum class State { kCreated, kRunning, kPaused, kStopped };

    void ServiceCreate(const HandlerFactory& create_handler);
    void ServiceDestroy();
    // Takes one control request (waiting up to `wait`) and runs its handler.
    void ProcessRequests(std::chrono::milliseconds wait);
    void StartPrintQueue();
    // Reads the protections anew, logs what is on and hands the origin policy to `listener`.
    void ApplySecuritySettings(transport::TServerThread& listener);

    const std::string app_dir_;
    const std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now();
    TLastError last_error_;
    ServiceLog log_;
    std::unique_ptr<ConfigFile> iniConfig_;
    std::unique_ptr<transport::MessageHandler> handler_;
    std::unique_ptr<transport::TServerThread> FServerThread;
    printing::PrintQueueSlot FPrintQueue;  // after log_, which its queue writes to
    mutable std::mutex security_mutex_;
    std::shared_ptr<const TSecuritySettings> security_ =
        std::make_shared<const TSecuritySettings>();  // guarded by security_mutex_
    State state_ = State::kCreated;
    bool terminated_ = false;
};

}  // namespace service
