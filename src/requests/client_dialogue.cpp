// The client dialogue of a TEF operation: prompts sent to the operation's client, its answers
// read back (with their deadline), cancellation requests taken during library waits, and the
// confirmation of a cancellation.
#include <algorithm>
#include <chrono>
#include <thread>

#include "card_data/wipe.h"
#include "platform/scope_exit.h"
#include "requests/answer_readers.h"
#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
#include "service/quorvex_sitef_service.h"

namespace requests {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kEmptyMessagePause{50};
constexpr milliseconds kPollPause{1};

}  // namespace

void TDmSitef::SendPrompt(const std::string& type, const std::string& message,
                          std::initializer_list<const char*> options) {
    JsonArray list;
    for (const char* option : options) list.Add(option);
    SendClientMessage(JsonObject()
                          .Add("type", type)
                          .Add("message", message)
                          .Add("options", list)
                          .Add("can_cancel", false)
                          .ToString());
}

void TDmSitef::SendSampleMsg(const std::string& pMsg) { SendPrompt("message", pMsg, {}); }

void TDmSitef::SetCanCancel(bool value) {
    fPodeCancelar = value;
    SendClientMessage(JsonObject().Add("type", "can_cancel").Add("can_cancel", value).ToString());
}

void TDmSitef::ControlDisplayMessage(const std::string& pMessage,
                                     tef::TKaCliSiTefOperacaoMensagem pOperation,
                                     tef::TModalResult& pModalResult) {
    switch (pOperation) {
        case tef::opmOK:
            SendPrompt("confirmation", pMessage, {"Ok"});
            ReadQuestionAnswer(pModalResult);
            if (pMessage == "Sem conexao SiTef") fCancelado = true;
            break;
        case tef::opmYesNo:
            SendPrompt("question", pMessage, {"Sim", "Não"});
            ReadQuestionAnswer(pModalResult);
            break;
        case tef::opmYesNoCustom:
            SendPrompt("question", pMessage, {"Sim", "Não", "Reimprimir"});
            ReadQuestionAnswer(pModalResult);
            break;
        case tef::opmExibirMsgOperador:
        case tef::opmRemoverMsgOperador:
        case tef::opmExibirMsgCliente:
        case tef::opmQRCode:
            SendSampleMsg(pMessage);
            break;
        case tef::opmRemoverMsgCliente:
            break;
        case tef::opmDestaqueVia:
            CountDownHighlightedCopy(pMessage);
            break;
        case tef::opmExcept:
            fCancelado = true;
            service_.GravaLog("opmExcept: " + pMessage);
            SendPrompt("confirmation", pMessage, {});
            ReadQuestionAnswer(pModalResult);
            break;
    }
}

void TDmSitef::CountDownHighlightedCopy(const std::string& text) {
    fUltimaMsg = text;
    const Clock::time_point deadline = Clock::now() + times_.highlight_time;
    do {
        std::this_thread::sleep_for(times_.highlight_step);
        const auto left = std::chrono::duration_cast<std::chrono::seconds>(deadline - Clock::now());
        SendSampleMsg(text + " " + std::to_string(left.count() < 0 ? -left.count() : left.count()));
    } while (Clock::now() <= deadline);
    SendSampleMsg(fUltimaMsg);
}

bool TDmSitef::GetClientResponse(JsonDocument& answer, AnswerTypes fits) {
    while (FAguardandoRespCanc) std::this_thread::sleep_for(kPollPause);
    if (!fLastContentReceived.empty()) {
        // Answers may carry what the operator typed: no copy of one outlives its reading.
        std::string early = std::exchange(fLastContentReceived, {});
        const card_data::WipeOnExit wipe_early(early);
        if (const AnswerKind kind = TakeAnswer(early, answer, fits); kind != AnswerKind::kNone)
            return kind == AnswerKind::kAnswer;
    }
    transport::ClientChannel& client = OperationClient();
    const Clock::time_point deadline = Clock::now() + times_.answer_timeout;
    for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
        // Waiting for input first keeps the deadline even when nothing at all arrives.
        if (!client.WaitForInput(std::chrono::ceil<milliseconds>(deadline - now))) continue;
        std::string text = DecodeWebSocketFrame();
        const card_data::WipeOnExit wipe_text(text);
        if (text.empty()) {
            std::this_thread::sleep_for(kEmptyMessagePause);
            continue;
        }
        if (const AnswerKind kind = TakeAnswer(text, answer, fits); kind != AnswerKind::kNone)
            return kind == AnswerKind::kAnswer;
    }
    fCancelado = true;
    service_.GravaLog("GetClientResponse: timeout aguardando resposta do cliente.");
    return false;
}

