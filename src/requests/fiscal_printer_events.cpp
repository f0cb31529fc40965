// The data module's handlers of the TEF component's fiscal-printer and pending-transaction
// events. There is no fiscal printer: every command is reported done, and each receipt copy
// the component prints goes to the operation's client instead. An approved payment is
// reported to the client as the operation's result and confirmed with the library.
#include "requests/crash_point.h"
#include "requests/dm_sitef.h"
#include "requests/transaction_result.h"
#include "service/quorvex_sitef_service.h"
#include "tef/clisitef.h"
#include "tef/resp.h"
#include "tef/respostas_pendentes.h"

namespace requests {

void TDmSitef::BindFiscalPrinterEvents() {
    tef::TKaCliSiTef& k = KaCliSiTef;
    k.OnComandaECF = [](tef::TKaCliSiTefOperacaoECF, tef::TKaCliSiTefResp&, int& retorno) {
        retorno = 1;
    };
    k.OnComandaImpressao = [](int& retorno, tef::TKaCliSiTefResp&, bool) { retorno = 1; };
    k.OnComandaECFPagamento = [](const std::string&, tef::Money, int& retorno) { retorno = 1; };
    k.OnComandaECFAbreVinculado = [](const std::string&, const std::string&, tef::Money,
                                     int& retorno) { retorno = 1; };
    k.OnComandaECFImprimeVia = [this](tef::TKaCliSiTefTipoRelatorio tipo, int via,
                                      const tef::TextLines& imagem, int& retorno) {
        KaCliSiTefComandaECFImprimeVia(tipo, via, imagem, retorno);
    };
    k.OnInfoECF = [this](tef::TKaCliSiTefInfoECF operacao, std::string& retorno) {
        KaCliSiTefInfoECF(operacao, retorno);
    };
    // The operation guard stays with the operation until it ends: releasing it before an
    // undo, as a cancellation run does, would let another operation load or configure the
    // library this one is still calling.
    k.OnAntesCancelarTransacao = [](tef::TKaCliSiTefResp&) {};
    k.OnDepoisCancelarTransacoes = [](tef::TKaCliSiTefRespostasPendentes&) {};
    k.OnDepoisConfirmarTransacoes = [this](tef::TKaCliSiTefRespostasPendentes& pendentes) {
        KaCliSiTefDepoisConfirmarTransacoes(pendentes);
    };
}

void TDmSitef::KaCliSiTefDepoisConfirmarTransacoes(
    tef::TKaCliSiTefRespostasPendentes& RespostasPendentes) {
    // Only a payment request has a client waiting for a result. Transactions the start-up
    // recovery confirmed (at a session start, say) are announced by its own message, and the
    // component forgets them afterwards.
    if (!fEmTransacao) return;
    // A cancellation asked for meanwhile wins: the approval stays pending, and the operation
    // undoes it and reports it cancelled when it ends.
    if (fCancelado) {
        SendClientMessage(NegativeResult(false));
        return;
    }
    // From here the approval is reported and settled: a cancellation can no longer stop it.
    if (fPodeCancelar) SetCanCancel(false);
    const TResultContext context{fVendaOperacao, fPayerName, fNsuCancelamento,
                                 KaCliSiTef.TEFCliSiTef().CancelandoTransacaoTEF};
    JsonArray entries;
    int count = 0;
    for (; !RespostasPendentes.Empty(); ++count) {
        entries.Add(TransactionEntry(RespostasPendentes.Objects(0), context));
        RespostasPendentes.Delete(0);
    }
    fConcluido = true;
    const std::string documento = KaCliSiTef.Resp().DocumentoVinculado;
    CrashPoint("approved");
    bool confirmed = false;
    // A request with a request_id is recorded as confirming before the library is asked: a
    // crash in between is then settled from what the library holds pending. Without that
    // record the approval is not confirmed (and undone below).
    results::TRecordState recorded = results::TRecordState::kRunning;
    if (count > 0) {
        service_.GravaLog(ApprovedResult(entries));
        if (RecordConfirming(documento, entries)) {
            recorded = results::TRecordState::kConfirming;
            CrashPoint("confirming");
            confirmed = KaCliSiTef.ConfirmarTransacao(true, documento);
            CrashPoint("confirmed");
        }
    } else {
        KaCliSiTef.ConfirmarTransacao(false, documento);
    }
    const std::string result = confirmed ? ApprovedResult(entries) : UnconfirmedResult(entries);
    if (!confirmed) {
        // Undone before the client hears of it, so that "canceled" means what it says.
        CancelPendingTransactions();
        service_.GravaLog(result);
    }
    fNsuCancelamento.clear();
    RecordOutcome(recorded, result);
    CrashPoint("recorded");
    SendClientMessage(result);
}

void TDmSitef::KaCliSiTefInfoECF(tef::TKaCliSiTefInfoECF Operacao, std::string& RetornoECF) {
    const tef::TKaCliSiTefClass* engine = KaCliSiTef.TEF();
    const bool started = engine != nullptr && engine->Inicializado();
    const tef::TKaCliSiTefTipo gp = KaCliSiTef.GPAtual();
    if (!started && Operacao == tef::ineEstadoECF &&
        (gp == tef::gpCliSiTef || gp == tef::gpVeSPague)) {
        RetornoECF = "R";
    } else if (Operacao == tef::ineEstadoECF) {
        RetornoECF = "L";
    } else {
        RetornoECF = tef::MoneyToAmountText(fValorTransacao, ',');
    }
}

void TDmSitef::KaCliSiTefComandaECFImprimeVia(tef::TKaCliSiTefTipoRelatorio, int Via,
                                              const tef::TextLines& ImagemComprovante,
                                              int& RetornoECF) {
    RetornoECF = 1;
    try {
        SendClientMessage(ReceiptMessage(Via, ImagemComprovante));
    } catch (const std::exception&) {
        // A receipt the client did not get never fails the printing: it counts as printed.
    }
}

}  // namespace requests
