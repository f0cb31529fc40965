#include "requests/dm_sitef.h"

#include "platform/clock.h"
#include "service/quorvex_sitef_service.h"
#include "service/service_log.h"
#include "transport/server_thread.h"

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

void TDmSitef::OnMessage(const std::string& text, transport::TClientConnection& connection) {
    RouteTargeting(text, connection);
}

void TDmSitef::AfterMessage() { FProcessandoMsg = false; }

void TDmSitef::OnDisconnect(transport::TClientConnection&) {
    // Undoing the pending TEF transactions of a closed connection belongs here; it arrives
    // with the TEF component.
}

void TDmSitef::SendClientMessage(const std::string& pMsg) {
    transport::TServerThread::SendClientMessage(pMsg);
}

void TDmSitef::DecodeWebSocketFrame(std::string& DecodedMessage) {
    DecodedMessage.clear();
    transport::TServerThread::DecodeWebSocketFrame(DecodedMessage);
}

}  // namespace requests
