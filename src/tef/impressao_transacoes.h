// The receipts of the component's pending responses printed on the fiscal printer through the
// component's events, then the responses confirmed (printed) or undone (the operator gave up),
// and the pending list emptied.
//
// A pass prints each payment group (same payment form and order) into a linked report of the
// group's total, or into management reports from a group of order 999 up. When a pass fails
// with EKaCliSiTefECF the operator is asked to retry; every retry prints everything into one
// management report, with a cut between copies. Any other error leaves at once, the pending
// list untouched.
//
// Runs on the thread of the operation that prints; no locking.
#pragma once

#include <optional>
#include <string>

#include "tef/impressora_fiscal.h"
#include "tef/respostas_pendentes.h"
#include "tef/types.h"

namespace tef {

class TKaCliSiTef;

class TImpressaoTransacoes {
public:
    explicit TImpressaoTransacoes(TKaCliSiTef& componente);

    // Nothing with an empty pending list. A printer that cannot be freed before the first pass
    // raises EKaCliSiTefECF "ECF não está LIVRE" and leaves everything as it was.
    void Executar();

private:
    void Passo();
    void PassoGerencial();
    void PassoPorGrupo();
    void ImprimirResposta(int indice, const TKaCliSiTefGrupoRespostasPendentes* grupo);
    void MostrarTextosEspeciais(const TKaCliSiTefResp& r);
    void AbrirRelatorio(const TKaCliSiTefResp& r, const TKaCliSiTefGrupoRespostasPendentes* grupo);
    void FecharRelatorio();
    void AnotarAutenticacao(const TKaCliSiTefResp& r, bool ultima);
    void Concluir(bool impresso);
    void Liquidar(bool impresso);

    TKaCliSiTef& fComponente;
    TKaCliSiTefRespostasPendentes& fPendentes;
    TImpressoraFiscal fImpressora;
    TKaCliSiTefArrayGrupoRespostasPendentes fGrupos;
    // Everything from here on goes into management reports.
    bool fGerencial = false;
    // The report open on the printer, if any.
    std::optional<TKaCliSiTefTipoRelatorio> fAberto;
    // The cheque authentication the operator is still to be shown.
    std::string fNota;
};

}  // namespace tef
