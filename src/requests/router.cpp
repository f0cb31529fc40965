// RouteTargeting: parses a client message, applies the session check and calls the handler
// of its route.
#include "requests/dm_sitef.h"
#include "requests/json_envelope.h"

namespace requests {
namespace {

constexpr const char* kSessionStart = "/session/start";

}  // namespace

void TDmSitef::RouteTargeting(const std::string& pContent,
                              transport::TClientConnection& pIdContext) {
    JsonDocument document;
    if (!document.Parse(pContent)) return;              // not JSON: no reply, no log line
    simdjson::dom::object request = document.Object();  // not an object: ends the connection

    try {
        std::string route = GetField(request, "route");
        if (route == kSessionStart) {
            try {
                CreateSession(pContent, pIdContext);
            } catch (const std::exception&) {
                SendClientMessage(ErrorReply("Dados de sessão inválidos."));
            }
            return;
        }
        std::optional<TSession> session;
        if (NeedsSessionCheck(route, request) && !ValidateSession(pContent, session)) return;
        Dispatch(route, pContent, session);
    } catch (const std::exception& e) {
        SendClientMessage(ErrorReply(e.what()));
    }
}

bool TDmSitef::NeedsSessionCheck(const std::string& route, simdjson::dom::object request) {
    if (route == "/version" || route == "/print") return false;
    if (route != "/transaction") return true;
    return GetField(request, "type") != "confirmation";
}

void TDmSitef::Dispatch(const std::string& route, const std::string& pContent,
                        const std::optional<TSession>& pSession) {
    // Routes are compared exactly; a route that matches none gets no reply. The routes below
    // passed the session check, so a session is present wherever a handler takes one.
    if (route == "/session/finish") {
        FinishSession(pContent, *pSession);
    } else if (route == "/initialize") {
        InitializeSiTef(pContent, *pSession);
    } else if (route == "/pinpad/status") {
        CheckPinpad(pContent, *pSession);
    } else if (route == "/version") {
        CheckFileVersion(pContent);
    } else if (route == "/transaction") {
        StartTransaction(pContent, pSession);
    } else if (route == "/transaction/cancel") {
        CancelTransactionInProgress(pContent);
    } else if (route == "/print") {
        Print(pContent);
    }
}

}  // namespace requests
