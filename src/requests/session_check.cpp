// ValidateSession: the session check every route but a few runs before its handler.
#include "platform/clock.h"
#include "requests/dm_sitef.h"

namespace requests {

bool TDmSitef::ValidateSession(const TClientRequest& pContent, std::optional<TSession>& pSession) {
    // The router has already turned away what is not a JSON object.
    std::string uuid;
    try {
        uuid = pContent.Field("session_uuid");
    } catch (const RequestError& e) {
        pContent.ReplyError(e.what());
        return false;
    }
    pSession = FSessionList.GetSession(uuid);
    if (!pSession) {
        pContent.ReplyError("Sessão inválida.");
        return false;
    }
    if (platform::ToDateTime(platform::Now()) >= pSession->ExpirationDateTime()) {
        FSessionList.DeleteItem(uuid);
        pSession.reset();
        pContent.ReplyError("Sessão expirada.");
        return false;
    }
    return true;
}

}  // namespace requests
