// The data module: the one request-handling object of the process. It receives every client
// message from the transport, routes it by its "route" member, checks sessions and runs the
// route handlers; the handlers talk to the client through the connection that delivered the
// message. Created by the service object at process start, destroyed at process end.
//
// Thread contract: every message is handled on the thread of the connection that sent it.
// The session list has its own lock; the flags shared with a running operation are atomic.
#pragma once

#include <simdjson.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

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
    void OnMessage(const std::string& text, transport::TClientConnection& connection) override;
    void AfterMessage() override;
    void OnDisconnect(transport::TClientConnection& connection) override;

    // Handles one message completely. Raises only when the message is JSON but not an object
    // (NotAnObjectError) or when even the error reply cannot be sent.
    void RouteTargeting(const std::string& pContent, transport::TClientConnection& pIdContext);

    // Frames of the connection that delivered the message being handled.
    void SendClientMessage(const std::string& pMsg);
    void DecodeWebSocketFrame(std::string& DecodedMessage);

    // The session check of every route that needs one. On failure it has sent the error reply
    // itself; a session found expired is removed.
    bool ValidateSession(const std::string& pContent, std::optional<TSession>& pSession);

    // Route handlers.
    void CreateSession(const std::string& pConfig, transport::TClientConnection& pIdContext);
    void FinishSession(const std::string& pContent, const TSession& pSession);
    void InitializeSiTef(const std::string& pContent, const TSession& pSession);
    void CheckPinpad(const std::string& pContent, const TSession& pSession);
    void CheckFileVersion(const std::string& pContent);
    void StartTransaction(const std::string& pContent, const std::optional<TSession>& pSession);
    void CancelTransactionInProgress(const std::string& pContent);
    void Print(const std::string& pContent);

    TSessionList& SessionList() { return FSessionList; }
    // Trace file of the TEF component, fixed at creation from the day the process started.
    const std::string& TefLogPath() const { return FArqLOGTEF; }

    std::atomic<bool> fProcessando{false};
    std::atomic<bool> FProcessandoMsg{false};

private:
    void DataModuleCreate();
    void DataModuleDestroy();
    // Whether `route` needs the session check (reads "type" for "/transaction").
    static bool NeedsSessionCheck(const std::string& route, simdjson::dom::object request);
    void Dispatch(const std::string& route, const std::string& pContent,
                  const std::optional<TSession>& pSession);
    std::string LibraryFileForVersion() const;
    // "/print" once the request passed its checks: configuration and program files, the
    // temporary file, the queue. Replies itself to what it finds wrong; raises otherwise.
    void PrintData(const std::string& pFileType, std::string_view pData);

    service::TQuorvexSiTefService& service_;
    TSessionList FSessionList;
    std::string FArqLOGTEF;
};

}  // namespace requests
