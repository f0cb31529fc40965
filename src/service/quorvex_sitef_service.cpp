#include "service/quorvex_sitef_service.h"

#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/service_control.h"
#include "platform/service_registration.h"
#include "printing/print_program.h"

namespace service {

TQuorvexSiTefService::TQuorvexSiTefService(HandlerFactory create_handler, std::string app_dir)
    : app_dir_(platform::IncludeTrailingSeparator(app_dir)), log_(app_dir_, kServiceName) {
    ServiceCreate(create_handler);
}

TQuorvexSiTefService::~TQuorvexSiTefService() { ServiceDestroy(); }

void TQuorvexSiTefService::ServiceCreate(const HandlerFactory& create_handler) {
    iniConfig_ = std::make_unique<ConfigFile>(app_dir_ + kServiceName + ".ini");
    handler_ = create_handler(*this);
    FServerThread.reset();
}

void TQuorvexSiTefService::ServiceDestroy() {
    FPrintQueue.Take().reset();
    if (FServerThread) StopServer();
    handler_.reset();
    iniConfig_.reset();
}

void TQuorvexSiTefService::ServiceAfterInstall() {
    // Without a registered unit the description is simply not written.
    platform::SetServiceDescription(kServiceName, kDescription);
}

void TQuorvexSiTefService::ServiceStart(bool& Started) {
    try {
        handler_->OnServiceStart();
        StartServer();
        StartPrintQueue();
        Started = true;
        GravaLog("O serviço foi inciado.");
    } catch (const std::exception& e) {
        Started = false;
        GravaLog(std::string("Erro ao iniciar serviço: ") + e.what());
    }
}

void TQuorvexSiTefService::ServiceStop(bool& Stopped) {
    try {
        // Requests still served meanwhile find no queue rather than one being destroyed.
        FPrintQueue.Take().reset();
        StopServer();
        GravaLog("O serviço foi parado.");
        Stopped = true;
    } catch (const std::exception&) {
        Stopped = false;
    }
}

void TQuorvexSiTefService::ServicePause(bool& Paused) {
    StopServer();
    GravaLog("O serviço foi pausado.");
    Paused = true;
}

void TQuorvexSiTefService::ServiceContinue(bool& Continued) {
    StartServer();
    GravaLog("O serviço foi retomado.");
    Continued = true;
}

void TQuorvexSiTefService::ServiceExecute() {
    state_ = State::kRunning;  // only reached after a successful start
    while (!terminated_) ProcessRequests();
}

void TQuorvexSiTefService::ProcessRequests() {
    bool done = false;
    const platform::ServiceControl control = platform::WaitForServiceControl();
    switch (control) {
        case platform::ServiceControl::kStop:
            ServiceStop(done);
            if (done) {
                state_ = State::kStopped;
                terminated_ = true;
            }
            break;
        case platform::ServiceControl::kPause:
            if (state_ != State::kRunning) break;
            ServicePause(done);
            if (done) state_ = State::kPaused;
            break;
        case platform::ServiceControl::kContinue:
            if (state_ != State::kPaused) break;
            ServiceContinue(done);
            if (done) state_ = State::kRunning;
            break;
        case platform::ServiceControl::kNone:
            break;
    }
    // The manager waits for an answer to every request, also to one that failed or did not
    // apply. "Stopped" is told last, once nothing of the service runs any more.
    if (control != platform::ServiceControl::kNone && !terminated_) {
        platform::ReportServiceState(state_ == State::kPaused ? platform::ServiceState::kPaused
                                                              : platform::ServiceState::kRunning);
    }
}

void TQuorvexSiTefService::StartPrintQueue() {
    // The printer is read once: a change of the configuration takes effect at the next start.
    auto queue = std::make_unique<printing::TPrintQueue>(app_dir_ + printing::kPrintProgramName,
                                                         PrinterName(iniConfig()),
                                                         printing::PrintWaits::FromEnvironment());
    queue->FOnLog = [this](const std::string& message) { PrintQueueLog(message); };
    queue->Start();
    FPrintQueue.Put(std::move(queue));
}

void TQuorvexSiTefService::StartServer() {
    try {
        GravaLog("Iniciando servidor socket.");
        const int port = ListenPort(iniConfig());
        if (port > 65535) throw std::out_of_range("Porta inválida: " + std::to_string(port));
        FServerThread = std::make_unique<transport::TServerThread>(
            static_cast<uint16_t>(port), app_dir_, *handler_,
            [this](const std::string& line) { GravaLog(line); });
        ApplySecuritySettings(*FServerThread);
        FServerThread->Start();
    } catch (const std::exception& e) {
        GravaLog(e.what());
    }
}

void TQuorvexSiTefService::StopServer() {
    if (!FServerThread) return;
    try {
        FServerThread->Stop();
    } catch (const std::exception& e) {
        GravaLog(std::string("StopServer erro: ") + e.what());
    }
    FServerThread.reset();
}

bool TQuorvexSiTefService::GravaLog(const std::string& text) {
    // Kept whether or not the line reached the disk: a full disk is what on call must see.
    if (IsErrorLine(text)) last_error_.Offer(text, platform::Now());
    return log_.GravaLog(text);
}

void TQuorvexSiTefService::PrintQueueLog(const std::string& message) {
    GravaLog("[Impressora] " + message);
}

// --- Protections --------------------------------------------------------------------------

std::shared_ptr<const TSecuritySettings> TQuorvexSiTefService::Security() const {
    std::lock_guard lock(security_mutex_);
    return security_;
}

void TQuorvexSiTefService::ApplySecuritySettings(transport::TServerThread& listener) {
    // No request runs now (the listener is not started yet), so none sees the change halfway.
    TSecurityReading reading = ReadSecuritySettings(iniConfig(), app_dir_);
    for (const std::string& line : reading.log_lines) GravaLog(line);
    listener.SetOriginPolicy(reading.settings.origins);
    auto settings = std::make_shared<const TSecuritySettings>(std::move(reading.settings));
    std::lock_guard lock(security_mutex_);
    security_ = std::move(settings);
}

}  // namespace service
