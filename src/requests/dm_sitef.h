// The data module: the one request-handling object of the process. It receives every client
// message from the transport, routes it by its "route" member, checks sessions and runs the
// route handlers; the handlers talk to the client through the connection that delivered the
// message. It owns the TEF component and handles its events by talking to the client of the
// running TEF operation: prompts go out to that client and its answers are read back from it.
// Created by the service object at process start, destroyed at process end.
//
// Thread contract: every message is handled on the thread of the connection that sent it, so
// several run at once. The TEF component, its events and the operation's fields belong to the
// one thread that holds the operation guard (fProcessando, taken through TTefOperation); the
// session list has its own lock; flags and values other connections may touch are atomic or
// guarded as noted beside them.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "requests/client_request.h"
#include "requests/health.h"
#include "requests/json_writer.h"
#include "requests/request_times.h"
#include "requests/session_list.h"
#include "requests/tef_settings.h"
#include "requests/transaction_records.h"
#include "tef/kaclisitef.h"
#include "transport/message_handler.h"

namespace service {
class TQuorvexSiTefService;
struct TSecuritySettings;
}  // namespace service

namespace requests {

class TTefOperation;
struct TTransactionRequest;

// Why a request that would reconfigure or reload the payment library is turned away while
// another connection's TEF operation uses it.
inline constexpr const char* kTefBusy =
    "Há uma operação TEF em andamento em outra conexão; tente novamente quando ela terminar.";

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
    // Undoes the component's pending transactions, unless another connection's TEF operation
    // is running (the ended connection's own operation, if it had one, is over by now).
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
    // Opens a session from a signed token and sets the TEF component up for its store. A
    // token that cannot be decoded raises (the router answers it); other failures are
    // answered here.
    void CreateSession(const TClientRequest& pConfig);
    void FinishSession(const TClientRequest& pContent, const TSession& pSession);
    void InitializeSiTef(const TClientRequest& pContent, const TSession& pSession);
    void CheckPinpad(const TClientRequest& pContent, const TSession& pSession);
    void CheckFileVersion(const TClientRequest& pContent);
    void StartTransaction(const TClientRequest& pContent, const std::optional<TSession>& pSession);
    // Flags the running operation for cancellation when it can be cancelled; never replies.
    void CancelTransactionInProgress(const TClientRequest& pContent);
    void Print(const TClientRequest& pContent);

    // --- Results that survive a lost reply (transaction_status.cpp) ----------------------
    // Opens the record of requests with a "request_id", in the application folder.
    void OnServiceStart() override;
    // "/transaction/status": the stored result of a request_id, or whether it still runs.
    void CheckTransactionStatus(const TClientRequest& pContent, const TSession& pSession);

    // --- Health and the protections a shop may switch on --------------------------------
    // "/health": the service's state, without a session; never waits for a running payment.
    void CheckHealth(const TClientRequest& pContent);
    THealthReport GatherHealth() const;

    TSessionList& SessionList() { return FSessionList; }
    // Trace file of the TEF component, fixed at creation from the day the process started.
    const std::string& TefLogPath() const { return FArqLOGTEF; }

    // --- The client dialogue of the running TEF operation ---------------------------------
    // All of these run on the thread holding the operation guard and talk to its client;
    // without a bound client (or when it has gone) they raise transport::ConnectionClosed.

    // One message to the operation's client / the client's next message (blocking).
    void SendClientMessage(std::string_view message);
    std::string DecodeWebSocketFrame();

    // Shows a message of the component as the client's prompt of that kind and, for the
    // kinds that need it, reads the answer into `pModalResult`.
    void ControlDisplayMessage(const std::string& pMessage,
                               tef::TKaCliSiTefOperacaoMensagem pOperation,
                               tef::TModalResult& pModalResult);
    // {"type":"message","message":pMsg,"options":[],"can_cancel":false}
    void SendSampleMsg(const std::string& pMsg);
    // Records whether a cancellation is possible now and tells the client.
    void SetCanCancel(bool value);
    // The answer types a prompt takes ("menu"; "question" and "confirmation" ...).
    using AnswerTypes = std::initializer_list<std::string_view>;
    // Waits for the client's answer to a prompt (a "/transaction" message whose type `fits`,
    // parsed into `answer`); false when the deadline passed (the operation is then flagged for
    // cancellation) or an accepted cancellation request ended the wait. On the way, answers of
    // another type are ignored, requests that do not use the TEF component are served as
    // usual and other messages are consumed without a reply. Raises when a message is JSON
    // but not an object, or an answer lacks its "type".
    bool GetClientResponse(JsonDocument& answer, AnswerTypes fits);
    // Reads one client message that arrived during a library wait: a cancellation request is
    // taken when the operation can be cancelled, a request that does not use the TEF component
    // is served, any other request is kept as the answer to the next prompt.
    void CheckIncomingMessage();
    // Read one answer and apply it; the menu and field readers end with ConfirmCancellation
    // when a cancellation is pending.
    void ReadMenuAnswer(const tef::TextLines& Opcoes, int& ItemSelecionado, bool& VoltarMenu);
    void ReadFieldAnswer(tef::AnsiString& Resposta, bool& VoltarMenu);
    void ReadQuestionAnswer(tef::TModalResult& result);
    // Asks the client to confirm the pending cancellation; "Não" withdraws it.
    void ConfirmCancellation();

