// "/transaction": StartTransaction runs one TEF operation (a payment, the cancellation of an
// earlier payment or a reprint) from the request to its result. The request is read whole
// before the operation guard is taken, so a request refused because another operation runs
// has changed nothing of it.
#include "requests/transaction_request.h"

#include "platform/scope_exit.h"
#include "requests/dm_sitef.h"
#include "requests/request_values.h"
#include "requests/tef_operation.h"
#include "requests/transaction_result.h"
#include "requests/transaction_status.h"
#include "service/quorvex_sitef_service.h"
#include "tef/ansi_text.h"
#include "tef/clisitef.h"

namespace requests {
namespace {

TTransactionType TypeOf(const std::string& type) {
    if (type == "transaction") return TTransactionType::kTransaction;
    if (type == "cancellation") return TTransactionType::kCancellation;
    if (type == "reprint") return TTransactionType::kReprint;
    throw RequestError("O campo type diferente de transaction");
}

// A required text that must not be blank; `name` is the field.
std::string FilledField(const TClientRequest& request, const std::string& name) {
    std::string value = request.Field(name);
    if (tef::Trim(value).empty())
        throw RequestError("O campo \"" + name + "\" não foi preenchido.");
    return value;
}

void ReadCancelledPayment(const TClientRequest& request, TTransactionRequest& r) {
    r.cancellation_nsu = FilledField(request, "cancellation_nsu");
    const std::optional<platform::TDateTime> date =
        DateTimeValue(ParseTransactionDate(FilledField(request, "transaction_date")));
    if (!date) throw RequestError("O campo \"transaction_date\" não foi preenchido corretamente.");
    r.transaction_date = *date;
}

void ReadPaymentValues(const TClientRequest& request, TTransactionRequest& r) {
    if (request.Has("sale_id")) r.sale_id = IntegerValue(request.Field("sale_id"));
    if (request.Has("transaction_value")) r.value = AmountValue(request.Field("transaction_value"));
    if (request.Has("number_of_installments"))
        r.installments = IntegerValue(request.Field("number_of_installments"));
}

}  // namespace

std::optional<TTransactionRequest> ReadTransactionRequest(const TClientRequest& request) {
    const std::string type = request.Field("type");
    if (type == "confirmation") return std::nullopt;
    TTransactionRequest r;
    r.type = TypeOf(type);
    r.operation = IntegerValue(request.Field("operation"));
    if (r.type == TTransactionType::kTransaction) r.payer_name = request.Field("payer_name");
    if (r.type == TTransactionType::kCancellation) ReadCancelledPayment(request, r);
    if (r.type != TTransactionType::kReprint) ReadPaymentValues(request, r);
    r.request_id = ReadRequestId(request);
    return r;
}

TCrtArguments CrtArguments(TTransactionType type, int32_t operation, tef::Money value,
                           int32_t sale_id, int32_t installments) {
    // A reprint carries its function code as the payment form, by which its result is known,
    // and an amount that passes the component's amount check.
    if (type == TTransactionType::kReprint) return {1.0, std::to_string(operation), "0", "0"};
    return {tef::MoneyToDouble(value), "02", std::to_string(sale_id),
            tef::ZeroPadded(installments, 2)};
}

void TDmSitef::StartTransaction(const TClientRequest& pContent, const std::optional<TSession>&) {
    const std::optional<TTransactionRequest> request = ReadTransactionRequest(pContent);
    if (!request) return;  // an answer no prompt was waiting for
    if (request->request_id && AnswerRecordedRequest(*request->request_id, pContent)) return;
    // A brief holder of the guard is waited for; while another operation runs this request
    // gets no reply and disturbs nothing.
    TTefOperation operation(*this, &pContent.Client(), kBriefOperation);
    if (!operation.Acquired()) return;
    if (!BeginRecord(request->request_id, pContent)) return;
    platform::ScopeExit end_record([this] { EndRecord(); });
    try {
        RunTransaction(*request);
    } catch (const std::exception& e) {
        CancelPendingTransactions();
        // Nothing was confirmed unless the record already moved on (then it stays as it is).
        RecordOutcome(results::TRecordState::kRunning, NegativeResult(fCancelado));
        pContent.ReplyError(e.what());
    }
}

void TDmSitef::RunTransaction(const TTransactionRequest& request) {
    if (!KaCliSiTef.Inicializado(tef::gpCliSiTef)) KaCliSiTef.Inicializar(tef::gpCliSiTef);
    if (!KaCliSiTef.Inicializado(tef::gpCliSiTef)) throw RequestError("SiTef não inicializado.");
    TakeRequestValues(request);
    fConcluido = false;
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running{fEmTransacao};
    PrepareComponent(request);
    // A record an interrupted request left confirming, because the library could not say
    // whether it confirmed, is settled while that can still be told: the library may undo the
    // old function when the new one starts, and would then report nothing pending.
    SettleWithLibrary();
    const TCrtArguments a =
        CrtArguments(request.type, fOperacao, fValorTransacao, fVendaOperacao, fQtdParcelas);
    // The outcome is what the dialogue and the result handler leave in fConcluido and
    // fCancelado, not CRT's answer.
    KaCliSiTef.CRT(a.Valor, a.IndiceFPG_ECF, a.DocumentoVinculado, 0, "", "", "", a.QtdParcela);
    // What the library still holds open (an approval not confirmed, a confirmation it
    // refused) is undone before the next operation can start.
    if (!fConcluido || KaCliSiTef.TEFCliSiTef().FuncaoAberta()) CancelPendingTransactions();
    // The approval handler has reported the result: nothing else goes out for this operation,
    // whatever came after it (a cancel request or an unanswered notice after the approval).
    if (fConcluido) return;
    const bool cancelled = fCancelado;
    RecordOutcome(results::TRecordState::kRunning, NegativeResult(cancelled));
    SendClientMessage(NegativeResult(cancelled));
}

void TDmSitef::TakeRequestValues(const TTransactionRequest& request) {
    fNsuCancelamento = request.cancellation_nsu;
    fOperacao = request.operation;
    if (request.type == TTransactionType::kTransaction) fPayerName = request.payer_name;
    if (request.type == TTransactionType::kReprint) {
        fVendaOperacao = fVenda_Id;
        return;
    }
    fVendaOperacao = request.sale_id.value_or(fVenda_Id);
    if (request.sale_id) fVenda_Id = *request.sale_id;
    fValorTransacao = request.value;
    fQtdParcelas = request.installments;
}

void TDmSitef::PrepareComponent(const TTransactionRequest& request) {
    tef::TKaCliSiTefCliSiTef& engine = KaCliSiTef.TEFCliSiTef();
    engine.OperacaoCRT = fOperacao;
    engine.CancelandoTransacaoTEF = false;
    if (request.type == TTransactionType::kCancellation) {
        engine.CancelandoTransacaoNSU = fNsuCancelamento;
        engine.CancelandoTransacaoDATA = request.transaction_date;
        engine.CancelandoTransacaoVALOR = fValorTransacao;
        engine.CancelandoTransacaoTEF = true;
    } else if (request.type == TTransactionType::kTransaction) {
        tef::TKaCliSiTefRespostasPendentes& pendentes = KaCliSiTef.RespostasPendentes();
        pendentes.Clear();
        pendentes.ValorDinheiro = fValorTransacao;
        pendentes.ValorTotalAPagar = fValorTransacao;
    }
}

void TDmSitef::CancelPendingTransactions() {
    try {
        if (KaCliSiTef.Inicializado(tef::gpCliSiTef)) KaCliSiTef.CancelarTransacoesPendentes();
    } catch (const std::exception& e) {
        service_.GravaLog(std::string("Erro ao cancelar transações pendentes: ") + e.what());
    }
}

}  // namespace requests
