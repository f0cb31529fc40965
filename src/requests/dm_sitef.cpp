#include "requests/dm_sitef.h"

#include "platform/clock.h"
#include "service/quorvex_sitef_service.h"
#include "service/service_log.h"

namespace requests {

TDmSitef::TDmSitef(service::TQuorvexSiTefService& service) : service_(service) {
    DataModuleCreate();
}

TDmSitef::~TDmSitef() { DataModuleDestroy(); }

void TDmSitef::DataModuleCreate() {
    // The trace file is named after the day the process started and keeps that name.
    FArqLOGTEF = service::TefLogFilePath(service_.AppDir(), platform::Now());
}

void TDmSitef::DataModuleDestroy() {
    // The session list frees its sessions with the data module.
}

void TDmSitef::OnMessage(const std::string& text, transport::ClientChannel& client) {
    RouteTargeting(text, client);
}

void TDmSitef::AfterMessage() { FProcessandoMsg = false; }

void TDmSitef::OnDisconnect(transport::ClientChannel&) {
    // Nothing of a client outlives its connection yet: the request layer has no operation
    // that keeps running for a client.
}

}  // namespace requests