    // --- Fields --------------------------------------------------------------------------

    // The TEF component; used only by the holder of the operation guard.
    tef::TKaCliSiTef KaCliSiTef;

    // The one TEF operation that may use the component runs while this is set; see
    // TTefOperation.
    std::atomic<bool> fProcessando{false};
    // The running operation can be cancelled now / a cancellation was asked for. Other
    // connections' cancellation requests read and set them.
    std::atomic<bool> fPodeCancelar{false};
    std::atomic<bool> fCancelado{false};
    // A client message is being read for the cancellation poll.
    std::atomic<bool> FAguardandoRespCanc{false};
    std::atomic<bool> FProcessandoMsg{false};

    // Operation's own state (guard holder only): the last highlighted receipt-copy message
    // and an answer that arrived early, during a library wait.
    std::string fUltimaMsg;
    std::string fLastContentReceived;
    // The values of the TEF operations' requests (guard holder only). They stay from one
    // operation to the next: a reprint reports the sale of the payment before it, a
    // cancellation the payer of the last payment.
    int32_t fOperacao = 0;
    std::string fPayerName;
    std::string fNsuCancelamento;
    tef::Money fValorTransacao = 0;
    int32_t fQtdParcelas = 0;
    // The sale the running operation reports: fVenda_Id as the operation started (a session
    // start on another connection may change fVenda_Id meanwhile).
    int32_t fVendaOperacao = 0;
    // The running operation has reported its result (guard holder only).
    bool fConcluido = false;
    // The running operation is a "/transaction" request, whose result the approval handler
    // reports; the start-up recovery raises the same event during other operations.
    bool fEmTransacao = false;

    // Written by every session start, for all sessions, and by payments that name their sale.
    std::atomic<int32_t> fVenda_Id{0};
    std::atomic<int32_t> fEmpresa_Id{0};
    std::atomic<bool> FTLSConnection{false};
    std::string CallbackURL() const;

private:
    friend class TTefOperation;

    void DataModuleCreate();
    void DataModuleDestroy();
    void ConfigureComponent();
    void BindDialogueEvents();
    void BindFiscalPrinterEvents();

    // Routes one parsed request: the session check where the route needs one, then its
    // handler. Failures are answered to the request's client.
    void Route(const TClientRequest& request);
    // Routes whose requests never use the TEF component, so they are served while a TEF
    // operation runs on the same connection, between its prompts.
    static bool ServedDuringOperation(std::string_view route);
    // Whether `route` needs the session check (reads "type" for "/transaction"; "/print"
    // when the shop requires a session for it).
    bool NeedsSessionCheck(const std::string& route, const TClientRequest& request) const;
    void Dispatch(const std::string& route, const TClientRequest& request,
                  const std::optional<TSession>& pSession);
    // Folder of the payment library, beside the executable.
    std::string LibraryFolder() const;
    std::string LibraryFileForVersion() const;
    // "/print" once the request passed its checks: configuration and program files, the
    // temporary file, the queue. Replies itself to what it finds wrong; raises otherwise.
    void PrintData(const TClientRequest& pRequest, const std::string& pFileType,
                   std::string_view pData);

    // Operation guard: takes it for `client` (none for work without a client) when it is
    // free; the holder releases it with EndOperation.
    bool TryBeginOperation(transport::ClientChannel* client);
    void EndOperation();
    transport::ClientChannel& OperationClient() const;

    // --- Session start -------------------------------------------------------------------
    // With a configured key that cannot be read, no token is taken: false, logged.
    bool TokenKeyUsable(const service::TSecuritySettings& security);
    // Logs a signature that does not match the shop's own key.
    void LogForeignSignature(const service::TSecuritySettings& security);
    // Raises RequestError with the refusal when the token's expiry does not let it in.
    static void RequireUnexpiredToken(simdjson::dom::object claims);
    void StartSession(const TClientRequest& request, simdjson::dom::object claims);
    // Configures (and where needed re-initialises) the TEF component for `settings` as the
    // operation of `client`; while another connection's operation runs, only settings the
    // component already has are accepted (kTefBusy otherwise) and nothing is touched.
    void SetUpTef(const TTefSettings& settings, transport::ClientChannel& client);
    void ApplySettings(const TTefSettings& settings);
    // TLS mode: sets the CNPJs and writes CONFITLS.INI for the gateway; true when the
    // registration token in the file changed. Direct mode: clears them and removes the file.
    bool ApplyTlsMode(const TTefSettings& settings);
    // Reloads and reconfigures the library, showing the client that it does.
    void ReinitializeLibrary();

