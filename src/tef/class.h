// TKaCliSiTefClass: the contract between the TEF component (TKaCliSiTef, its owner) and a
// payment engine, and what every engine shares: the current request and response records, the
// trace log, the amount check before a payment, and the backup files that let an approved
// transaction outlive the process until it is confirmed or undone.
//
// Backup files live in the component's PathBackup and are named
// "KaCliSiTef_<engine name>_<nnn>.tef" (nnn from 001 to 999, the first free one).
//
// Thread contract: an engine runs on the thread that calls it, one operation at a time (the
// host guards that). AguardandoResposta may be read from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "tef/money.h"
#include "tef/req.h"
#include "tef/resp.h"
#include "tef/trace_log.h"
#include "tef/types.h"

namespace tef {

class TKaCliSiTef;

// How finishing a transaction with the payment library ended.
enum class TFinalizacao {
    Confirmada,  // confirmed (or nothing to confirm, as after a reprint)
    Desfeita,    // undone: asked so, or its receipt could not be printed
    Pendente,    // the library refused the confirmation and still holds it pending
};

class TKaCliSiTefClass {
public:
    TKaCliSiTefClass(const TKaCliSiTefClass&) = delete;
    TKaCliSiTefClass& operator=(const TKaCliSiTefClass&) = delete;
    virtual ~TKaCliSiTefClass();

    TKaCliSiTef& Owner() const { return fOwner; }
    // Part of the backup file names ("CliSiTef").
    const std::string& Name() const { return fName; }
    TKaCliSiTefTipo Tipo() const { return fpTipo; }

    // Trace file; empty writes no trace.
    const std::string& ArqLOG() const { return fArqLOG; }
    void SetArqLOG(const std::string& value) { fArqLOG = value; }

    // Set by the component once it has started this engine; operations on "all engines" of the
    // component touch only enabled ones.
    bool Habilitado() const { return fHabilitado; }
    void SetHabilitado(bool value) { fHabilitado = value; }

    bool Inicializado() const { return fpInicializado; }
    // True runs Inicializar, False runs DesInicializar.
    void SetInicializado(bool value);

    // True while the interactive dialogue of a function runs.
    bool AguardandoResposta() const { return fpAguardandoResposta; }

    int NumVias() const { return fpNumVias; }
    virtual void SetNumVias(int value) { fpNumVias = value; }

    // Request sequence number: seconds since midnight when the engine was created, then the
    // fiscal document number of the last function started.
    int32_t IDSeq() const { return fpIDSeq; }

    TKaCliSiTefReq& Req() const { return *fpReq; }
    TKaCliSiTefResp& Resp() const { return *fpResp; }

    // Files of an engine that exchanges request files with a payment manager program; none of
    // the engines of this system does, so they are empty.
    const std::string& ArqReq() const { return fArqReq; }
    const std::string& ArqTmp() const { return fArqTmp; }
    const std::string& ArqResp() const { return fArqResp; }
    const std::string& ArqSTS() const { return fArqSTS; }
    const std::string& GPExeName() const { return fGPExeName; }

    // --- Lifecycle -------------------------------------------------------------------------
    virtual void Inicializar() = 0;
    // Marks the engine stopped and traces it; engines release what they hold first.
    virtual void DesInicializar();
    virtual void AtivarGP() = 0;
    virtual void VerificaAtivo() = 0;

    // --- Transactions ----------------------------------------------------------------------
    virtual void ATV() = 0;
    virtual bool ADM() = 0;
    virtual bool CRT(Money Valor, const std::string& IndiceFPG_ECF, const std::string& NumeroCartao,
                     const std::string& DataVencimento, const std::string& CVV,
                     const std::string& QtdParcela, const std::string& DocumentoVinculado,
                     int Moeda) = 0;
    virtual bool CHQ(Money Valor, const std::string& IndiceFPG_ECF,
                     const std::string& DocumentoVinculado, const std::string& CMC7,
                     char TipoPessoa, const std::string& DocumentoPessoa,
                     platform::TDateTime DataCheque, const std::string& Banco,
                     const std::string& Agencia, const std::string& AgenciaDC,
                     const std::string& Conta, const std::string& ContaDC,
                     const std::string& Cheque, const std::string& ChequeDC,
                     const std::string& Compensacao) = 0;

    // Undo / confirm / cancel one transaction. The forms without arguments act on the current
    // response (its Rede, NSU, Finalizacao, ValorTotal, DocumentoVinculado). A confirmation
    // tells how it really ended: an engine may have to undo instead.
    void NCN();
    virtual void NCN(const std::string& Rede, const std::string& NSU,
                     const std::string& Finalizacao, Money Valor,
                     const std::string& DocumentoVinculado) = 0;
    TFinalizacao CNF();
    virtual TFinalizacao CNF(const std::string& Rede, const std::string& NSU,
                             const std::string& Finalizacao,
                             const std::string& DocumentoVinculado) = 0;
    bool CNC();
    virtual bool CNC(const std::string& Rede, const std::string& NSU,
                     platform::TDateTime DataHoraTransacao, Money Valor) = 0;

