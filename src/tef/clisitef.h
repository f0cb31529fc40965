// TKaCliSiTefCliSiTef: the engine that drives the payment library (libclisitef.so). It
// configures the library, runs each SiTef function as an interactive dialogue (IniciarFuncao,
// then ContinuarFuncao while the library has commands, each carried out through the
// component's events), finishes (confirms or undoes) it, and hands approved payments to the
// component's pending list.
//
// Texts: AnsiString members and arguments are Windows-1252 and go to the library as they
// stand; std::string ones are UTF-8. The host converts what it takes from the client.
//
// Thread contract: as TKaCliSiTefClass. The dialogue blocks the calling thread for as long as
// the library and the event handlers take.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "tef/class.h"
#include "tef/clisitef_library.h"

namespace tef {

class TKaCliSiTefCliSiTef : public TKaCliSiTefClass {
public:
    // Named "CliSiTef", of kind gpCliSiTef, with a CliSiTef response record.
    explicit TKaCliSiTefCliSiTef(TKaCliSiTef* AOwner);
    ~TKaCliSiTefCliSiTef() override;

    // --- Configuration ---------------------------------------------------------------------
    AnsiString CodigoLoja;
    AnsiString EnderecoIP;
    AnsiString NumeroTerminal;
    AnsiString Operador;
    // Restrictions passed to the functions (CRT sends "[10];" while it is empty).
    AnsiString Restricoes;
    // Additional configuration parameters, one per line (UTF-8).
    TextLines ParametrosAdicionais;
    // Folder of the library; empty leaves the search to the platform.
    std::string PathDLL;

    // SiTef function codes used by ADM, ATV, CHQ, CNC and CRT; the host sets OperacaoCRT
    // before each payment. OperacaoReImpressao is stored only.
    int OperacaoADM = 110;
    int OperacaoATV = 111;
    int OperacaoCHQ = 1;
    int OperacaoCNC = 200;
    int OperacaoCRT = 0;
    int OperacaoReImpressao = 112;

    // Preset answers by field type ("146" → "12,34"), Windows-1252; cleared when a function is
    // finished.
    std::map<std::string, AnsiString> Respostas;

    // Stored only.
    int NumeroParcela = 0;
    std::string CodigoBandeiraAutorizada, CodigoRedeAutorizada, CodigoNSU, CodigoNSUHost;

    // The transaction a cancellation function is undoing: while CancelandoTransacaoTEF is
    // set, the dialogue answers the date (515), NSU (516) and amount (146) from these.
    std::string CancelandoTransacaoNSU;
    platform::TDateTime CancelandoTransacaoDATA = 0;
    Money CancelandoTransacaoVALOR = 0;
    bool CancelandoTransacaoTEF = false;

    // The first hash (field 800) the library ever returned.
    std::string CodigoHASH;

    // Service mode of the engine: no message boxes, functions finished with
    // FinalizaFuncaoSiTefInterativo.
    bool ModoServico = false;

    // A date (yyyymmdd) and time (hhnnss) as the library's calls take them.
    struct TMomento {
        AnsiString data, hora;
    };

    // A function was started and not finished / is a reprint / is a refund.
    bool IniciouRequisicao() const { return fIniciouRequisicao; }
    // The library still holds a function open: started, and neither ended by the library with
    // a final status other than 0 nor finished here (an approval not yet confirmed, a
    // dialogue an event handler's error cut short, a confirmation the library refused).
    bool FuncaoAberta() const { return fDocumentoAberto.has_value(); }
    // The fiscal date and time of document `Documento`'s function, which with the document
    // name it to the library: the moment it was started with (midnight may have passed since),
    // taken from the open function or from a record of that document (the current response, a
    // backup file read back into it, an entry of the pending list); now for a document no
    // record dates (a backup file written before records kept it).
    TMomento MomentoFiscal(const AnsiString& Documento) const { return MomentoDe(Documento); }
    bool Reimpressao() const { return fReimpressao; }
    bool Devolucao() const { return fDevolucao; }

    // The payment library is loaded; any thread may ask.
    bool BibliotecaCarregada() const { return fBiblioteca.IsLoaded(); }

    // --- Lifecycle -------------------------------------------------------------------------

