// ValidateSession: the session check every route but a few runs before its handler.
#include "platform/clock.h"
#include "requests/dm_sitef.h"
#include "requests/json_envelope.h"

namespace requests {

bool TDmSitef::ValidateSession(const std::string& pContent, std::optional<TSession>& pSession) {
    JsonDocument document;
    if (!document.Parse(pContent) || !document.IsObject()) {
        SendClientMessage(ErrorReply("Os dados recebidos são inválidos."));
        return false;
    }
    std::string uuid;
    try {
        uuid = GetField(document.Object(), "session_uuid");
    } catch (const RequestError& e) {
        SendClientMessage(ErrorReply(e.what()));
        return false;
    }
    pSession = FSessionList.GetSession(uuid);
    if (!pSession) {
        SendClientMessage(ErrorReply("Sessão inválida."));
        return false;
    }
    if (platform::ToDateTime(platform::Now()) >= pSession->ExpirationDateTime()) {
        FSessionList.DeleteItem(uuid);
        pSession.reset();
        SendClientMessage(ErrorReply("Sessão expirada."));
        return false;
    }
    return true;
}

}  // namespace requests
