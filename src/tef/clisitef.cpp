#include "tef/clisitef.h"

#include <cstring>

#include "platform/code_page.h"
#include "platform/scope_exit.h"
#include "tef/ansi_text.h"
#include "tef/clisitef_dialogo.h"
#include "tef/errors.h"
#include "tef/evento.h"
#include "tef/impressora_fiscal.h"
#include "tef/kaclisitef.h"
#include "tef/resp_clisitef.h"

namespace tef {
namespace {

AnsiString Ansi(const std::string& utf8) { return platform::Utf8ToCp1252(utf8); }

AnsiString DataDDMMYYYY(platform::TDateTime data) {
    return platform::FormatDateTime("ddmmyyyy", platform::FromDateTime(data));
}

// The library's reason for refusing the configuration; null for a result that counts as
// configured.
const char* MensagemConfiguracao(int32_t resultado) {
    switch (resultado) {
        case 1:
            return "Endereço IP inválido ou não resolvido";
        case 2:
            return "Código da loja inválido";
        case 3:
            return "Código de terminal inválido";
        case 6:
            return "Erro na inicialização do TCP/IP";
        case 7:
            return "Falta de memória";
        case 8:
            return "Não encontrou a dll do \"TEF\" ou ela está com problemas";
        case 10:
            return "O PinPad não está devidamente configurado no arquivo CliSiTef.ini";
        case 11:
            return "Dados inválidos passados pela automação.";
        case 12:
            return "Modo seguro não ativo (possível falta de configuração no servidor SiTef do "
                   "arquivo .cha).";
        case 13:
            return "Caminho da DLL inválido (o caminho completo das bibliotecas está muito "
                   "grande).";
        default:
            return nullptr;
    }
}

// The digits of `texto` (trimmed), left-filled with zeros to `largura`; a longer value keeps
// its first characters.
AnsiString CampoCheque(const std::string& texto, size_t largura) {
    std::string digitos = OnlyDigits(Trim(texto));
    if (digitos.size() < largura) digitos.insert(0, largura - digitos.size(), '0');
    return digitos.substr(0, largura);
}

// The moment `r` says its function was started with, when `r` is of document `documento`.
std::optional<TKaCliSiTefCliSiTef::TMomento> InicioRegistrado(const TKaCliSiTefResp& r,
                                                              const AnsiString& documento) {
    const std::string& inicio = r.InicioFuncao;
    if (Ansi(r.DocumentoVinculado) != documento || inicio.size() != 14 ||
        inicio.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return TKaCliSiTefCliSiTef::TMomento{inicio.substr(0, 8), inicio.substr(8)};
}

// What the PIN pad shows while it waits for a loyalty card, and after a card read.
constexpr const char* kMensagemTrilha3 = "PASSE O CARTAO FIDELIDADE";
constexpr const char* kMensagemBoaViagem = "** BOA VIAGEM **";

}  // namespace

TKaCliSiTefCliSiTef::TKaCliSiTefCliSiTef(TKaCliSiTef* AOwner)
    : TKaCliSiTefClass(AOwner, "CliSiTef", gpCliSiTef,
                       std::make_unique<TKaCliSiTefRespCliSiTef>()) {}

TKaCliSiTefCliSiTef::~TKaCliSiTefCliSiTef() = default;

const TCliSiTefEntryPoints& TKaCliSiTefCliSiTef::Biblioteca() const {
    if (!fBiblioteca.IsLoaded()) throw EKaCliSiTef("Erro ao iniciar \"TEF\"");
    return fBiblioteca.EntryPoints();
}

void TKaCliSiTefCliSiTef::MensagemAoOperador(const std::string& mensagem) {
    // No desktop here: what would be a message box goes to the host like any message.
    Owner().DoExibeMsg(opmOK, mensagem);
}

// --- Lifecycle ---------------------------------------------------------------------------

void TKaCliSiTefCliSiTef::Inicializar() {
    if (fpInicializado) return;
    try {
        fBiblioteca.Load(PathDLL);
    } catch (...) {
        // The error only names the first export; why the library did not load goes to the trace.
        if (!fBiblioteca.LoadFailure().empty())
            GravaLog(Ansi("Erro ao carregar " + std::string(kCliSiTefLibraryName) + ": " +
                          fBiblioteca.LoadFailure()));
        fBiblioteca.Release();
        throw;
    }
    Configurar();
    GravaLog(Name() + " Inicializado CliSiTEF");
    try {
        Owner().EstadoECF();
    } catch (...) {
        // Only asked so that the host learns the engine is starting.
    }
    fpInicializado = true;
    RecuperarTransacoesPendentes();
}

AnsiString TKaCliSiTefCliSiTef::ParametrosConfiguracao() const {
    std::string linhas;
    for (const std::string& linha : ParametrosAdicionais) linhas += linha + "\r\n";
    AnsiString parametros =
        "[" + Ansi(StringReplaceAll(Trim(linhas), "\r\n", ";")) + "];{ValorIncluiTaxa=0;};";
    const TKaCliSiTef& componente = Owner();
    if (!componente.CNPJLoja.empty() && !componente.CNPJKaLabs.empty()) {
        parametros += "[ParmsClient=1=" + Ansi(Trim(componente.CNPJLoja)) +
                      ";2=" + Ansi(Trim(componente.CNPJKaLabs)) + "];";
    }
    return parametros;
}

void TKaCliSiTefCliSiTef::Configurar() {
    const AnsiString parametros = ParametrosConfiguracao();
    GravaLog("*** ConfiguraIntSiTefInterativoEx. EnderecoIP: " + EnderecoIP +
             " CodigoLoja: " + CodigoLoja + " NumeroTerminal: " + NumeroTerminal + " Resultado: 0" +
             " ParametrosAdicionais: " + parametros);
    const int32_t resultado = Biblioteca().ConfiguraIntSiTefInterativoEx(
        EnderecoIP.c_str(), CodigoLoja.c_str(), NumeroTerminal.c_str(), 0, parametros.c_str());
    if (const char* mensagem = MensagemConfiguracao(resultado)) {
        if (!ModoServico) MensagemAoOperador(mensagem);
        throw EKaCliSiTefErro(mensagem);
    }
}

void TKaCliSiTefCliSiTef::DesInicializar() {
    // Whatever the library held open goes with it.
    fDocumentoAberto.reset();
    fBiblioteca.Release();
    TKaCliSiTefClass::DesInicializar();
}

void TKaCliSiTefCliSiTef::AtivarGP() {
    throw EKaCliSiTef("CliSiTef não pode ser ativado localmente");
}

void TKaCliSiTefCliSiTef::VerificaRequisicaoIniciada() {
    if (!fIniciouRequisicao) throw EKaCliSiTefErro("Nenhuma Requisição Iniciada");
}

// --- The dialogue ------------------------------------------------------------------------

int32_t TKaCliSiTefCliSiTef::IniciarFuncao(int Modalidade, const AnsiString& Header, Money Valor,
                                           const AnsiString&, const AnsiString& restricoes) {
    if (fpAguardandoResposta) throw EKaCliSiTef("Requisição anterior não concluida");
    const TCliSiTefEntryPoints& biblioteca = Biblioteca();
    fIniciouRequisicao = true;
    fDocumentosFinalizados.clear();
    // The recovery's flag describes what it found at start-up; left set, it would keep every
    // later function outside service mode from being finished with the library.
    Owner().TransacaoConfirmada = false;
    const platform::LocalDateTime agora = platform::Now();
    const AnsiString data = platform::FormatDateTime("yyyymmdd", agora);
    const AnsiString hora = platform::FormatDateTime("hhnnss", agora);
    const AnsiString valor = MoneyToAmountText(Valor, ',');
    fInicio = {data, hora};

    Req().Clear();
    Resp().Clear();
    // Whether this function stored a receipt: the record keeps the flag through Clear.
    Resp().MsgImpressao = false;
    fpIDSeq = agora.hour * 3600 + agora.minute * 60 + agora.second;
    const AnsiString documento = std::to_string(fpIDSeq);
    TKaCliSiTefArquivo& conteudo = Resp().Conteudo;
    conteudo.GravaInformacao(899, 100, Header);
    conteudo.GravaInformacao(899, 101, documento);
    conteudo.GravaInformacao(899, 102, documento);
    conteudo.GravaInformacao(899, 103, std::to_string(MoneyToCents(Valor)));
    // Kept with the record (and so with its backup file): finishing the function another day,
    // after a restart say, must name it by the moment it was started with.
    conteudo.GravaInformacao(899, 104, data + hora);
    Resp().TipoGP = Tipo();

    GravaLog("*** IniciaFuncaoSiTefInterativo. Modalidade: " + std::to_string(Modalidade) +
             " Valor: " + valor + " Documento: " + documento + " Data: " + data + " Hora: " + hora +
             " Operador: " + Operador + " Restricoes: " + restricoes);
    const int32_t resultado = biblioteca.IniciaFuncaoSiTefInterativo(
        Modalidade, valor.c_str(), documento.c_str(), data.c_str(), hora.c_str(), Operador.c_str(),
        restricoes.c_str());
    // Started, or approved at once: the library holds the function until it is finished.
    if (resultado == kCliSiTefContinue || resultado == kCliSiTefApproved) {
        fDocumentoAberto = documento;
    } else {
        fDocumentoAberto.reset();
    }
    return resultado;
}

int32_t TKaCliSiTefCliSiTef::ContinuarFuncao(bool Trilha3, const AnsiString& QtdParcela,
                                             const AnsiString& CVV,
                                             const AnsiString& DataVencimento,
                                             const AnsiString& NumeroCartao) {
    TCliSiTefDialogo dialogo(*this, Biblioteca().ContinuaFuncaoSiTefInterativo,
                             {Trilha3, QtdParcela, CVV, DataVencimento, NumeroCartao});
    const int32_t status = dialogo.Executar();
    // A final status other than 0 ends the function in the library; an approval stays open
    // until it is finished, and so does a dialogue an error cut short.
    if (status != kCliSiTefApproved) fDocumentoAberto.reset();
    return status;
}

std::string TKaCliSiTefCliSiTef::MensagemErro(int32_t status) {
    switch (status) {
        case -1:
            return "Módulo não inicializado";
        case -2:
            return "Operação cancelada pelo operador";
        case -3:
            return "Fornecida uma modalidade inválida";
        case -4:
            return "Falta de memória para rodar a função";
        case -5:
            return "Não foi possivel realizar a conexão com o servidor SiTef\r\nPor favor tente "
                   "mais tarde...";
        case -6:
            return "Operação cancelada pelo usuário";
    }
    const std::string codigo = "(" + std::to_string(status) + ")";
    return status < 0 ? "Operadora do cartão de crédito off-line " + codigo
                      : "Negada pelo autorizador " + codigo;
}

void TKaCliSiTefCliSiTef::AvaliaErro(int32_t status) {
    const std::string mensagem = MensagemErro(status);
    GravaLog("AvaliaErro: STS " + std::to_string(status));
    Owner().DoExibeMsg(opmExcept, mensagem);
}

int32_t TKaCliSiTefCliSiTef::ExecutarFuncao(int Modalidade, const AnsiString& Header, Money Valor,
                                            const AnsiString& Documento,
                                            const AnsiString& restricoes,
                                            const AnsiString& QtdParcela, const AnsiString& CVV,
                                            const AnsiString& DataVencimento,
                                            const AnsiString& NumeroCartao) {
    int32_t status = IniciarFuncao(Modalidade, Header, Valor, Documento, restricoes);
    if (status == kCliSiTefContinue)
        status = ContinuarFuncao(false, QtdParcela, CVV, DataVencimento, NumeroCartao);
    return status;
}

bool TKaCliSiTefCliSiTef::ExecutarAdministrativa(int Modalidade, const AnsiString& Header,
                                                 const AnsiString& restricoes) {
    const int32_t status = ExecutarFuncao(Modalidade, Header, 0, "", restricoes, "0", "", "", "");
    if (status != kCliSiTefApproved) {
        AvaliaErro(status);
        return false;
    }
    ProcessarResposta();
    return true;
}

// --- Transactions ------------------------------------------------------------------------

void TKaCliSiTefCliSiTef::ATV() {
    NovaFuncao();
    ExecutarAdministrativa(OperacaoATV, "ATV", "");
}

bool TKaCliSiTefCliSiTef::ADM() {
    NovaFuncao();
    return ExecutarAdministrativa(OperacaoADM, "ADM", Restricoes);
}

bool TKaCliSiTefCliSiTef::CRT(Money Valor, const std::string& IndiceFPG_ECF,
                              const std::string& NumeroCartao, const std::string& DataVencimento,
                              const std::string& CVV, const std::string& QtdParcela,
                              const std::string& DocumentoVinculado, int) {
    NovaFuncao();
    VerificaValor(Valor);
    const AnsiString restricoes = Restricoes.empty() ? "[10];" : Restricoes;
    if (OperacaoCRT == 201) Respostas["146"] = Respostas["147"] = MoneyToAmountText(Valor, ',');
    const int32_t status =
        ExecutarFuncao(OperacaoCRT, "CRT", Valor, Ansi(DocumentoVinculado), restricoes,
                       Ansi(QtdParcela), Ansi(CVV), Ansi(DataVencimento), Ansi(NumeroCartao));
    GravaLog(std::string("CRT -> Result: ") + (status == kCliSiTefApproved ? "-1" : "0"));
    if (status != kCliSiTefApproved) {
        AvaliaErro(status);
        return false;
    }
    ProcessarRespostaPagamento(IndiceFPG_ECF, Valor);
    return true;
}

bool TKaCliSiTefCliSiTef::CHQ(Money Valor, const std::string& IndiceFPG_ECF,
                              const std::string& DocumentoVinculado, const std::string& CMC7,
                              char TipoPessoa, const std::string& DocumentoPessoa,
                              platform::TDateTime DataCheque, const std::string& Banco,
                              const std::string& Agencia, const std::string& AgenciaDC,
                              const std::string& Conta, const std::string& ContaDC,
                              const std::string& Cheque, const std::string& ChequeDC,
                              const std::string& Compensacao) {
    NovaFuncao();
    VerificaValor(Valor);
    Respostas["501"] = TipoPessoa == 'J' ? "1" : "0";
    if (!DocumentoPessoa.empty()) Respostas["502"] = OnlyDigits(Trim(DocumentoPessoa));
    if (DataCheque != 0) Respostas["506"] = DataDDMMYYYY(DataCheque);
    Respostas["517"] = !CMC7.empty() ? "1:" + Ansi(CMC7)
                                     : "0:" + CampoCheque(Compensacao, 3) + CampoCheque(Banco, 3) +
                                           CampoCheque(Agencia, 4) + CampoCheque(AgenciaDC, 1) +
                                           CampoCheque(Conta, 10) + CampoCheque(ContaDC, 1) +
                                           CampoCheque(Cheque, 6) + CampoCheque(ChequeDC, 1);
    const AnsiString restricoes = Restricoes.empty() ? "[15;25]" : Restricoes;
    const int32_t status = ExecutarFuncao(OperacaoCHQ, "CHQ", Valor, Ansi(DocumentoVinculado),
                                          restricoes, "0", "", "", "");
    if (status != kCliSiTefApproved) {
        AvaliaErro(status);
        return false;
    }
    ProcessarRespostaPagamento(IndiceFPG_ECF, Valor);
    return true;
}

bool TKaCliSiTefCliSiTef::CNC(const std::string&, const std::string& NSU,
                              platform::TDateTime DataHoraTransacao, Money Valor) {
    NovaFuncao();
    Respostas["146"] = Respostas["147"] = MoneyToAmountText(Valor, ',');
    Respostas["515"] = DataDDMMYYYY(DataHoraTransacao);
    Respostas["516"] = Ansi(NSU);
    return ExecutarAdministrativa(OperacaoCNC, "CNC", "");
}

TFinalizacao TKaCliSiTefCliSiTef::CNF(const std::string&, const std::string&, const std::string&,
                                      const std::string& DocumentoVinculado) {
    // Also outside service mode: a function left unconfirmed is undone by the library, though
    // its receipt was printed and the sale closed.
    return FinalizarTransacao(true, Ansi(DocumentoVinculado));
}

void TKaCliSiTefCliSiTef::NCN(const std::string&, const std::string&, const std::string&, Money,
                              const std::string& DocumentoVinculado) {
    FinalizarTransacao(false, Ansi(DocumentoVinculado));
}

TFinalizacao TKaCliSiTefCliSiTef::FinalizarTransacao(bool Confirma,
                                                     const AnsiString& DocumentoVinculado) {
    Respostas.clear();
    fIniciouRequisicao = false;
    // The flags describe the function being finished; left set, they would make a later
    // confirmation (one recovered from a backup file, say) skip the library.
    platform::ScopeExit esquece([this] { fReimpressao = fDevolucao = false; });
    // Settled once, whichever path comes first: an administrative receipt is confirmed by its
    // printing and then once more by the host that reports it.
    if (const auto feita = fDocumentosFinalizados.find(DocumentoVinculado);
        feita != fDocumentosFinalizados.end()) {
        GravaLog("FinalizarTransacao: Documento " + DocumentoVinculado + Ansi(" já finalizado"));
        return feita->second;
    }
    // A reprint leaves nothing to confirm.
    if (!fReimpressao) {
        if (!ModoServico) {
            Confirma = FinalizarComImpressao(Confirma, DocumentoVinculado);
        } else if (!FinalizarModoServico(Confirma, DocumentoVinculado)) {
            return TFinalizacao::Pendente;  // still open: the library holds it pending
        }
    }
    const TFinalizacao resultado = Confirma ? TFinalizacao::Confirmada : TFinalizacao::Desfeita;
    fDocumentosFinalizados[DocumentoVinculado] = resultado;
    if (fDocumentoAberto == DocumentoVinculado) fDocumentoAberto.reset();
    if (!Confirma) {
        Owner().DoExibeMsg(opmOK, "Transação \"TEF\" não efetuada.");
        GravaLog(Ansi("Transação \"TEF\" não efetuada. Documento: ") + DocumentoVinculado);
    }
    return resultado;
}

bool TKaCliSiTefCliSiTef::FinalizarModoServico(bool Confirma,
                                               const AnsiString& DocumentoVinculado) {
    if (Confirma) {
        if (!ConfirmarModoServico(DocumentoVinculado)) return false;
    } else {
        FinalizarFuncao(false, DocumentoVinculado, MomentoDe(DocumentoVinculado));
    }
    if (fDevolucao)
        Owner().DoExibeMsg(opmOK, "Transação efetuada com sucesso.\r\nFavor reter o Cupom");
    return true;
}

bool TKaCliSiTefCliSiTef::ConfirmarModoServico(const AnsiString& DocumentoVinculado) {
    const TMomento inicio = MomentoDe(DocumentoVinculado);
    const int32_t antes = PendentesDoDocumento(DocumentoVinculado, inicio.data);
    for (int tentativa = 1;; ++tentativa) {
        FinalizarFuncao(true, DocumentoVinculado, inicio);
        const int32_t depois = PendentesDoDocumento(DocumentoVinculado, inicio.data);
        GravaLog(Ansi("FinalizaFuncaoSiTefInterativo: pendentes no documento ") +
                 DocumentoVinculado + " antes: " + std::to_string(antes) +
                 " depois: " + std::to_string(depois));
        // A count the library could not give proves no refusal.
        const bool recusada = antes >= 0 && depois > 0 && depois >= antes;
        if (!recusada) return true;
        GravaLog(Ansi("FinalizaFuncaoSiTefInterativo: confirmação recusada, ") +
                 std::to_string(depois) + " pendente(s) no documento " + DocumentoVinculado +
                 (tentativa == 1 ? "; nova tentativa" : ""));
        if (tentativa == 2) return false;
    }
}

int32_t TKaCliSiTefCliSiTef::PendentesDoDocumento(const AnsiString& DocumentoVinculado,
                                                  const AnsiString& data) {
    return Biblioteca().ObtemQuantidadeTransacoesPendentes(data.c_str(),
                                                           DocumentoVinculado.c_str());
}

void TKaCliSiTefCliSiTef::FinalizarFuncao(bool Confirma, const AnsiString& DocumentoVinculado,
                                          const TMomento& inicio) {
    const TCliSiTefEntryPoints& biblioteca = Biblioteca();
    GravaLog(Ansi(Confirma ? "*** FinalizaFuncaoSiTefInterativo -> Confirmação: SIM Documento: "
                           : "*** FinalizaFuncaoSiTefInterativo -> Cancelamento: NÃO Documento: ") +
             DocumentoVinculado + " Data: " + inicio.data + " Hora: " + inicio.hora +
             " ParamAdc: ");
    biblioteca.FinalizaFuncaoSiTefInterativo(Confirma ? 1 : 0, DocumentoVinculado.c_str(),
                                             inicio.data.c_str(), inicio.hora.c_str(), "");
}

TKaCliSiTefCliSiTef::TMomento TKaCliSiTefCliSiTef::Agora() {
    const platform::LocalDateTime agora = platform::Now();
    return {platform::FormatDateTime("yyyymmdd", agora), platform::FormatDateTime("hhnnss", agora)};
}

TKaCliSiTefCliSiTef::TMomento TKaCliSiTefCliSiTef::MomentoDe(const AnsiString& Documento) const {
    // The library knows a function by its document and the moment it was started.
    if (fDocumentoAberto == Documento) return fInicio;
    if (auto inicio = InicioRegistrado(Resp(), Documento)) return *inicio;
    const TKaCliSiTefRespostasPendentes& pendentes = Owner().RespostasPendentes();
    for (int i = 0; i < pendentes.Count(); ++i) {
        if (auto inicio = InicioRegistrado(pendentes.Objects(i), Documento)) return *inicio;
    }
    return Agora();
}

void TKaCliSiTefCliSiTef::DesfazerFuncaoAberta() {
    if (!fDocumentoAberto) return;
    const AnsiString documento = *fDocumentoAberto;
    Respostas.clear();
    fIniciouRequisicao = false;
    GravaLog("DesfazerFuncaoAberta: Documento " + documento);
    FinalizarFuncao(false, documento, fInicio);
    fDocumentosFinalizados[documento] = TFinalizacao::Desfeita;
    fDocumentoAberto.reset();
}

void TKaCliSiTefCliSiTef::DesfazerFuncaoPendente(const AnsiString& Documento,
                                                 const AnsiString& DataFiscal,
                                                 const AnsiString& Horario) {
    GravaLog("DesfazerFuncaoPendente: Documento " + Documento + " Data: " + DataFiscal +
             " Hora: " + Horario);
    // Named as it was started: it may have been another day.
    FinalizarFuncao(false, Documento, {DataFiscal, Horario.empty() ? Agora().hora : Horario});
}

bool TKaCliSiTefCliSiTef::FinalizarComImpressao(bool Confirma,
                                                const AnsiString& DocumentoVinculado) {
    TKaCliSiTef& componente = Owner();
    // What the start-up recovery found counts as settled by it.
    if (componente.TransacaoConfirmada) return Confirma;
    const TCliSiTefEntryPoints& biblioteca = Biblioteca();
    // The library is called with or without a receipt: an approved function that is never
    // finished is undone by it later.
    if (Resp().MsgImpressao) {
        int retorno = -1;
        Evento(componente.OnComandaImpressao, "OnComandaImpressão")(retorno, Resp(), fDevolucao);
        // A receipt that could not be printed turns a confirmation into an undo; it never
        // turns an undo into a confirmation.
        if (!componente.ModoServico) Confirma = Confirma && retorno != 0;
    }
    const TMomento inicio = MomentoDe(DocumentoVinculado);
    GravaLog(Ansi(Confirma
                      ? "*** FinalizaTransacaoSiTefInterativo -> Confirmação: SIM Documento: "
                      : "*** FinalizaTransacaoSiTefInterativo -> Cancelamento: NÃO Documento: ") +
             DocumentoVinculado + " Data: " + inicio.data + " Hora: " + inicio.hora);
    biblioteca.FinalizaTransacaoSiTefInterativo(Confirma ? 1 : 0, DocumentoVinculado.c_str(),
                                                inicio.data.c_str(), inicio.hora.c_str());
    if (fDevolucao) MensagemAoOperador("Transação efetuada com sucesso.\r\nFavor reter o Cupom");
    return Confirma;
}

// --- After an approved function ----------------------------------------------------------

bool TKaCliSiTefCliSiTef::ProcessarRespostaPagamento(const std::string& IndiceFPG_ECF,
                                                     Money Valor) {
    GravaLog("ProcessarRespostaPagamento ...");
    Resp().SetIndiceFPG_ECF(IndiceFPG_ECF);
    TKaCliSiTef& componente = Owner();
    TKaCliSiTefRespostasPendentes& pendentes = componente.RespostasPendentes();
    TKaCliSiTefResp& copia = pendentes.Add(CopiaResposta(Resp()));
    GravaLog("ProcessarRespostaPagamento: RespostasPendentes (" +
             std::to_string(pendentes.Count()) + ")");
    if (componente.ModoServico) {
        // The host reports the result and finishes the transaction.
        Evento(componente.OnDepoisConfirmarTransacoes, "OnDepoisConfirmarTransacoes")(pendentes);
        return true;
    }
    std::string arquivo;
    CopiarResposta(arquivo);
    // The pending entry names its backup file, so that confirming it removes the file.
    copia.SetArqBackup(arquivo);
    if (componente.AutoEfetuarPagamento()) RegistrarPagamentoECF(IndiceFPG_ECF, Valor, copia);
    if (pendentes.SaldoRestante() <= 0 && componente.AutoFinalizarCupom()) {
        GravaLog("AutoFinalizarCupom ...");
        componente.FinalizarCupom(false);
        componente.ImprimirTransacoesPendentes();
    }
    return true;
}

void TKaCliSiTefCliSiTef::RegistrarPagamentoECF(const std::string& IndiceFPG_ECF, Money Valor,
                                                TKaCliSiTefResp& copia) {
    TKaCliSiTef& componente = Owner();
    TKaCliSiTefRespostasPendentes& pendentes = componente.RespostasPendentes();
    for (;;) {
        try {
            componente.ECFPagamento(IndiceFPG_ECF, MoneyToDouble(Valor));
            pendentes.SaldoAPagar = RoundToCents(pendentes.SaldoAPagar - Valor);
            copia.SetOrdemPagamento(pendentes.Count() + 1);
            return;
        } catch (const EKaCliSiTefECF&) {
            if (DesejaImprimirNovamente(componente)) continue;
        } catch (...) {
            DesfazerPendentes();
            throw;
        }
        try {
            componente.ComandarECF(opeCancelaCupom);
        } catch (...) {
            // The coupon may already be gone; the payment is undone anyway.
        }
        DesfazerPendentes();
        return;
    }
}

void TKaCliSiTefCliSiTef::DesfazerPendentes() noexcept {
    try {
        Owner().CancelarTransacoesPendentes();
    } catch (const std::exception& e) {
        GravaLog(Ansi(Name() + " CancelarTransacoesPendentes falhou: " + e.what()));
    } catch (...) {
    }
}

void TKaCliSiTefCliSiTef::ProcessarResposta() {
    GravaLog(Name() + " ProcessarResposta: " + Ansi(Req().Header()));
    TKaCliSiTef& componente = Owner();
    componente.SetEstadoResp(respProcessando);
    if (Resp().QtdLinhasComprovante <= 0) {
        // Nothing to print, and approved all the same: a function never finished is undone by
        // the library later (a refund the till believes went through, say).
        FinalizarTransacao(true, Ansi(Resp().DocumentoVinculado));
        return;
    }
    TKaCliSiTefRespostasPendentes& pendentes = componente.RespostasPendentes();
    pendentes.Add(CopiaResposta(Resp()));
    pendentes.Entregar([&](TKaCliSiTefRespostasPendentes& lista) {
        ImprimirRelatorio();
        if (componente.OnDepoisConfirmarTransacoes) componente.OnDepoisConfirmarTransacoes(lista);
    });
}

// --- PIN pad and card reading ------------------------------------------------------------

int32_t TKaCliSiTefCliSiTef::ObtemQuantidadeTransacoesPendentes(platform::TDateTime Data,
                                                                const AnsiString& CupomFiscal) {
    const AnsiString data = platform::FormatDateTime("yyyymmdd", platform::FromDateTime(Data));
    return Biblioteca().ObtemQuantidadeTransacoesPendentes(data.c_str(), CupomFiscal.c_str());
}

int32_t TKaCliSiTefCliSiTef::DefineMensagemPermanentePinPad(const AnsiString& Mensagem) {
    return Biblioteca().EscreveMensagemPermanentePinPad(Mensagem.c_str());
}

std::string TKaCliSiTefCliSiTef::VerificarPresencaPinPad() {
    switch (Biblioteca().VerificaPresencaPinPad()) {
        case 1:
            return "PINPAD conectado com sucesso...";
        case 0:
            return "Nenhum PINPAD conectado...";
        case -1:
            return "Erro na DLL ou arquivo .INI do PINPAD";
        default:
            return "";
    }
}

int32_t TKaCliSiTefCliSiTef::LerTrilha3(AnsiString&) {
    DefineMensagemPermanentePinPad(kMensagemTrilha3);
    char area[4] = {};
    const int32_t resultado = Biblioteca().LeTrilha3(area);
    if (resultado == kCliSiTefContinue) ContinuarFuncao(true, "0", "", "", "");
    DefineMensagemPermanentePinPad(kMensagemBoaViagem);
    return resultado;
}

int32_t TKaCliSiTefCliSiTef::LerCartaoSeguro() {
    TKaCliSiTef& componente = Owner();
    const TCliSiTefEntryPoints& biblioteca = Biblioteca();
    componente.DoExibeMsg(opmExibirMsgOperador, "Passe o cartão");
    componente.DoExibeMsg(opmExibirMsgCliente, "Passe o cartão");
    char a25[25] = {}, a129[129] = {}, b129[129] = {};
    const int32_t resultado = biblioteca.LeCartaoDiretoEx(a25, a129, b129, 0, 0);
    const AnsiString trilha2 = TrimRight(std::string_view(a129, ::strnlen(a129, sizeof a129)));
    const AnsiString extra(b129, ::strnlen(b129, sizeof b129));
    AnsiString lido = trilha2;
    if (!Trim(extra).empty()) lido += "\r ( " + extra + " )";
    componente.CartaoLido = platform::Cp1252ToUtf8(lido);
    componente.DoExibeMsg(opmExibirMsgOperador, "");
    componente.DoExibeMsg(opmExibirMsgCliente, "");
    DefineMensagemPermanentePinPad(kMensagemBoaViagem);
    return resultado;
}

}  // namespace tef