    // Loads the library from PathDLL, configures it (EKaCliSiTefErro with the library's
    // reason when it refuses) and recovers the transactions left in backup files. Does
    // nothing when already initialised.
    void Inicializar() override;
    // Releases the library.
    void DesInicializar() override;
    // Raises a plain error: the library cannot be activated from here.
    void AtivarGP() override;
    void VerificaAtivo() override {}
    // Always two receipt copies.
    void SetNumVias(int) override { fpNumVias = 2; }

    // --- Transactions ----------------------------------------------------------------------
    using TKaCliSiTefClass::CNC;
    using TKaCliSiTefClass::CNF;
    using TKaCliSiTefClass::NCN;

    void ATV() override;
    bool ADM() override;
    bool CRT(Money Valor, const std::string& IndiceFPG_ECF, const std::string& NumeroCartao,
             const std::string& DataVencimento, const std::string& CVV,
             const std::string& QtdParcela, const std::string& DocumentoVinculado,
             int Moeda) override;
    bool CHQ(Money Valor, const std::string& IndiceFPG_ECF, const std::string& DocumentoVinculado,
             const std::string& CMC7, char TipoPessoa, const std::string& DocumentoPessoa,
             platform::TDateTime DataCheque, const std::string& Banco, const std::string& Agencia,
             const std::string& AgenciaDC, const std::string& Conta, const std::string& ContaDC,
             const std::string& Cheque, const std::string& ChequeDC,
             const std::string& Compensacao) override;
    // Cancels an earlier payment (function OperacaoCNC) answering its date, NSU and amount.
    bool CNC(const std::string& Rede, const std::string& NSU, platform::TDateTime DataHoraTransacao,
             Money Valor) override;
    // Confirms the function of `DocumentoVinculado` (in service mode and outside it).
    TFinalizacao CNF(const std::string& Rede, const std::string& NSU,
                     const std::string& Finalizacao,
                     const std::string& DocumentoVinculado) override;
    // Undoes the running function.
    void NCN(const std::string& Rede, const std::string& NSU, const std::string& Finalizacao,
             Money Valor, const std::string& DocumentoVinculado) override;

    // Undoes the function the library still holds open (finishes it not confirmed) without
    // telling the operator, who learns the outcome from the host; nothing when none is open.
    void DesfazerFuncaoAberta();
    // Undoes the function of fiscal document `Documento`, started on `DataFiscal` (yyyymmdd) at
    // `Horario` (hhnnss; empty when unknown: the current time is sent), that an earlier run of
    // the host left approved and unconfirmed with the library (its confirmation never asked),
    // without telling the operator.
    void DesfazerFuncaoPendente(const AnsiString& Documento, const AnsiString& DataFiscal,
                                const AnsiString& Horario);

    // Confirms or undoes the running function of document `DocumentoVinculado` and forgets the
    // preset answers; every call to the library names the function by the date and time it
    // was started with. The library is not called after a reprint, nor for a document already
    // finished since the current function started (each function is settled once: the outcome
    // of that time is returned), nor outside service mode for what the start-up recovery found.
    // Outside service mode the host's OnComandaImpressao is asked first when the function
    // stored a receipt; its answer 0 turns a confirmation into an undo (Desfeita). In service
    // mode a confirmation the library seems to refuse is tried once more; Pendente when it
    // refused both: the function then stays open (pending in the library) for the host to undo.
    TFinalizacao FinalizarTransacao(bool Confirma, const AnsiString& DocumentoVinculado);

    void ProcessarResposta() override;
    bool ProcessarRespostaPagamento(const std::string& IndiceFPG_ECF, Money Valor) override;
    void VerificaRequisicaoIniciada() override;

    // --- The dialogue ----------------------------------------------------------------------

    // Starts function `Modalidade` of `Valor`; returns the library's answer (10000: go on with
    // ContinuarFuncao). Raises a plain error while a dialogue is running. `Documento` is not
    // used: the fiscal document number is the seconds since midnight.
    int32_t IniciarFuncao(int Modalidade, const AnsiString& Header, Money Valor,
                          const AnsiString& Documento, const AnsiString& Restricoes);
    // Runs the dialogue to its end and returns the final status (0 approved). The texts are
    // what the operator typed in, if anything (`QtdParcela` "0" and the rest empty
    // otherwise). An error of an event handler ends the dialogue and reaches the caller.
    int32_t ContinuarFuncao(bool Trilha3, const AnsiString& QtdParcela, const AnsiString& CVV,
                            const AnsiString& DataVencimento, const AnsiString& NumeroCartao);
    // Shows the reason of a final status other than 0 through OnExibeMsg (opmExcept).
    void AvaliaErro(int32_t status);
    // The text of AvaliaErro for `status`.
    static std::string MensagemErro(int32_t status);

