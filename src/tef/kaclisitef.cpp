#include "tef/kaclisitef.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <functional>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "tef/ansi_text.h"
#include "tef/clisitef.h"
#include "tef/errors.h"
#include "tef/evento.h"
#include "tef/impressao_transacoes.h"
#include "tef/trace_log.h"

namespace tef {
namespace {

// A result of InfoECFAsDouble that callers pass as default to detect a failed conversion.
constexpr double kValorReservadoInfoECF = -98787158;

std::string TextoValor(double valor) { return MoneyToAmountText(MoneyFromDouble(valor), ','); }

// Deletes `nome` (nothing for an empty name); a file still there afterwards is an error,
// raised with the agreed text while `rastro` hears the system's reason.
void ApagarArquivo(const std::string& nome, const std::function<void(const std::string&)>& rastro) {
    if (nome.empty()) return;
    const platform::FileStatus apagado = platform::DeleteFile(nome);
    if (!platform::FileExists(nome)) return;
    rastro("Erro ao apagar o arquivo: " + apagado.Message());
    throw EKaCliSiTefArquivo("Erro ao apagar o arquivo:\r\n" + nome);
}

}  // namespace

TKaCliSiTef::TKaCliSiTef()
    : TempoMinimoTextos(platform::EnvMilliseconds("QV_RECEIPT_TEXTS_MS", std::chrono::seconds(5))) {
    fTrace.SetFailureReport([this](const platform::FileStatus& status) { AvisaFalhaLog(status); });
    auto engine = std::make_unique<TKaCliSiTefCliSiTef>(this);
    fTEFCliSiTef = engine.get();
    fListaGP.Add(std::move(engine));
}

TKaCliSiTef::~TKaCliSiTef() = default;

// --- Settings ----------------------------------------------------------------------------

void TKaCliSiTef::AlteraComPendentes(bool& field, bool value, const char* name) {
    if (field != value && !fRespostasPendentes.Empty()) {
        throw EKaCliSiTef(std::string("Existem Respostas Pendentes. Não é possível alterar \"") +
                          name + "\"");
    }
    field = value;
}

void TKaCliSiTef::SetMultiplosCartoes(bool value) {
    AlteraComPendentes(fMultiplosCartoes, value, "MultiplosCartoes");
}

void TKaCliSiTef::SetAutoEfetuarPagamento(bool value) {
    AlteraComPendentes(fAutoEfetuarPagamento, value, "AutoEfetuarPagamento");
}

void TKaCliSiTef::SetAutoFinalizarCupom(bool value) {
    AlteraComPendentes(fAutoFinalizarCupom, value, "AutoFinalizarCupom");
}

void TKaCliSiTef::SetEsperaSleep(int value) {
    if (value == fEsperaSleep) return;
    if (value < 10) throw EKaCliSiTef("Valor mínimo de EsperaSleep deve ser: 10");
    if (value > 500) throw EKaCliSiTef("Valor máximo de EsperaSleep deve ser: 500");
    fEsperaSleep = value;
}

const std::string& TKaCliSiTef::PathBackup() {
    if (fPathBackup.empty()) fPathBackup = platform::ExecutableDir() + "TEF";
    return fPathBackup;
}

void TKaCliSiTef::SetPathBackup(const std::string& value) {
    if (value == fPathBackup) return;
    if (fTEF != nullptr && fTEF.load()->Inicializado())
        throw EKaCliSiTef("PathBackup não pode ser modificado com o KaCliSiTef Inicializado");
    std::string pasta = Trim(value);
    if (!pasta.empty() && platform::IsPathSeparator(pasta.back())) pasta.pop_back();
    fPathBackup = pasta;
}

void TKaCliSiTef::SetArqLOG(const std::string& value) {
    for (int i = 0; i < fListaGP.Count(); ++i) {
        TKaCliSiTefClass& engine = fListaGP.Objects(i);
        if (engine.ArqLOG() == fArqLOG) engine.SetArqLOG(value);
    }
    fArqLOG = value;
}

// --- State -------------------------------------------------------------------------------

void TKaCliSiTef::SetGPAtual(TKaCliSiTefTipo value) {
    if (value == fGPAtual) return;
    if (value == gpCliSiTef) fTEF = fTEFCliSiTef;
    fGPAtual = value;
}

TKaCliSiTefClass& TKaCliSiTef::AtivoGP() const {
    if (fTEF == nullptr) throw EKaCliSiTefErro("Nenhum Gerenciador Padrão selecionado (GPAtual)");
    return *fTEF.load();
}

TKaCliSiTefReq& TKaCliSiTef::Req() const { return AtivoGP().Req(); }

TKaCliSiTefResp& TKaCliSiTef::Resp() const { return AtivoGP().Resp(); }

bool TKaCliSiTef::AguardandoResposta() const {
    const TKaCliSiTefClass* engine = fTEF.load();
    return engine != nullptr && engine->AguardandoResposta();
}

void TKaCliSiTef::SetEstadoReq(TKaCliSiTefReqEstado value) {
    if (value == fEstadoReq) return;
    fEstadoReq = value;
    if (OnMudaEstadoReq) OnMudaEstadoReq(value);
}

void TKaCliSiTef::SetEstadoResp(TKaCliSiTefRespEstado value) {
    if (value == fEstadoResp) return;
    fEstadoResp = value;
    if (OnMudaEstadoResp) OnMudaEstadoResp(value);
}

std::string TKaCliSiTef::ArqTemp() const { return fTEF ? fTEF.load()->ArqTmp() : ""; }
std::string TKaCliSiTef::ArqReq() const { return fTEF ? fTEF.load()->ArqReq() : ""; }
std::string TKaCliSiTef::ArqSTS() const { return fTEF ? fTEF.load()->ArqSTS() : ""; }
std::string TKaCliSiTef::ArqResp() const { return fTEF ? fTEF.load()->ArqResp() : ""; }
std::string TKaCliSiTef::GPExeName() const { return fTEF ? fTEF.load()->GPExeName() : ""; }

std::string TKaCliSiTef::NomeGP() const { return fTEF ? fTEF.load()->Name() : ""; }

void TKaCliSiTef::AvisaFalhaLog(const platform::FileStatus& status) const noexcept {
    try {
        if (OnFalhaLog) OnFalhaLog(status.Message());
    } catch (...) {
        // Nobody can be told, and the trace never fails its caller.
    }
}

void TKaCliSiTef::GravaLog(const std::string& texto) const {
    try {
        const AnsiString linha = IsAscii(texto) ? texto : platform::Utf8ToCp1252(texto);
        if (fTEF != nullptr) {
            fTEF.load()->GravaLog(linha);
        } else {
            fTrace.Write(fArqLOG, linha);
        }
    } catch (...) {
        // The trace never fails its caller.
    }
}

// --- Engine lifecycle --------------------------------------------------------------------

void TKaCliSiTef::ChecaEventosObrigatorios() const {
    Evento(OnExibeMsg, "OnExibeMsg");
    Evento(OnComandaECF, "OnComandaECF");
    Evento(OnComandaImpressao, "OnComandaImpressão");
    Evento(OnComandaECFAbreVinculado, "OnComandaECFAbreVinculado");
    Evento(OnComandaECFImprimeVia, "OnComandaECFImprimeVia");
    Evento(OnInfoECF, "OnInfoECF");
}

void TKaCliSiTef::ChecaPastaBackup() {
    const std::string pasta = PathBackup();
    if (platform::DirectoryExists(pasta)) return;
    if (const platform::FileStatus criada = platform::ForceDirectories(pasta); !criada) {
        GravaLog("ChecaPastaBackup: " + criada.Message());
        throw EKaCliSiTef("Diretório de Backup não existente:\r\n" + pasta);
    }
}

void TKaCliSiTef::Inicializar(TKaCliSiTefTipo GP) {
    ChecaEventosObrigatorios();
    ChecaPastaBackup();
    if (GP == gpNenhum) {
        InicializarHabilitados();
        return;
    }
    SetGPAtual(GP);
    InicializarGP();
}

void TKaCliSiTef::InicializarGP() {
    try {
        TKaCliSiTefClass& engine = AtivoGP();
        engine.SetInicializado(true);
        engine.SetHabilitado(true);
    } catch (const std::exception& e) {
        GravaLog(NomeGP() + " Inicializar: " + e.what());
        try {
            if (fTEF != nullptr) fTEF.load()->SetInicializado(false);
        } catch (...) {
            // Shutting down what half started; the start-up failure is what is reported.
        }
        throw EKaCliSiTef("Erro ao conectar com servidor TEF");
    }
}

void TKaCliSiTef::InicializarHabilitados() {
    std::string erros;
    for (int i = 0; i < fListaGP.Count(); ++i) {
        TKaCliSiTefClass& engine = fListaGP.Objects(i);
        if (!engine.Habilitado()) continue;
        try {
            engine.SetInicializado(true);
        } catch (const std::exception& e) {
            try {
                engine.SetInicializado(false);
            } catch (...) {
            }
            erros += std::string(e.what()) + "\r\n";
        }
    }
    if (!erros.empty()) throw EKaCliSiTef(erros);
}

void TKaCliSiTef::DesInicializar(TKaCliSiTefTipo GP) {
    if (GP != gpNenhum) {
        SetGPAtual(GP);
        AtivoGP().SetInicializado(false);
        return;
    }
    for (int i = 0; i < fListaGP.Count(); ++i) {
        TKaCliSiTefClass& engine = fListaGP.Objects(i);
        if (engine.Habilitado()) engine.SetInicializado(false);
    }
}

bool TKaCliSiTef::Inicializado(TKaCliSiTefTipo GP) {
    if (GP != gpNenhum) SetGPAtual(GP);
    return fTEF != nullptr && fTEF.load()->Inicializado();
}

void TKaCliSiTef::AtivarGP(TKaCliSiTefTipo GP) {
    if (GP != gpNenhum) {
        SetGPAtual(GP);
        AtivoGP().AtivarGP();
        return;
    }
    for (int i = 0; i < fListaGP.Count(); ++i) {
        TKaCliSiTefClass& engine = fListaGP.Objects(i);
        if (engine.Habilitado()) engine.AtivarGP();
    }
}

// --- Transactions ------------------------------------------------------------------------

void TKaCliSiTef::ATV(TKaCliSiTefTipo GP) {
    if (GP != gpNenhum) SetGPAtual(GP);
    AtivoGP().ATV();
}

bool TKaCliSiTef::ADM(TKaCliSiTefTipo GP) {
    if (GP != gpNenhum) SetGPAtual(GP);
    return AtivoGP().ADM();
}

bool TKaCliSiTef::CRT(double Valor, const std::string& IndiceFPG_ECF,
                      const std::string& DocumentoVinculado, int Moeda,
                      const std::string& NumeroCartaoDigitado,
                      const std::string& DataVencimentoDigitado, const std::string& CVVDigitado,
                      const std::string& QtdParcela) {
    return AtivoGP().CRT(MoneyFromDouble(Valor), IndiceFPG_ECF, NumeroCartaoDigitado,
                         DataVencimentoDigitado, CVVDigitado, QtdParcela, DocumentoVinculado,
                         Moeda);
}

bool TKaCliSiTef::CHQ(double Valor, const std::string& IndiceFPG_ECF,
                      const std::string& DocumentoVinculado, const std::string& CMC7,
                      char TipoPessoa, const std::string& DocumentoPessoa,
                      platform::TDateTime DataCheque, const std::string& Banco,
                      const std::string& Agencia, const std::string& AgenciaDC,
                      const std::string& Conta, const std::string& ContaDC,
                      const std::string& Cheque, const std::string& ChequeDC,
                      const std::string& Compensacao) {
    return AtivoGP().CHQ(MoneyFromDouble(Valor), IndiceFPG_ECF, DocumentoVinculado, CMC7,
                         TipoPessoa, DocumentoPessoa, DataCheque, Banco, Agencia, AgenciaDC, Conta,
                         ContaDC, Cheque, ChequeDC, Compensacao);
}

bool TKaCliSiTef::CNC(const std::string& Rede, const std::string& NSU,
                      platform::TDateTime DataHoraTransacao, double Valor) {
    return AtivoGP().CNC(Rede, NSU, DataHoraTransacao, MoneyFromDouble(Valor));
}

TFinalizacao TKaCliSiTef::CNF(const std::string& Rede, const std::string& NSU,
                              const std::string& Finalizacao,
                              const std::string& DocumentoVinculado) {
    return AtivoGP().CNF(Rede, NSU, Finalizacao, DocumentoVinculado);
}

void TKaCliSiTef::NCN(const std::string& Rede, const std::string& NSU,
                      const std::string& Finalizacao, double Valor,
                      const std::string& DocumentoVinculado) {
    AtivoGP().NCN(Rede, NSU, Finalizacao, MoneyFromDouble(Valor), DocumentoVinculado);
}

bool TKaCliSiTef::ConfirmarTransacao(bool Confirma,
                                     const std::string& DocumentoVinculado) noexcept {
    try {
        return fTEFCliSiTef->FinalizarTransacao(Confirma,
                                                platform::Utf8ToCp1252(DocumentoVinculado)) ==
               (Confirma ? TFinalizacao::Confirmada : TFinalizacao::Desfeita);
    } catch (const std::exception& e) {
        try {
            GravaLog(NomeGP() + " ConfirmarTransacao: " + e.what());
        } catch (...) {
            // Not even the trace may make this raise.
        }
    } catch (...) {
    }
    return false;
}

void TKaCliSiTef::ConfirmarTransacoesPendentes() {
    GravaLog("ConfirmarTransacoesPendentes");
    std::exception_ptr primeiraFalha;
    for (int i = 0; i < fRespostasPendentes.Count();) {
        bool confirmada = true;
        try {
            ConfirmarPendente(fRespostasPendentes.Objects(i), confirmada);
        } catch (const std::exception& e) {
            // This entry keeps its backup file, so the next start-up confirms it.
            GravaLog(std::string("ConfirmarTransacoesPendentes falhou: ") + e.what());
            if (!primeiraFalha) primeiraFalha = std::current_exception();
        }
        if (confirmada) {
            ++i;
        } else {
            fRespostasPendentes.Delete(i);
        }
    }
    fRespostasPendentes.Entregar([this](TKaCliSiTefRespostasPendentes& lista) {
        if (OnDepoisConfirmarTransacoes) OnDepoisConfirmarTransacoes(lista);
    });
    if (primeiraFalha) std::rethrow_exception(primeiraFalha);
}

void TKaCliSiTef::ConfirmarPendente(TKaCliSiTefResp& r, bool& confirmada) {
    SetGPAtual(r.TipoGP);
    if (!r.CNFEnviado()) {
        const TFinalizacao resultado = CNF(r.Rede, r.NSU, r.Finalizacao, r.DocumentoVinculado);
        if (resultado == TFinalizacao::Pendente) {
            // Still pending with the library: the backup file stays for the next start-up.
            GravaLog("ConfirmarTransacoesPendentes: confirmação recusada, Documento " +
                     r.DocumentoVinculado);
            confirmada = false;
            return;
        }
        if (resultado == TFinalizacao::Desfeita) {
            // Settled the other way: nothing to recover, and nothing confirmed to report.
            GravaLog("ConfirmarTransacoesPendentes: desfeita, Documento " + r.DocumentoVinculado);
            confirmada = false;
        } else {
            r.SetCNFEnviado(true);
        }
    }
    const auto rastro = [this](const std::string& texto) { GravaLog(texto); };
    ApagarArquivo(r.ArqRespPendente, rastro);
    ApagarArquivo(r.ArqBackup(), rastro);
}

void TKaCliSiTef::CancelarTransacoesPendentes() {
    if (ModoServico) {
        // Nothing is backed up in service mode, but a function the library still holds open
        // (an approval the host did not confirm, a dialogue cut short) would otherwise stand
        // approved and unfinished while the client is told it failed. It is undone, and the
        // approvals it left pending go with it.
        if (fTEFCliSiTef->FuncaoAberta()) {
            fTEFCliSiTef->DesfazerFuncaoAberta();
            fRespostasPendentes.Clear();
        }
        return;
    }
    std::exception_ptr primeiraFalha;
    for (int i = 0; i < fListaGP.Count(); ++i) {
        TKaCliSiTefClass& engine = fListaGP.Objects(i);
        if (!engine.Habilitado()) continue;
        try {
            engine.CancelarTransacoesPendentesClass();
        } catch (...) {
            if (!primeiraFalha) primeiraFalha = std::current_exception();
        }
    }
    fRespostasPendentes.Entregar([this](TKaCliSiTefRespostasPendentes& lista) {
        if (OnDepoisCancelarTransacoes) OnDepoisCancelarTransacoes(lista);
    });
    if (primeiraFalha) std::rethrow_exception(primeiraFalha);
}

void TKaCliSiTef::ImprimirTransacoesPendentes() { TImpressaoTransacoes(*this).Executar(); }

void TKaCliSiTef::AgruparRespostasPendentes(TKaCliSiTefArrayGrupoRespostasPendentes& Grupo) const {
    Grupo.clear();
    for (int i = 0; i < fRespostasPendentes.Count(); ++i) {
        const TKaCliSiTefResp& r = fRespostasPendentes.Objects(i);
        auto grupo = std::find_if(Grupo.begin(), Grupo.end(), [&](const auto& g) {
            return g.IndiceFPG_ECF == r.IndiceFPG_ECF() && g.OrdemPagamento == r.OrdemPagamento();
        });
        if (grupo == Grupo.end())
            grupo = Grupo.insert(Grupo.end(), {r.IndiceFPG_ECF(), r.OrdemPagamento(), 0});
        grupo->Total += r.ValorTotal;
    }
    // Adjacent swaps only, so groups of the same order keep theirs.
    std::stable_sort(Grupo.begin(), Grupo.end(), [](const auto& a, const auto& b) {
        return a.OrdemPagamento < b.OrdemPagamento;
    });
}

void TKaCliSiTef::FinalizarCupom(bool DesbloquearMouseTecladoNoTermino) {
    GravaLog(DesbloquearMouseTecladoNoTermino ? "FinalizarCupom, DesbloquearMouseTecladoNoTermino"
                                              : "FinalizarCupom");
}

// --- Host interaction --------------------------------------------------------------------

TModalResult TKaCliSiTef::DoExibeMsg(TKaCliSiTefOperacaoMensagem Operacao,
                                     const std::string& Mensagem) {
    GravaLog(NomeGP() + " DoExibeMsg: Oper: " + ToString(Operacao) + " Mensagem: " + Mensagem);
    if (Operacao == opmOK || Operacao == opmYesNo || Operacao == opmDestaqueVia)
        RestaurarFocoAplicacao();
    TModalResult resultado = mrNone;
    if (OnExibeMsg) {
        // What the payment library and the records can hold: the single-byte code page.
        OnExibeMsg(
            Operacao,
            IsAscii(Mensagem) ? Mensagem : platform::Cp1252ToUtf8(platform::Utf8ToCp1252(Mensagem)),
            resultado);
    }
    return resultado;
}

void TKaCliSiTef::FalhaECF(const std::string& mensagem) {
    GravaLog(mensagem);
    throw EKaCliSiTefECF(mensagem);
}

int TKaCliSiTef::ComandoECF(const std::string& trace, const std::string& falhaNegativa,
                            const std::string& falhaZero, const std::function<void(int&)>& evento) {
    GravaLog(NomeGP() + trace);
    int retorno = -1;
    evento(retorno);
    if (retorno <= 0) FalhaECF(retorno < 0 ? falhaNegativa : falhaZero);
    return retorno;
}

int TKaCliSiTef::ComandarECF(TKaCliSiTefOperacaoECF Operacao) {
    const std::string nome = ToString(Operacao);
    return ComandoECF(" ComandarECF: Oper: " + nome,
                      "Operação [" + nome + "] não tratada em \"OnComandaECF\"",
                      "Erro ao imprimir comprovante \"TEF\"", [&](int& retorno) {
                          if (OnComandaECF) OnComandaECF(Operacao, AtivoGP().Resp(), retorno);
                      });
}

int TKaCliSiTef::ECFSubtotaliza(double DescAcres) {
    if (!OnComandaECFSubtotaliza) {
        GravaLog(NomeGP() + " ECFSubtotaliza: DescAcres: " + TextoValor(DescAcres));
        return ComandarECF(opeSubTotalizaCupom);
    }
    const int retorno = ComandoECF(
        " ECFSubtotaliza: DescAcres: " + TextoValor(DescAcres),
        "\"OnComandaECFSubtotaliza\" não tratada", "Erro ao executar \"OnComandaECFSubtotaliza\"",
        [&](int& r) { OnComandaECFSubtotaliza(MoneyFromDouble(DescAcres), r); });
    ComandarECF(opeImprimePagamentos);
    return retorno;
}

int TKaCliSiTef::ECFPagamento(const std::string& Indice, double Valor) {
    return ComandoECF(" ECFPagamento: Indice: " + Indice + " Valor: " + TextoValor(Valor),
                      "\"OnComandaECFPagamento\" não tratada",
                      "Erro ao executar \"OnComandaECFPagamento\"", [&](int& r) {
                          if (OnComandaECFPagamento)
                              OnComandaECFPagamento(Indice, MoneyFromDouble(Valor), r);
                      });
}

int TKaCliSiTef::ECFAbreVinculado(const std::string& COO, const std::string& Indice, double Valor) {
    return ComandoECF(
        " ECFAbreVinculado: COO: " + COO + " Indice: " + Indice + " Valor: " + TextoValor(Valor),
        "\"OnComandaECFAbreVinculado\" não tratado",
        "Erro ao executar \"OnComandaECFAbreVinculado\"", [&](int& r) {
            if (OnComandaECFAbreVinculado)
                OnComandaECFAbreVinculado(COO, Indice, MoneyFromDouble(Valor), r);
        });
}

int TKaCliSiTef::ECFImprimeVia(TKaCliSiTefTipoRelatorio TipoRelatorio, int Via,
                               const TextLines& ImagemComprovante) {
    return ComandoECF(" ECFImprimeVia: " + ToString(TipoRelatorio) + " Via: " + std::to_string(Via),
                      "\"OnComandaECFImprimeVia\" não tratado",
                      "Erro ao executar \"OnComandaECFImprimeVia\"", [&](int& r) {
                          if (OnComandaECFImprimeVia)
                              OnComandaECFImprimeVia(TipoRelatorio, Via, ImagemComprovante, r);
                      });
}

std::string TKaCliSiTef::InfoECFAsString(TKaCliSiTefInfoECF Operacao) {
    GravaLog("InfoECF: " + ToString(Operacao));
    std::string retorno;
    try {
        if (OnInfoECF) OnInfoECF(Operacao, retorno);
    } catch (const std::exception& e) {
        GravaLog(NomeGP() + "   Erro: " + e.what());
        throw EKaCliSiTefECF(e.what());
    }
    GravaLog("    Ret: " + retorno);
    return retorno;
}

double TKaCliSiTef::InfoECFAsDouble(TKaCliSiTefInfoECF Operacao, int DefaultValue) {
    const std::string texto = StringReplaceAll(Trim(InfoECFAsString(Operacao)), ",", ".");
    double valor = 0;
    const char* fim = texto.data() + texto.size();
    auto [ponteiro, erro] = std::from_chars(texto.data(), fim, valor);
    if (texto.empty() || erro != std::errc() || ponteiro != fim || !std::isfinite(valor))
        valor = DefaultValue;
    valor = std::round(valor * 100) / 100;
    if (valor == kValorReservadoInfoECF) {
        throw EKaCliSiTefErro("Erro na conversão do Valor Retornado de: OnInfoECF( " +
                              ToString(Operacao) + ")");
    }
    return valor;
}

char TKaCliSiTef::EstadoECF() {
    const std::string resposta = InfoECFAsString(ineEstadoECF);
    char estado = resposta.empty() ? ' ' : resposta[0];
    if (estado >= 'a' && estado <= 'z') estado = static_cast<char>(estado - 'a' + 'A');
    if (estado == '\0' || std::string_view("CGLNOPRV").find(estado) == std::string_view::npos) {
        throw EKaCliSiTefECF(
            "Retorno de \"OnInfoEcf( ineEstadoECF, Retorno )\" deve ser:\r\n\"L\" = "
            "Livre\r\n\"V\" = Venda de Itens\r\n\"P\" - Pagamento (ou SubTotal "
            "efetuado)\r\n\"C\" ou \"R\" - CDC ou Cupom Vinculado\r\n\"G\" ou \"R\" - Relatório "
            "Gerencial\r\n\"N\" - Recebimento Não Fiscal\r\n\"O\" - Outro");
    }
    return estado;
}

void TKaCliSiTef::RestaurarFocoAplicacao() {
    bool tratado = false;
    if (OnRestauraFocoAplicacao) OnRestauraFocoAplicacao(tratado);
    // Without a desktop there is no window to bring to the front.
}

void TKaCliSiTef::LimparTeclado() {
    bool tratado = false;
    if (OnLimpaTeclado) OnLimpaTeclado(tratado);
    // Without a desktop there is no keyboard queue to empty.
}

std::string TKaCliSiTef::LerTrilha3() {
    AnsiString resposta;
    AtivoGP().LerTrilha3(resposta);
    return CartaoLido;
}

std::string TKaCliSiTef::LerCartaoSeguro() {
    AtivoGP().LerCartaoSeguro();
    return CartaoLido;
}

}  // namespace tef