    // --- Dialogue helpers ------------------------------------------------------------------
    void SendPrompt(const std::string& type, const std::string& message,
                    std::initializer_list<const char*> options);
    void CountDownHighlightedCopy(const std::string& text);
    // What GetClientResponse makes of one message (parsed into `answer`).
    enum class AnswerKind { kNone, kAnswer, kCancelled };
    AnswerKind TakeAnswer(const std::string& text, JsonDocument& answer, AnswerTypes fits);

    // --- Transactions ----------------------------------------------------------------------
    // Runs the operation of `request` to its result; raises what the client is answered.
    void RunTransaction(const TTransactionRequest& request);
    void TakeRequestValues(const TTransactionRequest& request);
    void PrepareComponent(const TTransactionRequest& request);
    // Undoes what the TEF component still holds open; a failure is logged, not raised.
    void CancelPendingTransactions();

    // --- Requests with a "request_id" (transaction_status.cpp) -----------------------------
    // What is recorded of `request_id`, unfinished records settled first where they can be.
    TTransactionRecords::TLookup LookUpRequest(const std::string& request_id);
    // Answers a "/transaction" whose request_id is recorded: its result, or an error while it
    // runs; false when nothing is recorded.
    bool AnswerRecordedRequest(const std::string& request_id, const TClientRequest& request);
    // Records the starting operation's request_id (when it has one) as running; false when the
    // request was answered instead (recorded already, or the record is unavailable).
    bool BeginRecord(const std::optional<std::string>& request_id, const TClientRequest& request);
    void EndRecord();
    // The approval of the running request before the library confirms it; false when a
    // record was asked for and could not be written (then nothing may be confirmed).
    bool RecordConfirming(const std::string& documento, const JsonArray& entries);
    // The running request's result, moving from `from`, before the client is sent it.
    void RecordOutcome(results::TRecordState from, const std::string& result);
    // Settles unfinished records: taking the operation guard when it is free, or with it held.
    void SettleUnfinishedRequests();
    void SettleWithLibrary();

    // --- Event handlers of the TEF component -----------------------------------------------
    void KaCliSiTefAguardaResp(const std::string& Arquivo, int SegundosTimeOut, bool& Interromper);
    void KaCliSiTefExibeMsg(tef::TKaCliSiTefOperacaoMensagem Operacao, const std::string& Mensagem,
                            tef::TModalResult& AModalResult);
    void KaCliSiTefExibeMenu(const std::string& Titulo, const tef::TextLines& Opcoes,
                             int& ItemSelecionado, bool& VoltarMenu);
    void KaCliSiTefObtemCampo(const std::string& Titulo, int TamanhoMinimo, int TamanhoMaximo,
                              int TipoCampo, tef::TKaCliSiTefCliSiTefOperacaoCampo Operacao,
                              tef::AnsiString& Resposta, bool& Digitado, bool& VoltarMenu);
    void KaCliSiTefExibeQRCode(const std::string& QRCode);
    void KaCliSiTefMudaEstadoReq(tef::TKaCliSiTefReqEstado EstadoReq);
    void KaCliSiTefMudaEstadoResp(tef::TKaCliSiTefRespEstado EstadoResp);
    void KaCliSiTefInfoECF(tef::TKaCliSiTefInfoECF Operacao, std::string& RetornoECF);
    // Reports an approved payment to the client and confirms it with the library.
    void KaCliSiTefDepoisConfirmarTransacoes(
        tef::TKaCliSiTefRespostasPendentes& RespostasPendentes);
    void KaCliSiTefComandaECFImprimeVia(tef::TKaCliSiTefTipoRelatorio TipoRelatorio, int Via,
                                        const tef::TextLines& ImagemComprovante, int& RetornoECF);

    service::TQuorvexSiTefService& service_;
    const TRequestTimes times_;
    TSessionList FSessionList;
    std::string FArqLOGTEF;
    // The client of the running operation (set with the guard).
    std::atomic<transport::ClientChannel*> operation_client_{nullptr};
    // Requests with a "request_id"; fRequestId is the running operation's (guard holder only).
    TTransactionRecords fRecords;
    std::optional<std::string> fRequestId;
    // A session start has pointed the engine at LibraryFolder().
    std::atomic<bool> library_folder_set_{false};

    mutable std::mutex session_values_mutex_;
    std::string fCallbackURL;  // guarded by session_values_mutex_

    // What the component is configured with, known only between the end of a successful
    // session set-up and the start of the next one; a session start on another connection
    // compares its settings with it while an operation runs.
    std::mutex settings_mutex_;
    std::optional<TTefSettings> settled_;  // guarded by settings_mutex_
};

}  // namespace requests
