// TKaCliSiTef: the TEF component, the one object through which the host drives the payment
// terminal. It owns its engine (the CliSiTef engine, TKaCliSiTefCliSiTef), the list of
// approved responses not yet settled, and talks back to the host only through its events,
// which it calls synchronously on the calling thread and waits for.
//
// A host binds the events it handles (at least OnExibeMsg, OnComandaECF, OnComandaImpressao,
// OnComandaECFAbreVinculado, OnComandaECFImprimeVia and OnInfoECF, which Inicializar requires,
// and the dialogue events OnExibeMenu, OnObtemCampo, OnObtemCheque, OnObterSenha,
// OnExibeQRCode and OnAguardaResp before any transaction), configures the engine
// (TEFCliSiTef(): EnderecoIP, CodigoLoja, NumeroTerminal, ParametrosAdicionais, PathDLL,
// ModoServico ...), calls Inicializar(gpCliSiTef), then runs payments with CRT. In service mode
// an approved payment reaches OnDepoisConfirmarTransacoes at once; its handler reports it and
// settles it with ConfirmarTransacao.
//
// Outside service mode the component prints the receipts itself through the fiscal-printer
// events (ImprimirTransacoesPendentes, and the engine's ImprimirRelatorio for administrative
// receipts, which also runs in service mode) and then confirms or undoes the transactions.
//
// There is no desktop on this platform: RestaurarFocoAplicacao and LimparTeclado call their
// events and otherwise do nothing; message boxes go through OnExibeMsg.
//
// Thread contract: one operation at a time (the host guards that); AguardandoResposta may be
// read from another thread. No other locking.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "platform/clock.h"
#include "tef/class_list.h"
#include "tef/events.h"
#include "tef/identificacao.h"
#include "tef/money.h"
#include "tef/relogio.h"
#include "tef/respostas_pendentes.h"
#include "tef/trace_log.h"
#include "tef/types.h"

namespace tef {

class TKaCliSiTefCliSiTef;

class TKaCliSiTef {
public:
    // Creates the CliSiTef engine. GPAtual starts at gpTefDial, so no engine is active yet.
    TKaCliSiTef();
    ~TKaCliSiTef();
    TKaCliSiTef(const TKaCliSiTef&) = delete;
    TKaCliSiTef& operator=(const TKaCliSiTef&) = delete;

    std::string Name = "KaCliSiTef";

    // --- Settings --------------------------------------------------------------------------
    bool Televenda = false;  // stored only
    TKaCliSiTefIdentificacao Identificacao;
    std::string ImpressoraCupom;  // stored only
    bool AutoAtivarGP = true;     // stored only
    bool ExibirMsgAutenticacao = true;
    bool CHQEmGerencial = false;  // stored only
    // Largest change a card payment may give, in currency units; 0 disables the check.
    double TrocoMaximo = 0;
    // Company registration numbers of the store and of the software vendor, passed to the
    // payment library when both are set.
    std::string CNPJLoja, CNPJKaLabs;
    // Service mode: pending transactions are not undone by CancelarTransacoesPendentes and
    // approved payments go straight to OnDepoisConfirmarTransacoes. The engine has a flag of
    // its own (TEFCliSiTef().ModoServico), set together with this one.
    bool ModoServico = false;

    // Changing these while responses are pending raises a plain error ("Existem Respostas
    // Pendentes. Não é possível alterar \"<name>\"").
    bool MultiplosCartoes() const { return fMultiplosCartoes; }
    void SetMultiplosCartoes(bool value);
    bool AutoEfetuarPagamento() const { return fAutoEfetuarPagamento; }
    void SetAutoEfetuarPagamento(bool value);
    bool AutoFinalizarCupom() const { return fAutoFinalizarCupom; }
    void SetAutoFinalizarCupom(bool value);

    // Negative values are stored as 0.
    int NumeroMaximoCartoes() const { return fNumeroMaximoCartoes; }
    void SetNumeroMaximoCartoes(int value) { fNumeroMaximoCartoes = value < 0 ? 0 : value; }

    int NumVias() const { return fNumVias; }
    void SetNumVias(int value) { fNumVias = value; }
    int EsperaSTS() const { return fEsperaSTS; }
    void SetEsperaSTS(int value) { fEsperaSTS = value; }
    // 10 to 500; other values raise a plain error.
    int EsperaSleep() const { return fEsperaSleep; }
    void SetEsperaSleep(int value);

    // Folder of the backup files; when empty it reads (and becomes) the application's folder
    // followed by "TEF". Setting it while the active engine is initialised raises a plain
    // error; the value is trimmed and one trailing separator removed.
    const std::string& PathBackup();
    void SetPathBackup(const std::string& value);

    // Trace file of the component; engines that shared the old value follow the new one.
    const std::string& ArqLOG() const { return fArqLOG; }
    void SetArqLOG(const std::string& value);

