#include "requests/dm_sitef.h"

#include "platform/clock.h"
#include "requests/tef_operation.h"
#include "service/quorvex_sitef_service.h"
#include "service/service_log.h"

namespace requests {

TDmSitef::TDmSitef(service::TQuorvexSiTefService& service)
    : service_(service),
      times_(TRequestTimes::FromEnvironment()),
      fRecords([this](const std::string& line) { service_.GravaLog(line); }) {
    ConfigureComponent();
    DataModuleCreate();
}

TDmSitef::~TDmSitef() { DataModuleDestroy(); }

void TDmSitef::ConfigureComponent() {
    KaCliSiTef.Televenda = false;
    // Only an engine that exchanges request files reads these; ours passes them nowhere.
    KaCliSiTef.Identificacao.SetNomeAplicacao(service::TQuorvexSiTefService::kApplicationTitle);
    KaCliSiTef.Identificacao.SetVersaoAplicacao(QV_PROJECT_VERSION);
    KaCliSiTef.Identificacao.SetSoftwareHouse("Quorvex");
    KaCliSiTef.Identificacao.SetRazaoSocial("Quorvex Sistemas Ltda.");
    KaCliSiTef.SetEsperaSTS(7);
    // Backups beside the service, wherever the service object says it lives.
    KaCliSiTef.SetPathBackup(service_.AppDir() + "TEF");
    BindDialogueEvents();
    BindFiscalPrinterEvents();
}

void TDmSitef::DataModuleCreate() {
    // The trace file is named after the day the process started and keeps that name.
    FArqLOGTEF = service::TefLogFilePath(service_.AppDir(), platform::Now());
    KaCliSiTef.SetArqLOG(FArqLOGTEF);
}

void TDmSitef::DataModuleDestroy() {
    // The session list frees its sessions with the data module, the component goes with it.
}

void TDmSitef::OnMessage(const std::string& text, transport::ClientChannel& client) {
    RouteTargeting(text, client);
}

void TDmSitef::AfterMessage() { FProcessandoMsg = false; }

void TDmSitef::OnDisconnect(transport::ClientChannel&) {
    // A connection that ended has no operation running any more; one that is running belongs
    // to another connection and keeps what it has pending.
    TTefOperation operation(*this, nullptr);
    if (operation.Acquired()) CancelPendingTransactions();
}

std::string TDmSitef::CallbackURL() const {
    std::lock_guard lock(session_values_mutex_);
    return fCallbackURL;
}

void TDmSitef::SendClientMessage(std::string_view message) { OperationClient().SendText(message); }

std::string TDmSitef::DecodeWebSocketFrame() { return OperationClient().ReadMessage(); }

}  // namespace requests
