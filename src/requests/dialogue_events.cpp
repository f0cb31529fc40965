// The data module's handlers of the TEF component's dialogue events: each interaction the
// payment library needs becomes a prompt to the operation's client, and its answer goes back
// into the event's output parameters.
#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
#include "service/quorvex_sitef_service.h"

namespace requests {
namespace {

using namespace std::chrono_literals;

// How long one waiting callback may look for client input: the library calls it again and
// again while it waits.
constexpr std::chrono::milliseconds kWaitPoll = 100ms;

// After this highlighted message the card is on its way out: nothing left to cancel.
constexpr const char* kRemoveCard = "Retire o cartao da leitora";

const char* FieldOperationName(tef::TKaCliSiTefCliSiTefOperacaoCampo operation) {
    switch (operation) {
        case tef::tcCurrency:
            return "currency";
        case tef::tcCMC7:
            return "cmc7";
        case tef::tcBarCode:
            return "barcode";
        case tef::tcSeguranca:
            return "segurança";
        case tef::tcString:
            break;
    }
    return "string";
}

}  // namespace

void TDmSitef::BindDialogueEvents() {
    tef::TKaCliSiTef& k = KaCliSiTef;
    k.OnAguardaResp = [this](const std::string& arquivo, int segundos, bool& interromper) {
        KaCliSiTefAguardaResp(arquivo, segundos, interromper);
    };
    k.OnExibeMsg = [this](tef::TKaCliSiTefOperacaoMensagem operacao, const std::string& mensagem,
                          tef::TModalResult& resultado) {
        KaCliSiTefExibeMsg(operacao, mensagem, resultado);
    };
    k.OnExibeMenu = [this](const std::string& titulo, const tef::TextLines& opcoes, int& item,
                           bool& voltar) { KaCliSiTefExibeMenu(titulo, opcoes, item, voltar); };
    k.OnObtemCampo = [this](const std::string& titulo, int minimo, int maximo, int tipo,
                            tef::TKaCliSiTefCliSiTefOperacaoCampo operacao,
                            tef::AnsiString& resposta, bool& digitado, bool& voltar) {
        KaCliSiTefObtemCampo(titulo, minimo, maximo, tipo, operacao, resposta, digitado, voltar);
    };
    k.OnExibeQRCode = [this](const std::string& qrcode) { KaCliSiTefExibeQRCode(qrcode); };
    k.OnMudaEstadoReq = [this](tef::TKaCliSiTefReqEstado estado) {
        KaCliSiTefMudaEstadoReq(estado);
    };
    k.OnMudaEstadoResp = [this](tef::TKaCliSiTefRespEstado estado) {
        KaCliSiTefMudaEstadoResp(estado);
    };
    // Cheques and PIN confirmations are not asked of the client.
    k.OnObtemCheque = [](const std::string&, int, tef::TKaCliSiTefCliSiTefOperacaoCampo,
                         tef::AnsiString&, bool& digitado, bool&) { digitado = true; };
    k.OnObterSenha = [](const std::string&, bool& voltar) { voltar = false; };
    // The trace cannot say itself that it stopped being written; the service log can.
    k.OnFalhaLog = [this](const std::string& motivo) {
        service_.GravaLog("Não foi possível gravar o log do TEF: " + motivo);
    };
    // No desktop to bring to the front.
    k.OnRestauraFocoAplicacao = [](bool& tratado) { tratado = false; };
}

void TDmSitef::KaCliSiTefExibeMsg(tef::TKaCliSiTefOperacaoMensagem Operacao,
                                  const std::string& Mensagem, tef::TModalResult& AModalResult) {
    try {
        ControlDisplayMessage(Mensagem, Operacao, AModalResult);
    } catch (const std::exception& e) {
        try {
            SendClientMessage(ErrorReply(e.what()));
        } catch (const std::exception&) {
            // The client is gone; the operation learns it at its next prompt.
        }
    }
}

void TDmSitef::KaCliSiTefExibeMenu(const std::string& Titulo, const tef::TextLines& Opcoes,
                                   int& ItemSelecionado, bool& VoltarMenu) {
    JsonArray options;
    for (const std::string& option : Opcoes) options.Add(option);
    SendClientMessage(JsonObject()
                          .Add("type", "menu")
                          .Add("title", Titulo)
                          .Add("options", options)
                          .Add("can_cancel", false)
                          .Add("back_menu", false)
                          .ToString());
    ReadMenuAnswer(Opcoes, ItemSelecionado, VoltarMenu);
}

void TDmSitef::KaCliSiTefObtemCampo(const std::string& Titulo, int TamanhoMinimo, int TamanhoMaximo,
                                    int TipoCampo, tef::TKaCliSiTefCliSiTefOperacaoCampo Operacao,
                                    tef::AnsiString& Resposta, bool& Digitado, bool& VoltarMenu) {
    SendClientMessage(JsonObject()
                          .Add("type", "collect")
                          .Add("title", Titulo)
                          .Add("minimum_size", TamanhoMinimo)
                          .Add("maximum_size", TamanhoMaximo)
                          .Add("field_type", TipoCampo)
                          .Add("field_operation", FieldOperationName(Operacao))
                          .Add("can_cancel", false)
                          .Add("back_menu", VoltarMenu)
                          .Add("typed", Digitado)
                          .ToString());
    ReadFieldAnswer(Resposta, VoltarMenu);
}

void TDmSitef::KaCliSiTefExibeQRCode(const std::string& QRCode) {
    SendClientMessage(JsonObject().Add("type", "qrcode").Add("data", QRCode).ToString());
}

void TDmSitef::KaCliSiTefAguardaResp(const std::string& Arquivo, int, bool& Interromper) {
    if (KaCliSiTef.GPAtual() == tef::gpCliSiTef && Arquivo == "23" && !fPodeCancelar &&
        fUltimaMsg != kRemoveCard) {
        SetCanCancel(true);
    }
    if (!FProcessandoMsg) {
        transport::ClientChannel* client = operation_client_;
        if (client == nullptr || !client->IsConnected()) {
            // Nobody is left to see how the operation ends; waiting on only holds the library.
            Interromper = true;
            return;
        }
        if (client->WaitForInput(kWaitPoll)) CheckIncomingMessage();
    }
    if (fCancelado) {
        Interromper = true;
        fCancelado = false;
    }
}

void TDmSitef::KaCliSiTefMudaEstadoReq(tef::TKaCliSiTefReqEstado) { fCancelado = false; }

void TDmSitef::KaCliSiTefMudaEstadoResp(tef::TKaCliSiTefRespEstado EstadoResp) {
    const bool waiting = EstadoResp == tef::respAguardandoResposta;
    if (waiting != fPodeCancelar) SetCanCancel(waiting);
}

}  // namespace requests
