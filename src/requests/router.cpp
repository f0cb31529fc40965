// RouteTargeting: parses a client message, applies the session check and calls the handler
// of its route.
#include "requests/dm_sitef.h"
#include "service/quorvex_sitef_service.h"

namespace requests {
namespace {

constexpr const char* kSessionStart = "/session/start";
constexpr const char* kPrint = "/print";

}  // namespace

void TDmSitef::RouteTargeting(const std::string& pContent, transport::ClientChannel& pIdContext) {
    // The one parse of the message; the session check and the handler read this document.
    JsonDocument document;
    if (!document.Parse(pContent)) return;  // not JSON: no reply, no log line
    const TClientRequest request(pContent, document.Object(), pIdContext);  // not an object: raises
    Route(request);
}

bool TDmSitef::ServedDuringOperation(std::string_view route) {
    return route == kPrint || route == "/version" || route == kHealthRoute ||
           route == "/transaction/status";
}

void TDmSitef::Route(const TClientRequest& request) {
    try {
        std::string route = request.Field("route");
        if (route == kSessionStart) {
            try {
                CreateSession(request);
            } catch (const std::exception&) {
                request.ReplyError("Dados de sessão inválidos.");
            }
            return;
        }
        std::optional<TSession> session;
        if (NeedsSessionCheck(route, request) && !ValidateSession(request, session)) {
            if (route == kPrint)
                service_.GravaLog("Impressão recusada: sessão ausente ou inválida.");
            return;
        }
        Dispatch(route, request, session);
    } catch (const std::exception& e) {
        request.ReplyError(e.what());
    }
}

bool TDmSitef::NeedsSessionCheck(const std::string& route, const TClientRequest& request) const {
    if (route == "/version" || route == kHealthRoute) return false;
    if (route == kPrint) return service_.Security()->require_print_session;
    if (route != "/transaction") return true;
    return request.Field("type") != "confirmation";
}

void TDmSitef::Dispatch(const std::string& route, const TClientRequest& request,
                        const std::optional<TSession>& pSession) {
    // Routes are compared exactly; a route that matches none gets no reply. The routes below
    // passed the session check, so a session is present wherever a handler takes one.
    if (route == "/session/finish") {
        FinishSession(request, *pSession);
    } else if (route == "/initialize") {
        InitializeSiTef(request, *pSession);
    } else if (route == "/pinpad/status") {
        CheckPinpad(request, *pSession);
    } else if (route == "/version") {
        CheckFileVersion(request);
    } else if (route == "/transaction") {
        StartTransaction(request, pSession);
    } else if (route == "/transaction/status") {
        CheckTransactionStatus(request, *pSession);
    } else if (route == "/transaction/cancel") {
        CancelTransactionInProgress(request);
    } else if (route == kPrint) {
        Print(request);
    } else if (route == kHealthRoute) {
        CheckHealth(request);
    }
}

}  // namespace requests