    // --- PIN pad and card reading ----------------------------------------------------------

    // These three raise a plain error "Erro ao iniciar \"TEF\"" while the library is not
    // loaded.
    int32_t ObtemQuantidadeTransacoesPendentes(platform::TDateTime Data,
                                               const AnsiString& CupomFiscal);
    int32_t DefineMensagemPermanentePinPad(const AnsiString& Mensagem);
    // "PINPAD conectado com sucesso...", "Nenhum PINPAD conectado...", "Erro na DLL ou arquivo
    // .INI do PINPAD", or empty for any other answer of the library.
    std::string VerificarPresencaPinPad();

    // Reads a loyalty card's track 3 (the text ends in the component's CartaoLido).
    int32_t LerTrilha3(AnsiString& AResposta) override;
    // Reads a card directly (the text ends in the component's CartaoLido).
    int32_t LerCartaoSeguro() override;

private:
    friend class TCliSiTefDialogo;

    // The library's entry points; a plain error "Erro ao iniciar \"TEF\"" when not loaded.
    const TCliSiTefEntryPoints& Biblioteca() const;
    AnsiString ParametrosConfiguracao() const;
    void Configurar();
    int32_t ExecutarFuncao(int Modalidade, const AnsiString& Header, Money Valor,
                           const AnsiString& Documento, const AnsiString& Restricoes,
                           const AnsiString& QtdParcela, const AnsiString& CVV,
                           const AnsiString& DataVencimento, const AnsiString& NumeroCartao);
    bool ExecutarAdministrativa(int Modalidade, const AnsiString& Header,
                                const AnsiString& Restricoes);
    // The preset answers of an earlier function that ended without being finished must not
    // answer the fields of this one.
    void NovaFuncao() { Respostas.clear(); }

    static TMomento Agora();
    // See MomentoFiscal.
    TMomento MomentoDe(const AnsiString& Documento) const;

    // False when the library refused the confirmation.
    bool FinalizarModoServico(bool Confirma, const AnsiString& DocumentoVinculado);
    // FinalizaFuncaoSiTefInterativo for the function started at `inicio`, with its trace line
    // (its answer carries no outcome).
    void FinalizarFuncao(bool Confirma, const AnsiString& DocumentoVinculado,
                         const TMomento& inicio);
    // Confirms the document's function, once more when the library still seems to hold it;
    // false when it refused both times. The library's answer says nothing, so the pending
    // count of the document is taken before and after: the confirmation was refused only when
    // the count did not fall (a stale function of the same document may keep it above 0).
    bool ConfirmarModoServico(const AnsiString& DocumentoVinculado);
    // The library's pending count of the document's functions started on `data`; below 0 when
    // it cannot say.
    int32_t PendentesDoDocumento(const AnsiString& DocumentoVinculado, const AnsiString& data);
    bool FinalizarComImpressao(bool Confirma, const AnsiString& DocumentoVinculado);
    // Registers the payment on the fiscal printer, asking to retry while it fails; giving up
    // (or another error) undoes the pending transactions.
    void RegistrarPagamentoECF(const std::string& IndiceFPG_ECF, Money Valor,
                               TKaCliSiTefResp& copia);
    void DesfazerPendentes() noexcept;
    void MensagemAoOperador(const std::string& mensagem);

    // Documents confirmed or undone since the current function started, with the outcome.
    std::map<AnsiString, TFinalizacao> fDocumentosFinalizados;
    // Document of the function the library holds open (see FuncaoAberta).
    std::optional<AnsiString> fDocumentoAberto;
    // Fiscal date and time the last function was started with.
    TMomento fInicio;
    bool fIniciouRequisicao = false;
    bool fReimpressao = false;
    bool fDevolucao = false;
    TCliSiTefLibrary fBiblioteca;
};

}  // namespace tef
