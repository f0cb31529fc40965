#include "requests/session_list.h"

#include <algorithm>

namespace requests {

void TSessionList::AddItem(std::string session_uuid, platform::TDateTime expiration,
                           transport::ClientChannel* id_context) {
    auto session = std::make_unique<TSession>(std::move(session_uuid), expiration, id_context);
    std::lock_guard lock(mutex_);
    FList.push_back(std::move(session));
}

std::optional<TSession> TSessionList::GetSession(std::string_view session_uuid) const {
    std::lock_guard lock(mutex_);
    for (const auto& session : FList) {
        if (session->Session_UUID() == session_uuid) return *session;
    }
    return std::nullopt;
}

void TSessionList::DeleteItem(std::string_view session_uuid) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(FList.begin(), FList.end(), [&](const auto& session) {
        return session->Session_UUID() == session_uuid;
    });
    if (it != FList.end()) FList.erase(it);
}

size_t TSessionList::Count() const {
    std::lock_guard lock(mutex_);
    return FList.size();
}

}  // namespace requests