    TKaCliSiTefCliSiTef& TEFCliSiTef() const { return *fTEFCliSiTef; }

    // --- Events ----------------------------------------------------------------------------
    TKaCliSiTefAguardaRespEvent OnAguardaResp;
    TKaCliSiTefExibeMsg OnExibeMsg;
    TKaCliSiTefBloqueiaMouseTeclado OnBloqueiaMouseTeclado;  // never raised
    TKaCliSiTefExecutaAcao OnRestauraFocoAplicacao;
    TKaCliSiTefExecutaAcao OnLimpaTeclado;
    TKaCliSiTefComandaECF OnComandaECF;
    TKaCliSiTefComandaImpressao OnComandaImpressao;
    TKaCliSiTefComandaECFSubtotaliza OnComandaECFSubtotaliza;
    TKaCliSiTefComandaECFPagamento OnComandaECFPagamento;
    TKaCliSiTefComandaECFAbreVinculado OnComandaECFAbreVinculado;
    TKaCliSiTefComandaECFImprimeVia OnComandaECFImprimeVia;
    TKaCliSiTefObterInfoECF OnInfoECF;
    TKaCliSiTefAntesFinalizarReq OnAntesFinalizarRequisicao;  // never raised
    TKaCliSiTefProcessarTransacoesPendentes OnDepoisConfirmarTransacoes;
    TKaCliSiTefAntesCancelarTransacao OnAntesCancelarTransacao;
    TKaCliSiTefProcessarTransacoesPendentes OnDepoisCancelarTransacoes;
    TKaCliSiTefMudaEstadoReq OnMudaEstadoReq;
    TKaCliSiTefMudaEstadoResp OnMudaEstadoResp;
    TKaCliSiTefCliSiTefExibeMenu OnExibeMenu;
    TKaCliSiTefCliSiTefObtemCampo OnObtemCampo;
    TKaCliSiTefCliSiTefObtemCheque OnObtemCheque;
    TKaCliSiTefSenhaConfirmacao OnObterSenha;
    TKaClisiTefCliSiTefExibeQRCode OnExibeQRCode;
    // The trace file (ArqLOG) cannot be written: `motivo` says which file and why (the
    // system's reason). Raised when the trace starts failing and when the reason changes, on
    // the thread that was writing; whatever it raises is ignored.
    std::function<void(const std::string& motivo)> OnFalhaLog;
    // Raises OnFalhaLog for `status`; the engines' traces report here.
    void AvisaFalhaLog(const platform::FileStatus& status) const noexcept;

    // --- State -----------------------------------------------------------------------------

    // Selected kind of payment manager; selecting gpCliSiTef makes the CliSiTef engine the
    // active engine (TEF). Other kinds leave the active engine as it was.
    TKaCliSiTefTipo GPAtual() const { return fGPAtual; }
    void SetGPAtual(TKaCliSiTefTipo value);
    // The active engine, or null before gpCliSiTef was first selected.
    TKaCliSiTefClass* TEF() const { return fTEF.load(); }

    // The active engine's current request and response (EKaCliSiTefErro without one).
    TKaCliSiTefReq& Req() const;
    TKaCliSiTefResp& Resp() const;

    TKaCliSiTefRespostasPendentes& RespostasPendentes() { return fRespostasPendentes; }
    const TKaCliSiTefRespostasPendentes& RespostasPendentes() const { return fRespostasPendentes; }

    // The active engine's dialogue is running (False without one).
    bool AguardandoResposta() const;
    bool TecladoBloqueado() const { return false; }

    // A change raises OnMudaEstadoReq / OnMudaEstadoResp.
    TKaCliSiTefReqEstado EstadoReq() const { return fEstadoReq; }
    void SetEstadoReq(TKaCliSiTefReqEstado value);
    TKaCliSiTefRespEstado EstadoResp() const { return fEstadoResp; }
    void SetEstadoResp(TKaCliSiTefRespEstado value);

    // Set by the start-up recovery when backup files were found.
    bool TransacaoConfirmada = false;

    // Results of the last transactions, filled by the engine's dialogue: each keeps the first
    // value it ever received.
    const std::string& CodigoRede() const { return fCodigoRede; }
    const std::string& CodigoBandeira() const { return fCodigoBandeira; }
    const std::string& CodigoNsu() const { return fCodigoNsu; }
    const std::string& CodigoNSUHost() const { return fCodigoNSUHost; }
    const std::string& CodigoAutorizacao() const { return fCodigoAutorizacao; }

    // Wallet and customer data of the running transaction (emptied when a dialogue starts),
    // and the text of the last card read.
    std::string fIdDaCarteiraDigital, fNomeCarteiraDigital, fBandeiraCarteiraDigital;
    std::string fValorAprovadoCarteiraDigital, fCPFCliente, FCNPJCliente, fTelefoneCliente;
    std::string fNewCodigoAutorizacao;
    std::string CartaoLido;

