#include "tef/clisitef_dialogo.h"

#include <algorithm>
#include <cstring>

#include "card_data/card_mask.h"
#include "card_data/wipe.h"
#include "platform/code_page.h"
#include "platform/scope_exit.h"
#include "tef/ansi_text.h"
#include "tef/clisitef.h"
#include "tef/evento.h"
#include "tef/kaclisitef.h"
#include "tef/money.h"
#include "tef/resp_clisitef.h"

namespace tef {
namespace {

// The answer buffer holds at most this many characters before its NUL.
constexpr size_t kMaxResposta = kCliSiTefBufferSize - 1;

constexpr const char* kValorZero = "0,00";

std::string Utf8(const AnsiString& texto) {
    return IsAscii(texto) ? texto : platform::Cp1252ToUtf8(texto);
}

// The menu options "code:text", in order; a trailing ";" adds no empty option.
std::vector<AnsiString> OpcoesMenu(const AnsiString& texto) {
    std::vector<AnsiString> opcoes;
    size_t inicio = 0;
    while (inicio < texto.size()) {
        size_t fim = std::min(texto.find(';', inicio), texto.size());
        opcoes.push_back(texto.substr(inicio, fim - inicio));
        inicio = fim + 1;
    }
    return opcoes;
}

}  // namespace

const TCliSiTefDialogo::AcaoComando TCliSiTefDialogo::kComandos[] = {
    {0, &TCliSiTefDialogo::Armazenar},
    {1, &TCliSiTefDialogo::ExibirMsgOperador},
    {2, &TCliSiTefDialogo::ExibirMsgCliente},
    {3, &TCliSiTefDialogo::ExibirMsgAmbos},
    {4, &TCliSiTefDialogo::DefinirTitulo},
    {11, &TCliSiTefDialogo::RemoverMsgOperador},
    {12, &TCliSiTefDialogo::RemoverMsgCliente},
    {13, &TCliSiTefDialogo::RemoverMsgs},
    {14, &TCliSiTefDialogo::LimparTitulo},
    {20, &TCliSiTefDialogo::Pergunta},
    {21, &TCliSiTefDialogo::Menu},
    {22, &TCliSiTefDialogo::Aviso},
    {23, &TCliSiTefDialogo::AguardaResposta},
    {30, &TCliSiTefDialogo::ObterCampo},
    {31, &TCliSiTefDialogo::ObterCheque},
    {34, &TCliSiTefDialogo::ObterValor},
    {35, &TCliSiTefDialogo::ObterCodigoBarras},
    {50, &TCliSiTefDialogo::ExibirQRCode},
    {52, &TCliSiTefDialogo::ExibirQRCodeOperador},
};

const TCliSiTefDialogo::AcaoTipoCampo TCliSiTefDialogo::kAcoesTipoCampo[] = {
    {15, &TCliSiTefDialogo::MarcarVerdadeiro},  {25, &TCliSiTefDialogo::MarcarVerdadeiro},
    {56, &TCliSiTefDialogo::MarcarReimpressao}, {57, &TCliSiTefDialogo::MarcarReimpressao},
    {58, &TCliSiTefDialogo::MarcarReimpressao}, {110, &TCliSiTefDialogo::MarcarDevolucao},
    {500, &TCliSiTefDialogo::ObterSenha},       {732, &TCliSiTefDialogo::ExibirMsgArmazenada},
    {800, &TCliSiTefDialogo::CopiarHash},
};

const TCliSiTefDialogo::CopiaSeVazio TCliSiTefDialogo::kCopiasSeVazio[] = {
    {106, &TKaCliSiTef::fIdDaCarteiraDigital},
    {107, &TKaCliSiTef::fNomeCarteiraDigital},
    {108, &TKaCliSiTef::fBandeiraCarteiraDigital},
    {109, &TKaCliSiTef::fValorAprovadoCarteiraDigital},
    {131, &TKaCliSiTef::fCodigoRede},
    {132, &TKaCliSiTef::fCodigoBandeira},
    {133, &TKaCliSiTef::fCodigoNsu},
    {134, &TKaCliSiTef::fCodigoNSUHost},
    {135, &TKaCliSiTef::fCodigoAutorizacao},
    {502, &TKaCliSiTef::fCPFCliente},
    {503, &TKaCliSiTef::FCNPJCliente},
    {504, &TKaCliSiTef::fTelefoneCliente},
};

TCliSiTefDialogo::TCliSiTefDialogo(TKaCliSiTefCliSiTef& engine,
                                   ContinuaFuncaoSiTefInterativoFn continua, Argumentos argumentos)
    : engine_(engine),
      component_(engine.Owner()),
      continua_(continua),
      args_(std::move(argumentos)),
      buffer_(kCliSiTefBufferSize, '\0') {}

TCliSiTefDialogo::~TCliSiTefDialogo() {
    // The answer area and the answers may hold what the operator typed: a card number, its
    // expiry date, a security code, a password.
    card_data::Wipe(buffer_);
    card_data::Wipe(resposta_);
    for (AnsiString* digitado : {&args_.CVV, &args_.DataVencimento, &args_.NumeroCartao})
        card_data::Wipe(*digitado);
}

AnsiString TCliSiTefDialogo::FormatarMensagem(const AnsiString& texto) {
    return StringReplaceAll(StringReplaceAll(texto, "@", "\r\n"), "/n", "\r\n");
}

AnsiString TCliSiTefDialogo::NormalizarValor(const AnsiString& texto) {
    return MoneyToAmountText(MoneyFromText(texto), ',');
}

int32_t TCliSiTefDialogo::Executar() {
    Iniciar();
    // The end steps run however the loop ends, an event handler's error included.
    platform::ScopeExit fim([this] { Encerrar(); });
    while (Passo()) {
    }
    return status_;
}

void TCliSiTefDialogo::Iniciar() {
    engine_.fIniciouRequisicao = true;
    engine_.fReimpressao = false;
    engine_.fDevolucao = false;
    for (std::string* campo :
         {&component_.fIdDaCarteiraDigital, &component_.fNomeCarteiraDigital,
          &component_.fBandeiraCarteiraDigital, &component_.fValorAprovadoCarteiraDigital,
          &component_.fCPFCliente, &component_.FCNPJCliente, &component_.fTelefoneCliente,
          &component_.CartaoLido}) {
        campo->clear();
    }
    engine_.fpAguardandoResposta = true;
    component_.BloquearMouseTeclado(true);
}

void TCliSiTefDialogo::Encerrar() noexcept {
    try {
        component_.BloquearMouseTeclado(false);
        AnsiString conteudo;
        for (const AnsiString& linha : Resp().Conteudo.Conteudo()) conteudo += linha + "\r\n";
        Trace(conteudo);
        Resp().ConteudoToProperty();
    } catch (...) {
        // Nothing here may hide the error that ended the loop.
    }
    engine_.fpAguardandoResposta = false;
}

bool TCliSiTefDialogo::Passo() {
    Chamar();
    if (status_ == kCliSiTefContinue) {
        if (tipoCampo_ > 0) resposta_ = Preset(std::to_string(tipoCampo_));
        ExecutarComando();
    } else {
        Trace("*** ContinuaFuncaoSiTefInterativo, Finalizando: STS = " + std::to_string(status_));
    }
    AposPasso();
    return status_ == kCliSiTefContinue;
}

void TCliSiTefDialogo::Chamar() {
    // The field type and the data are still those of the command this answers.
    Trace("ContinuaFuncaoSiTefInterativo, Chamando: Continua = " + std::to_string(continuacao_) +
          " Buffer = " + RespostaParaGravar(resposta_));
    status_ = continua_(&comando_, &tipoCampo_, &tamMinimo_, &tamMaximo_, buffer_.data(),
                        kCliSiTefBufferSize, continuacao_);
    continuacao_ = 0;
    const size_t dados = ::strnlen(buffer_.data(), buffer_.size());
    Buffer = TrimRight(std::string_view(buffer_.data(), dados));
    LimparRestosDaResposta(dados);
    card_data::Wipe(resposta_);
    Digitado = true;
    VoltarMenu = false;
    // Goes out with the next line: the command's own, or the next call's.
    engine_.GravaLogAdiado(
        "ContinuaFuncaoSiTefInterativo, Retornos: STS = " + std::to_string(status_) +
        " ProximoComando = " + std::to_string(comando_) +
        " TipoCampo = " + std::to_string(tipoCampo_) + " Buffer = " + Buffer +
        " Tam.Min = " + std::to_string(tamMinimo_) + " Tam.Max = " + std::to_string(tamMaximo_));
}

void TCliSiTefDialogo::LimparRestosDaResposta(size_t dados) {
    // Past the command's data, the bytes that still hold the answer are what is left of it;
    // the library may have put more there (a card read's area), which stays.
    const size_t enviada = std::min(resposta_.size(), kMaxResposta);
    for (size_t i = dados + 1; i < enviada;) {
        size_t fim = i;
        while (fim < enviada && buffer_[fim] == resposta_[fim]) ++fim;
        card_data::Wipe(buffer_.data() + i, fim - i);
        i = fim + 1;
    }
}

void TCliSiTefDialogo::ExecutarComando() {
    for (const AcaoComando& c : kComandos) {
        if (c.comando == comando_) {
            (this->*c.acao)();
            return;
        }
    }
    // Commands the engine does not know send the preset answer, if any.
}

void TCliSiTefDialogo::AposPasso() {
    if (status_ == kCliSiTefApproved && args_.Trilha3) LerTrilha();
    if (VoltarMenu) {
        continuacao_ = 1;
    } else if (!Digitado) {
        continuacao_ = -1;
    }
    if ((VoltarMenu && status_ == kCliSiTefContinue) || !Digitado) RemoverMsgs();
    const size_t tamanho = std::min(resposta_.size(), kMaxResposta);
    std::memcpy(buffer_.data(), resposta_.data(), tamanho);
    buffer_[tamanho] = '\0';
}

void TCliSiTefDialogo::LerTrilha() {
    // The card identifier sits at positions 1 to 10 of the final buffer.
    const char* inicio = buffer_.data() + 1;
    component_.CartaoLido += Utf8(AnsiString(inicio, ::strnlen(inicio, 10)));
    RemoverMsgs();
}

// --- Commands ----------------------------------------------------------------------------

void TCliSiTefDialogo::Armazenar() {
    Resp().GravaInformacao(tipoCampo_, Buffer);
    for (const CopiaSeVazio& c : kCopiasSeVazio) {
        if (c.tipoCampo != tipoCampo_) continue;
        std::string& campo = component_.*c.campo;
        if (campo.empty()) campo = Utf8(Buffer);
        return;
    }
    for (const AcaoTipoCampo& a : kAcoesTipoCampo) {
        if (a.tipoCampo == tipoCampo_) {
            (this->*a.acao)();
            return;
        }
    }
}

void TCliSiTefDialogo::ExibirMsgOperador() {
    msgOperador_ = FormatarMensagem(Buffer);
    ExibirMsg(opmExibirMsgOperador, msgOperador_);
}

void TCliSiTefDialogo::ExibirMsgCliente() {
    msgCliente_ = FormatarMensagem(Buffer);
    ExibirMsg(opmExibirMsgCliente, msgCliente_);
}

void TCliSiTefDialogo::ExibirMsgAmbos() {
    msgOperador_ = msgCliente_ = FormatarMensagem(Buffer);
    ExibirMsg(opmExibirMsgOperador, msgOperador_);
    ExibirMsg(opmExibirMsgCliente, msgCliente_);
}

void TCliSiTefDialogo::DefinirTitulo() { Titulo = Buffer; }

void TCliSiTefDialogo::RemoverMsgOperador() {
    msgOperador_.clear();
    ExibirMsg(opmRemoverMsgOperador, "");
}

void TCliSiTefDialogo::RemoverMsgCliente() {
    msgCliente_.clear();
    ExibirMsg(opmRemoverMsgCliente, "");
}

void TCliSiTefDialogo::RemoverMsgs() {
    ExibirMsg(opmRemoverMsgOperador, "");
    ExibirMsg(opmRemoverMsgCliente, "");
}

void TCliSiTefDialogo::LimparTitulo() { Titulo.clear(); }

void TCliSiTefDialogo::Pergunta() {
    if (Buffer.empty()) Buffer = "CONFIRMA ?";
    resposta_ = component_.DoExibeMsg(opmYesNo, Utf8(Buffer)) == mrYes ? "0" : "1";
}

void TCliSiTefDialogo::Menu() {
    if (RespostaMenuAutomatica()) return;
    const std::vector<AnsiString> opcoes = OpcoesMenu(Buffer);
    TextLines textos;
    for (const AnsiString& opcao : opcoes) textos.push_back(Utf8(opcao));
    int item = -1;
    Handler(component_.OnExibeMenu, "OnExibeMenu")(Utf8(Titulo), textos, item, VoltarMenu);
    if (VoltarMenu) return;
    if (item < 0 || item >= static_cast<int>(opcoes.size())) {
        Digitado = false;
        return;
    }
    const AnsiString& escolhida = opcoes[static_cast<size_t>(item)];
    const size_t separador = escolhida.find(':');
    resposta_ = separador == AnsiString::npos ? "" : escolhida.substr(0, separador);
}

bool TCliSiTefDialogo::RespostaMenuAutomatica() {
    const bool chipOuDigitado = Buffer == "1:Magnetico/Chip;2:Digitado;";
    const bool aVista = Buffer.starts_with("1:A Vista");
    switch (engine_.OperacaoCRT) {
        case 2:
            if (!chipOuDigitado && !aVista && !Buffer.starts_with("1:VISA ELECTRON")) return false;
            resposta_ = "1";
            return true;
        case 3:
            if (chipOuDigitado) {
                resposta_ = "1";
            } else if (aVista) {
                // No instalment count (0, or none at all) is a payment at sight, as one is.
                resposta_ = ParseInt32(args_.QtdParcela).value_or(0) <= 1 ? "1" : "2";
            } else {
                return false;
            }
            return true;
        default:
            return false;
    }
}

void TCliSiTefDialogo::Aviso() {
    if (Buffer.empty()) Buffer = "PRESSIONE <ENTER>";
    const AnsiString texto = Trim(Buffer);
    if (texto == "Unauthorized") {
        ExibirMsg(opmExcept, Buffer);
    } else if (texto == "Transacao ja efetuada") {
        component_.DoExibeMsg(opmOK,
                              "Transação já efetuada no sitef\r\nImprima o ultimo comprovante de "
                              "pagamento e informe o pagamento manual.");
    }
    // The notice is acknowledged by going back, which also clears both messages.
    Digitado = false;
    VoltarMenu = true;
}

void TCliSiTefDialogo::AguardaResposta() {
    bool interromper = false;
    Handler(component_.OnAguardaResp, "OnAguardaResp")("23", 0, interromper);
    if (interromper) Digitado = false;
}

void TCliSiTefDialogo::ObterCampo() {
    switch (tipoCampo_) {
        case 501:
        case 502:
        case 506:
            return;  // the preset answer only
        case 514:
            if (!args_.CVV.empty()) {
                resposta_ = args_.CVV;
            } else {
                EventoObtemCampo(tcSeguranca);
            }
            return;
        case 500:
            ObterSenha();
            return;
    }
    if (!RespostaCampoCancelamento()) RespostaCampoComum();
    // A typed card number or expiry date is kept in the record only masked, as the trace
    // shows it: the record goes to the trace and to the backup files.
    Resp().GravaInformacao(tipoCampo_, RespostaParaGravar(resposta_));
}

bool TCliSiTefDialogo::RespostaCampoCancelamento() {
    if (!engine_.CancelandoTransacaoTEF) return false;
    switch (tipoCampo_) {
        case 515:
            resposta_ = platform::FormatDateTime(
                "ddmmyyyy", platform::FromDateTime(engine_.CancelandoTransacaoDATA));
            return true;
        case 516:
            resposta_ = platform::Utf8ToCp1252(engine_.CancelandoTransacaoNSU);
            return true;
        case 146:
            resposta_ = ValorCancelamento();
            return true;
        default:
            return false;
    }
}

void TCliSiTefDialogo::RespostaCampoComum() {
    const Argumentos& a = args_;
    if (tipoCampo_ == 512 && !a.NumeroCartao.empty()) {
        resposta_ = a.NumeroCartao;
    } else if (tipoCampo_ == 513 && !a.DataVencimento.empty()) {
        resposta_ = a.DataVencimento;
    } else if (tipoCampo_ == 505 && a.QtdParcela != "01" && !a.QtdParcela.empty()) {
        RespostaParcelas();
    } else if (a.NumeroCartao.empty() && a.DataVencimento.empty()) {
        EventoObtemCampo(tcString);
    }
    // A typed-in card answers the other fields from the presets.
}

void TCliSiTefDialogo::RespostaParcelas() {
    const std::optional<int32_t> parcelas = ParseInt32(Trim(args_.QtdParcela));
    if (!parcelas) {
        throw EKaCliSiTef("Quantidade de parcelas inválida: " + Utf8(args_.QtdParcela));
    }
    if (*parcelas > 0) {
        resposta_ = args_.QtdParcela;
        return;
    }
    EventoObtemCampo(tcString);
    if (Digitado) args_.QtdParcela = resposta_;
}

void TCliSiTefDialogo::ObterCheque() {
    if (tipoCampo_ != 517) {
        EventoObtemCampo(tcCMC7);
        return;
    }
    const AnsiString preset = Preset("517");
    if (!Trim(preset).empty()) {
        resposta_ = preset;
        return;
    }
    Handler(component_.OnObtemCheque, "OnObtemCheque")(Utf8(Buffer), tipoCampo_, tcString,
                                                       resposta_, Digitado, VoltarMenu);
}

void TCliSiTefDialogo::ObterValor() {
    if (tipoCampo_ == 146 && engine_.CancelandoTransacaoTEF) {
        resposta_ = ValorCancelamento();
        Resp().GravaInformacao(tipoCampo_, resposta_);
        return;
    }
    bool pergunta = true;
    if (Buffer == "Forneca a taxa de embarque") {
        pergunta = component_.FornecerTaxaDeEmbarque;
    } else if (Buffer == "Forneca a taxa de servico") {
        pergunta = component_.FornecerTaxaDeServico;
    } else if (Buffer == "VISA ELECTRON\nSAQUE") {
        pergunta = false;
    }
    if (!pergunta) {
        resposta_ = kValorZero;
        return;
    }
    EventoObtemCampo(tcCurrency);
    resposta_ = NormalizarValor(resposta_);
}

void TCliSiTefDialogo::ObterCodigoBarras() { EventoObtemCampo(tcBarCode); }

void TCliSiTefDialogo::ExibirQRCode() {
    if (tipoCampo_ == 584) Handler(component_.OnExibeQRCode, "OnExibeQRCode")(Utf8(Buffer));
}

void TCliSiTefDialogo::ExibirQRCodeOperador() {
    if (tipoCampo_ != 4128) {
        ExibirMsgAmbos();
        return;
    }
    msgOperador_ = FormatarMensagem(Buffer);
    ExibirMsg(opmQRCode, msgOperador_);
}

// --- Field types stored with command 0 ---------------------------------------------------

void TCliSiTefDialogo::MarcarVerdadeiro() { Resp().GravaInformacao(tipoCampo_, "True"); }

void TCliSiTefDialogo::MarcarReimpressao() { engine_.fReimpressao = true; }

void TCliSiTefDialogo::MarcarDevolucao() { engine_.fDevolucao = true; }

void TCliSiTefDialogo::ObterSenha() {
    Handler(component_.OnObterSenha, "OnObterSenha")(Utf8(Buffer), VoltarMenu);
}

void TCliSiTefDialogo::ExibirMsgArmazenada() {
    ExibirMsg(opmExibirMsgOperador, FormatarMensagem(Buffer));
}

void TCliSiTefDialogo::CopiarHash() {
    if (engine_.CodigoHASH.empty()) engine_.CodigoHASH = Utf8(Buffer);
}

// --- Helpers -----------------------------------------------------------------------------

template <class Event>
const Event& TCliSiTefDialogo::Handler(const Event& evento, const char* nome) {
    // The host may keep the event for as long as its operator takes: the trace goes out first.
    engine_.DescarregaLog();
    return Evento(evento, nome);
}

void TCliSiTefDialogo::ExibirMsg(TKaCliSiTefOperacaoMensagem operacao, const AnsiString& texto) {
    component_.DoExibeMsg(operacao, Utf8(texto));
}

void TCliSiTefDialogo::EventoObtemCampo(TKaCliSiTefCliSiTefOperacaoCampo operacao) {
    Handler(component_.OnObtemCampo, "OnObtemCampo")(Utf8(Buffer), tamMinimo_, tamMaximo_,
                                                     tipoCampo_, operacao, resposta_, Digitado,
                                                     VoltarMenu);
}

AnsiString TCliSiTefDialogo::Preset(const std::string& tipoCampo) const {
    auto it = engine_.Respostas.find(tipoCampo);
    return it == engine_.Respostas.end() ? AnsiString() : it->second;
}

AnsiString TCliSiTefDialogo::ValorCancelamento() const {
    return MoneyToAmountText(engine_.CancelandoTransacaoVALOR, ',');
}

TKaCliSiTefRespCliSiTef& TCliSiTefDialogo::Resp() const {
    // The CliSiTef engine creates its response record of this kind.
    return static_cast<TKaCliSiTefRespCliSiTef&>(engine_.Resp());
}

AnsiString TCliSiTefDialogo::RespostaParaGravar(const AnsiString& resposta) const {
    // Only a typed entry's prompt tells whether the entry is a password.
    const bool entrada = comando_ == 30 || comando_ == 31 || comando_ == 34 || comando_ == 35;
    return card_data::MaskAnswer(tipoCampo_, entrada ? std::string_view(Buffer) : "", resposta);
}

void TCliSiTefDialogo::Trace(const AnsiString& texto) const { engine_.GravaLog(texto); }

}  // namespace tef