    // After an approved administrative function / payment.
    virtual void ProcessarResposta() = 0;
    virtual bool ProcessarRespostaPagamento(const std::string& IndiceFPG_ECF, Money Valor) = 0;

    // Raises EKaCliSiTefErro "Nenhuma Requisição Iniciada" when no request was started.
    virtual void VerificaRequisicaoIniciada();

    // Card reading; results as the library gives them.
    virtual int32_t LerTrilha3(AnsiString& AResposta) = 0;
    virtual int32_t LerCartaoSeguro() = 0;

    // --- Pending transactions --------------------------------------------------------------

    // Checks the amount of a payment about to start and records it as the pending list's
    // SaldoAPagar. Raises a plain error: "Valor inválido" (not above 0 after rounding to
    // cents), the change limit (TrocoMaximo) or the card-count limit (MultiplosCartoes).
    virtual void VerificaValor(Money Valor);

    // Writes the current response to the first free backup file, stores the name in the
    // response's ArqBackup and returns it in `NomeArquivo`. The file is written under a
    // temporary name, flushed and renamed into place, so a crash or power cut leaves it whole
    // or absent, never empty or cut short. A write that fails (a full disk, a read-only
    // folder) is traced with the system's reason, leaves no file and `NomeArquivo` as it was,
    // and raises EKaCliSiTefArquivo; so do all 999 names taken.
    virtual void CopiarResposta(std::string& NomeArquivo);

    // Start-up recovery: temporary files of backups whose writing never finished are removed;
    // every backup file of this engine is read, confirmed (CNF) and deleted; the recovered
    // responses are handed to OnDepoisConfirmarTransacoes and one message lists their NSUs and
    // document numbers. An entry that cannot be confirmed keeps its file (and is traced) for a
    // later run; a file that cannot be deleted is traced with the system's reason.
    virtual void RecuperarTransacoesPendentes();

    // Undoes every transaction kept in a backup file of this engine (unconfirmed ones and
    // administrative ones first), once per document, deleting each file it settled. An entry
    // that cannot be undone keeps its file; the others are still tried, and afterwards the
    // first failure is raised.
    virtual void CancelarTransacoesPendentesClass();

    // Prints the receipt of an administrative function (the current response) into a
    // management report through the fiscal-printer events, then confirms the function (or
    // undoes it when the operator gave up, raising EKaCliSiTefECF "Impressão de Relatório
    // Falhou") and removes its backup file. Nothing without receipt lines.
    virtual void ImprimirRelatorio();

    // Appends one trace line (Windows-1252) to ArqLOG; never fails.
    void GravaLog(const AnsiString& AString) const noexcept;
    // A trace line that goes out with the next one (or DescarregaLog), in the same write.
    void GravaLogAdiado(const AnsiString& AString) const noexcept;
    void DescarregaLog() const noexcept;

    // Full path of backup file number `contador` (1 to 999).
    std::string NomeArquivoBackup(int contador) const;
    // Full paths of this engine's backup files, in name order.
    std::vector<std::string> ArquivosBackup() const;

protected:
    // Raises EKaCliSiTefErro "TKaCliSiTefClass deve ser criado por TKaCliSiTef" when `AOwner`
    // is null. `resp` becomes the engine's current response record.
    TKaCliSiTefClass(TKaCliSiTef* AOwner, std::string AName, TKaCliSiTefTipo ATipo,
                     std::unique_ptr<TKaCliSiTefResp> resp);

    // A copy of `source` in the response kind whose properties are derived from its content.
    static std::unique_ptr<TKaCliSiTefResp> CopiaResposta(const TKaCliSiTefResp& source);

    std::atomic<bool> fpAguardandoResposta{false};
    bool fpInicializado = false;
    int32_t fpIDSeq = 0;
    int fpNumVias = 2;

private:
    static TKaCliSiTef& OwnerOf(TKaCliSiTef* AOwner);
    std::string PastaBackup() const;
    std::vector<std::string> OrdenarParaCancelamento(std::vector<std::string> arquivos);
    bool JaDesfeita(const std::vector<std::unique_ptr<TKaCliSiTefResp>>& desfeitas) const;
    // Deletes a backup file; a failure is traced as "<contexto>: <why>".
    void ApagarBackup(const std::string& arquivo, const std::string& contexto);
    void RemoverGravacoesIncompletas();
    void DesfazerRespostaAtual();

    TKaCliSiTef& fOwner;
    std::string fName;
    TKaCliSiTefTipo fpTipo;
    std::string fArqLOG;
    bool fHabilitado = false;
    std::unique_ptr<TKaCliSiTefReq> fpReq;
    std::unique_ptr<TKaCliSiTefResp> fpResp;
    std::string fArqReq, fArqTmp, fArqResp, fArqSTS, fGPExeName;
    mutable TTraceLog fTrace;
};

}  // namespace tef