    // The clock of the waits that keep a receipt's operator and customer texts on screen, and
    // how long they stay at least (5 s; QV_RECEIPT_TEXTS_MS for tests). Tests put in a clock
    // that does not sleep.
    TRelogio Relogio = TRelogio::Sistema();
    std::chrono::milliseconds TempoMinimoTextos;

    // Consulted by the dialogue before it asks for a boarding or a service fee.
    bool FornecerTaxaDeServico = false;
    bool FornecerTaxaDeEmbarque = false;
    bool VisaElectonSaque = false;  // stored only

    // The active engine's request-file names (empty for the CliSiTef engine).
    std::string ArqTemp() const;
    std::string ArqReq() const;
    std::string ArqSTS() const;
    std::string ArqResp() const;
    std::string GPExeName() const;

    // --- Engine lifecycle ------------------------------------------------------------------

    // Checks the required events (in order, the first missing one raises "Evento \"...\" não
    // programado"), creates the backup folder, then starts the engine of kind `GP` (selecting
    // it) or, with gpNenhum, every enabled engine. A start-up failure of one kind shuts the
    // engine down again and raises "Erro ao conectar com servidor TEF".
    void Inicializar(TKaCliSiTefTipo GP);
    // Stops the engine of kind `GP` (selecting it), or with gpNenhum every enabled engine.
    void DesInicializar(TKaCliSiTefTipo GP);
    // Selects `GP` (unless gpNenhum) and tells whether the active engine is initialised.
    bool Inicializado(TKaCliSiTefTipo GP);
    void AtivarGP(TKaCliSiTefTipo GP);

    // --- Transactions ----------------------------------------------------------------------

    void ATV(TKaCliSiTefTipo GP);
    bool ADM(TKaCliSiTefTipo GP);
    // A payment (or a reprint or cancellation, as the engine's OperacaoCRT chooses) of `Valor`
    // currency units through the active engine; True when approved. Refusals are reported
    // through OnExibeMsg (opmExcept), not raised.
    bool CRT(double Valor, const std::string& IndiceFPG_ECF, const std::string& DocumentoVinculado,
             int Moeda, const std::string& NumeroCartaoDigitado,
             const std::string& DataVencimentoDigitado, const std::string& CVVDigitado,
             const std::string& QtdParcela);
    bool CHQ(double Valor, const std::string& IndiceFPG_ECF, const std::string& DocumentoVinculado,
             const std::string& CMC7, char TipoPessoa, const std::string& DocumentoPessoa,
             platform::TDateTime DataCheque, const std::string& Banco, const std::string& Agencia,
             const std::string& AgenciaDC, const std::string& Conta, const std::string& ContaDC,
             const std::string& Cheque, const std::string& ChequeDC,
             const std::string& Compensacao);
    bool CNC(const std::string& Rede, const std::string& NSU, platform::TDateTime DataHoraTransacao,
             double Valor);
    TFinalizacao CNF(const std::string& Rede, const std::string& NSU,
                     const std::string& Finalizacao, const std::string& DocumentoVinculado);
    void NCN(const std::string& Rede, const std::string& NSU, const std::string& Finalizacao,
             double Valor, const std::string& DocumentoVinculado);

    // Confirms (or undoes) the running function of the CliSiTef engine. Never raises: True
    // when it ended as asked; False when it failed, the library refused the confirmation (the
    // function then stays open until CancelarTransacoesPendentes undoes it) or a confirmation
    // had to undo instead.
    bool ConfirmarTransacao(bool Confirma, const std::string& DocumentoVinculado) noexcept;

    // Confirms every pending response not yet confirmed, deletes its backup files, hands the
    // list to OnDepoisConfirmarTransacoes and empties it. The list handed over holds only what
    // stands confirmed: an entry the engine undid instead (its receipt could not be printed)
    // leaves it with its backup file deleted; one the library refused leaves it and keeps its
    // file. An entry that cannot be confirmed (an error) keeps its backup file; the others are
    // still settled, and afterwards the first failure is raised.
    void ConfirmarTransacoesPendentes();
    // Outside service mode: every enabled engine undoes its backed-up transactions, then the
    // list goes to OnDepoisCancelarTransacoes and is emptied (the first failure is raised
    // afterwards). In service mode it leaves backup files and the event alone and only undoes
    // the function the CliSiTef engine still holds open, if any, emptying the list with it.
    void CancelarTransacoesPendentes();
    // Prints the pending receipts through the fiscal-printer events, asking the operator to
    // retry while the printer fails; then, outside service mode, confirms them (printed) or
    // cancels the coupon and undoes them (given up), and empties the list. A printer that
    // cannot be freed first raises EKaCliSiTefECF "ECF não está LIVRE" and changes nothing;
    // an error other than the printer's leaves the list as it is.
    void ImprimirTransacoesPendentes();
    // Groups the pending responses by payment form and order (totals summed), sorted by order.
    void AgruparRespostasPendentes(TKaCliSiTefArrayGrupoRespostasPendentes& Grupo) const;
    void ConfirmarESolicitarImpressaoTransacoesPendentes() {}

