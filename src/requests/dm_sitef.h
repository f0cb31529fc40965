// The data module: the one request-handling object of the process. It receives every client
// message from the transport, routes it by its "route" member, checks sessions and runs the
// route handlers; the handlers talk to the client through the connection that delivered the
// message. Created by the service object at process start, destroyed at process end.
//
// Thread contract: every message is handled on the thread of the connection that sent it.
// The session list has its own lock; the flags shared with a running operation are atomic.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "requests/client_request.h"
#include "requests/session_list.h"
#include "transport/message_handler.h"

namespace service {
class TQuorvexSiTefService;
}

namespace requests {

class TDmSitef : public transport::MessageHandler {
public:
    // Runs DataModuleCreate; `service` must outlive the data module.
    explicit TDmSitef(service::TQuorvexSiTefService& service);
    ~TDmSitef() override;  // DataModuleDestroy
    TDmSitef(const TDmSitef&) = delete;
    TDmSitef& operator=(const TDmSitef&) = delete;

    // transport::MessageHandler
    void OnMessage(const std::string& text, transport::ClientChannel& client) override;
    void AfterMessage() override;
    void OnDisconnect(transport::ClientChannel& client) override;

    // Handles one message completely: parses it once, checks the session where the route
    // needs one and runs the route's handler, every reply going to `pIdContext`. Raises only
    // when the message is JSON but not an object (NotAnObjectError) or when even the error
    // reply cannot be sent.
    void RouteTargeting(const std::string& pContent, transport::ClientChannel& pIdContext);

    // The session check of every route that needs one. On failure it has sent the error reply
    // itself; a session found expired is removed.
    bool ValidateSession(const TClientRequest& pContent, std::optional<TSession>& pSession);

    // Route handlers; each replies to the request's client.
    void CreateSession(const TClientRequest& pConfig);
    void FinishSession(const TClientRequest& pContent, const TSession& pSession);
    void InitializeSiTef(const TClientRequest& pContent, const TSession& pSession);
    void CheckPinpad(const TClientRequest& pContent, const TSession& pSession);
    void CheckFileVersion(const TClientRequest& pContent);
    void StartTransaction(const TClientRequest& pContent, const std::optional<TSession>& pSession);
    void CancelTransactionInProgress(const TClientRequest& pContent);
    void Print(const TClientRequest& pContent);

    TSessionList& SessionList() { return FSessionList; }
    // Trace file of the TEF component, fixed at creation from the day the process started.
    const std::string& TefLogPath() const { return FArqLOGTEF; }

    std::atomic<bool> fProcessando{false};
    std::atomic<bool> FProcessandoMsg{false};

private:
    void DataModuleCreate();
    void DataModuleDestroy();
    // Whether `route` needs the session check (reads "type" for "/transaction").
    static bool NeedsSessionCheck(const std::string& route, const TClientRequest& request);
    void Dispatch(const std::string& route, const TClientRequest& request,
                  const std::optional<TSession>& pSession);
    std::string LibraryFileForVersion() const;
    // "/print" once the request passed its checks: configuration and program files, the
    // temporary file, the queue. Replies itself to what it finds wrong; raises otherwise.
    void PrintData(const TClientRequest& pRequest, const std::string& pFileType,
                   std::string_view pData);

    service::TQuorvexSiTefService& service_;
    TSessionList FSessionList;
    std::string FArqLOGTEF;
};

}  // namespace requests
