// Open client sessions. A session is an identifier with a fixed expiration; it lives in the
// list until it is finished, found expired by a check, or the service stops.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace transport {
class ClientChannel;
}

namespace requests {

class TSession {
public:
    TSession(std::string session_uuid, platform::TDateTime expiration,
             transport::ClientChannel* id_context)
        : FIdContext(id_context),
          FSession_UUID(std::move(session_uuid)),
          FExpirationDateTime(expiration) {}

    // The connection that opened the session; recorded only, never used to reach it.
    transport::ClientChannel* IdContext() const { return FIdContext; }
    const std::string& Session_UUID() const { return FSession_UUID; }
    platform::TDateTime ExpirationDateTime() const { return FExpirationDateTime; }

private:
    transport::ClientChannel* FIdContext;
    std::string FSession_UUID;
    platform::TDateTime FExpirationDateTime;
};

// Owns its sessions, kept in insertion order; lookups scan from the first. Connections run on
// threads of their own, so every operation takes the list's lock and lookups hand out copies.
class TSessionList {
public:
    void AddItem(std::string session_uuid, platform::TDateTime expiration,
                 transport::ClientChannel* id_context);

    // The first session whose identifier equals `session_uuid` exactly.
    std::optional<TSession> GetSession(std::string_view session_uuid) const;

    // Removes the first session with that identifier; nothing when there is none.
    void DeleteItem(std::string_view session_uuid);

    size_t Count() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<TSession>> FList;  // guarded by mutex_
};

}  // namespace requests