    // Traces "FinalizarCupom" and does nothing else.
    void FinalizarCupom(bool DesbloquearMouseTecladoNoTermino);

    // --- Host interaction ------------------------------------------------------------------

    // Traces the message and raises OnExibeMsg (after RestaurarFocoAplicacao for opmOK,
    // opmYesNo and opmDestaqueVia); returns the handler's answer (0 without a handler). The
    // text reaches the handler through the Windows-1252 code page.
    TModalResult DoExibeMsg(TKaCliSiTefOperacaoMensagem Operacao, const std::string& Mensagem);

    // Fiscal-printer commands: each raises its event with an answer starting at −1 and returns
    // the answer; an answer of 0 or less (or no handler) raises EKaCliSiTefECF.
    int ComandarECF(TKaCliSiTefOperacaoECF Operacao);
    int ECFSubtotaliza(double DescAcres);
    int ECFPagamento(const std::string& Indice, double Valor);
    int ECFAbreVinculado(const std::string& COO, const std::string& Indice, double Valor);
    int ECFImprimeVia(TKaCliSiTefTipoRelatorio TipoRelatorio, int Via,
                      const TextLines& ImagemComprovante);

    // The answer of OnInfoECF (empty without a handler); a handler error becomes
    // EKaCliSiTefECF.
    std::string InfoECFAsString(TKaCliSiTefInfoECF Operacao);
    // The answer as a number rounded to cents ("," or "." as decimal separator), or
    // `DefaultValue` when it is not one. −98787158 is reserved to detect a failed conversion:
    // it raises EKaCliSiTefErro.
    double InfoECFAsDouble(TKaCliSiTefInfoECF Operacao, int DefaultValue);
    // The fiscal printer's state letter (C, G, L, N, O, P, R or V; lower case accepted);
    // anything else raises EKaCliSiTefECF.
    char EstadoECF();

    void RestaurarFocoAplicacao();
    void LimparTeclado();
    void BloquearMouseTeclado(bool) {}

    // Card reading through the active engine; the text read.
    std::string LerTrilha3();
    std::string LerCartaoSeguro();

private:
    friend class TCliSiTefDialogo;
    friend class TImpressaoTransacoes;

    TKaCliSiTefClass& AtivoGP() const;
    // The active engine's name (empty without one), which starts most trace lines.
    std::string NomeGP() const;
    // One trace line (UTF-8 here, Windows-1252 on file) through the active engine.
    void GravaLog(const std::string& texto) const;
    void ChecaEventosObrigatorios() const;
    void ChecaPastaBackup();
    void InicializarGP();
    void InicializarHabilitados();
    void AlteraComPendentes(bool& field, bool value, const char* name);
    // Confirms one pending response unless done already and deletes its backup files;
    // `confirmada` false when it does not stand confirmed (undone, or refused and kept).
    void ConfirmarPendente(TKaCliSiTefResp& r, bool& confirmada);
    int ComandoECF(const std::string& trace, const std::string& falhaNegativa,
                   const std::string& falhaZero, const std::function<void(int&)>& evento);
    void FalhaECF(const std::string& mensagem);

    bool fMultiplosCartoes = false;
    bool fAutoEfetuarPagamento = false;
    bool fAutoFinalizarCupom = true;
    int fNumeroMaximoCartoes = 0;
    int fNumVias = 2;
    int fEsperaSTS = 7;
    int fEsperaSleep = 250;
    std::string fPathBackup;
    std::string fArqLOG;

    TKaCliSiTefTipo fGPAtual = gpTefDial;
    // Set on the operation's thread, read by AguardandoResposta from any thread.
    std::atomic<TKaCliSiTefClass*> fTEF{nullptr};
    TKaCliSiTefReqEstado fEstadoReq = reqNenhum;
    TKaCliSiTefRespEstado fEstadoResp = respNenhum;
    std::string fCodigoRede, fCodigoBandeira, fCodigoNsu, fCodigoNSUHost, fCodigoAutorizacao;

    TKaCliSiTefRespostasPendentes fRespostasPendentes;
    TKaCliSiTefClassList fListaGP;
    TKaCliSiTefCliSiTef* fTEFCliSiTef = nullptr;
    mutable TTraceLog fTrace;  // lines written while no engine is active
};

}  // namespace tef
