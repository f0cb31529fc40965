// Requests with a "request_id": reading the identifier, "/transaction/status", and the data
// module's side of the record of such requests (opening it, answering a repeated request,
// recording the running operation's moves, settling what an interrupted one left).
#include "requests/transaction_status.h"

#include <charconv>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
#include "requests/tef_operation.h"
#include "requests/transaction_result.h"
#include "service/quorvex_sitef_service.h"
#include "tef/ansi_text.h"
#include "tef/clisitef.h"

namespace requests {
namespace {

constexpr const char* kRequestIdKey = "request_id";
constexpr const char* kResultsFolder = "Resultados";
constexpr const char* kResultsFile = "resultados.db";

bool VisibleAscii(std::string_view text) {
    for (const char c : text) {
        if (c < '!' || c > '~') return false;
    }
    return true;
}

std::string CheckedRequestId(const TClientRequest& request) {
    simdjson::dom::element value;
    if (request.Object().at_key(kRequestIdKey).get(value) || !value.is_string())
        throw RequestError("O campo \"request_id\" não foi preenchido corretamente.");
    const std::string id(value.get_string().value());
    if (tef::Trim(id).empty()) throw RequestError("O campo \"request_id\" não foi preenchido.");
    if (id.size() > kRequestIdMaxLength || !VisibleAscii(id))
        throw RequestError("O campo \"request_id\" não foi preenchido corretamente.");
    return id;
}

int NumberAt(std::string_view text, size_t position, size_t length) {
    int value = -1;
    std::from_chars(text.data() + position, text.data() + position + length, value);
    return value;
}

}  // namespace

std::optional<std::string> ReadRequestId(const TClientRequest& request) {
    if (!request.Has(kRequestIdKey)) return std::nullopt;
    return CheckedRequestId(request);
}

std::string RequiredRequestId(const TClientRequest& request) {
    request.Field(kRequestIdKey);  // the getter's text when it is missing
    return CheckedRequestId(request);
}

std::string TransactionStatusReply(const std::string& request_id, std::string_view status) {
    return JsonObject()
        .Add("type", "status")
        .Add(kRequestIdKey, request_id)
        .Add("status", std::string(status))
        .ToString();
}

std::optional<platform::TDateTime> FiscalDate(std::string_view text) {
    if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const int year = NumberAt(text, 0, 4), month = NumberAt(text, 4, 2), day = NumberAt(text, 6, 2);
    if (!platform::IsValidDate(year, month, day)) return std::nullopt;
    return platform::ToDateTime(platform::LocalDateTime{year, month, day});
}

// --- The data module's side -----------------------------------------------------------------

void TDmSitef::OnServiceStart() {
    const std::string folder = service_.AppDir() + kResultsFolder;
    // A folder that cannot be made shows in SQLite's reason for not opening the file.
    platform::ForceDirectories(folder);
    fRecords.Open(platform::IncludeTrailingSeparator(folder) + kResultsFile,
                  service::ResultRetentionDays(service_.iniConfig()));
}

void TDmSitef::CheckTransactionStatus(const TClientRequest& pContent, const TSession&) {
    if (!pContent.HasType("status", "Campo type diferente de status.")) return;
    const std::string request_id = RequiredRequestId(pContent);
    TTransactionRecords::TLookup found;
    try {
        found = LookUpRequest(request_id);
    } catch (const results::TResultStoreError&) {
        pContent.ReplyError(kResultsUnavailableForStatus);
        return;
    }
    if (found.kind == TTransactionRecords::TLookup::Kind::kResult) {
        pContent.Reply(found.result);
    } else if (found.kind == TTransactionRecords::TLookup::Kind::kUnknown) {
        pContent.Reply(TransactionStatusReply(request_id, "unknown"));
    } else {
        pContent.Reply(TransactionStatusReply(request_id, "in_progress"));
    }
}

TTransactionRecords::TLookup TDmSitef::LookUpRequest(const std::string& request_id) {
    TTransactionRecords::TLookup found = fRecords.Find(request_id);
    if (found.kind != TTransactionRecords::TLookup::Kind::kUnfinished) return found;
    SettleUnfinishedRequests();
    // Still unfinished when the library could not say: it reads as running until it can.
    return fRecords.Find(request_id);
}

bool TDmSitef::AnswerRecordedRequest(const std::string& request_id, const TClientRequest& request) {
    TTransactionRecords::TLookup found;
    try {
        found = LookUpRequest(request_id);
    } catch (const results::TResultStoreError&) {
        request.ReplyError(kResultsUnavailableForTransaction);
        return true;
    }
    if (found.kind == TTransactionRecords::TLookup::Kind::kUnknown) return false;
    // The same sale attempt again: what it came to, never a second charge.
    if (found.kind == TTransactionRecords::TLookup::Kind::kResult) {
        request.Reply(found.result);
    } else {
        request.ReplyError(kRequestIdRunning);
    }
    return true;
}

bool TDmSitef::BeginRecord(const std::optional<std::string>& request_id,
                           const TClientRequest& request) {
    fRequestId.reset();
    if (!request_id) return true;
    switch (fRecords.Begin(*request_id)) {
        case TTransactionRecords::TBegin::kStarted:
            fRequestId = request_id;
            return true;
        case TTransactionRecords::TBegin::kRecorded:
            // Recorded since it was looked up (a request sent twice at once).
            AnswerRecordedRequest(*request_id, request);
            return false;
        case TTransactionRecords::TBegin::kUnavailable:
            break;
    }
    // Paying without a durable record would break the promise the request_id asks for.
    request.ReplyError(kResultsUnavailableForTransaction);
    return false;
}

void TDmSitef::EndRecord() {
    if (!fRequestId) return;
    fRecords.End();
    fRequestId.reset();
}

bool TDmSitef::RecordConfirming(const std::string& documento, const JsonArray& entries) {
    if (!fRequestId) return true;
    const tef::TKaCliSiTefCliSiTef::TMomento started =
        KaCliSiTef.TEFCliSiTef().MomentoFiscal(platform::Utf8ToCp1252(documento));
    return fRecords.Confirming(*fRequestId, {documento, started.data, started.hora},
                               ApprovedResult(entries), UnconfirmedResult(entries));
}

void TDmSitef::RecordOutcome(results::TRecordState from, const std::string& result) {
    if (fRequestId) fRecords.Finish(*fRequestId, from, result);
}

void TDmSitef::SettleUnfinishedRequests() {
    TTefOperation operation(*this, nullptr);
    // Another operation uses the library: only what needs no library is settled now.
    if (!operation.Acquired()) {
        fRecords.Settle(nullptr);
        return;
    }
    SettleWithLibrary();
}

void TDmSitef::SettleWithLibrary() {
    tef::TKaCliSiTefCliSiTef& engine = KaCliSiTef.TEFCliSiTef();
    if (!engine.Inicializado()) {
        fRecords.Settle(nullptr);
        return;
    }
    const TTransactionRecords::TLibrary library{
        [&engine](const results::TFiscalFunction& function) -> int32_t {
            const std::optional<platform::TDateTime> day = FiscalDate(function.date);
            if (!day) return -1;
            return engine.ObtemQuantidadeTransacoesPendentes(
                *day, platform::Utf8ToCp1252(function.document));
        },
        [&engine](const results::TFiscalFunction& function) {
            engine.DesfazerFuncaoPendente(platform::Utf8ToCp1252(function.document), function.date,
                                          function.time);
        }};
    fRecords.Settle(&library);
}

}  // namespace requests
