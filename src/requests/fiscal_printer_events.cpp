// The data module's handlers of the TEF component's fiscal-printer and pending-transaction
// events. There is no fiscal printer: every command is reported done, and each receipt copy
// the component prints goes to the operation's client instead.
#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
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
    // OnDepoisConfirmarTransacoes (the result of an approved payment) belongs to the
    // transaction requests; until they bind it, an approval is reported as an unbound event.
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
        JsonArray lines;
        for (const std::string& line : ImagemComprovante) lines.Add(line);
        SendClientMessage(JsonObject()
                              .Add("type", "receipt")
                              .Add("copy_number", Via)
                              .Add("data", lines)
                              .ToString());
    } catch (const std::exception&) {
        // A receipt the client did not get never fails the printing: it counts as printed.
    }
}

}  // namespace requests