TDmSitef::AnswerKind TDmSitef::TakeAnswer(const std::string& text, JsonDocument& answer,
                                          AnswerTypes fits) {
    if (!answer.Parse(text)) return AnswerKind::kNone;  // not JSON: consumed
    // JSON that is not an object raises NotAnObjectError, as a message without a field would.
    const TClientRequest request(text, answer.Object(), OperationClient());
    std::string route;
    try {
        route = request.Field("route");
    } catch (const RequestError& e) {
        request.ReplyError(e.what());
        return AnswerKind::kNone;
    }
    if (route == "/transaction") {
        // An answer meant for another prompt (a notice acknowledged twice, a late answer after
        // the deadline) must not decide this one: it is passed over and the prompt waits on.
        const std::string type = request.Field("type");
        const bool fitting = std::find(fits.begin(), fits.end(), type) != fits.end();
        return fitting ? AnswerKind::kAnswer : AnswerKind::kNone;
    }
    if (route == "/transaction/cancel") {
        // An accepted cancellation ends the wait; a refused or broken one leaves the prompt
        // waiting.
        try {
            CancelTransactionInProgress(request);
        } catch (const RequestError& e) {
            request.ReplyError(e.what());
        }
        return fCancelado ? AnswerKind::kCancelled : AnswerKind::kNone;
    }
    // Nothing in the way of the prompt: a document to print is not lost while it waits.
    if (ServedDuringOperation(route)) Route(request);
    // Requests of other routes are not served during a prompt: consumed without a reply.
    return AnswerKind::kNone;
}

void TDmSitef::CheckIncomingMessage() {
    if (fCancelado) return;
    FProcessandoMsg = true;
    FAguardandoRespCanc = true;
    card_data::Wipe(fLastContentReceived);
    const platform::ScopeExit end([this] {
        FProcessandoMsg = false;
        FAguardandoRespCanc = false;
    });
    std::string text = DecodeWebSocketFrame();
    const card_data::WipeOnExit wipe_text(text);
    if (text.empty()) return;
    JsonDocument document;
    const platform::ScopeExit wipe_document([&document] { document.Wipe(); });
    // Anything but a JSON object is no request of the client's: dropped, the wait goes on.
    if (!document.Parse(text) || !document.IsObject()) return;
    const simdjson::dom::object message = document.Object();
    if (HasField(message, "route") && ServedDuringOperation(GetField(message, "route"))) {
        Route(TClientRequest(text, message, OperationClient()));
    } else if (GetField(message, "type") == "cancellation") {
        if (fPodeCancelar) fCancelado = true;
    } else {
        // Moved, not copied: the early answer keeps the storage it arrived in.
        fLastContentReceived = std::move(text);
    }
}

void TDmSitef::ReadMenuAnswer(const tef::TextLines& Opcoes, int& ItemSelecionado,
                              bool& VoltarMenu) {
    JsonDocument answer;
    if (GetClientResponse(answer, {"menu"})) {
        const TMenuAnswer menu = ReadMenuAnswerObject(answer.Object(), Opcoes);
        if (menu.item) ItemSelecionado = *menu.item;
        if (menu.back) VoltarMenu = true;
        if (menu.cancel) fCancelado = true;
    }
    if (fCancelado) ConfirmCancellation();
}

void TDmSitef::ReadFieldAnswer(tef::AnsiString& Resposta, bool& VoltarMenu) {
    JsonDocument answer;
    // What the operator typed leaves no copy behind but the one handed to the library.
    const platform::ScopeExit wipe_answer([&answer] { answer.Wipe(); });
    if (GetClientResponse(answer, {"collect"})) {
        TFieldAnswer field = ReadFieldAnswerObject(answer.Object());
        const platform::ScopeExit wipe_field([&field] {
            if (field.typed) card_data::Wipe(*field.typed);
        });
        if (field.typed) Resposta = *field.typed;
        if (field.back) VoltarMenu = true;
        if (field.cancel) fCancelado = true;
    }
    if (fCancelado) ConfirmCancellation();
}

void TDmSitef::ReadQuestionAnswer(tef::TModalResult& result) {
    JsonDocument answer;
    if (!GetClientResponse(answer, {"question", "confirmation"})) return;
    if (const std::optional<tef::TModalResult> value = QuestionResult(answer.Object()))
        result = *value;
}

void TDmSitef::ConfirmCancellation() {
    SendPrompt("question", "Deseja realmente cancelar esta operação?", {"Sim", "Não"});
    tef::TModalResult result = 0;
    ReadQuestionAnswer(result);
    // "Não" keeps the operation going. "Sim" confirms the cancellation, and so do an
    // acknowledgement and a client that does not answer at all.
    if (result == tef::mrNo) fCancelado = false;
}

}  // namespace requests
