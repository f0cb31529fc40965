// What the receipt printing asks of the fiscal printer and of the operator, on top of the
// component's fiscal-printer operations: freeing the printer before a report, cutting between
// copies, keeping the operator and customer texts of a receipt on screen for a minimum time,
// and the question whether to print again after the printer failed.
//
// Failures of the printer are EKaCliSiTefECF, as the component's operations raise them.
// Runs on the thread of the operation that prints; no locking.
#pragma once

#include <functional>
#include <string>

#include "tef/relogio.h"

namespace tef {

class TKaCliSiTef;

// Asks the operator (opmYesNo) "Impressora não responde / Deseja imprimir novamente ?"; true
// for yes.
bool DesejaImprimirNovamente(TKaCliSiTef& componente);

// Runs printing passes until one returns (true) or, after a pass failed with EKaCliSiTefECF,
// the operator does not want to print again (false). `passo` is told whether it repeats a
// failed pass. Other errors leave at once.
bool ImprimirComRetentativas(TKaCliSiTef& componente,
                             const std::function<void(bool repeticao)>& passo);

class TImpressoraFiscal {
public:
    // What freeing the printer does with a coupon still open (states N, P and V).
    enum class TCupomAberto {
        Finalizar,  // FinalizarCupom, which cannot end it: the printer stays busy
        Manter,     // left alone: only reports are closed
        Cancelar,   // opeCancelaCupom
    };

    explicit TImpressoraFiscal(TKaCliSiTef& componente);

    // Closes an open linked report (state C) or management report (G, R) and deals with an
    // open coupon as `cupom` says; any other state gets nothing sent. Unless the printer was
    // free (L), its state is asked again, and EKaCliSiTefECF "ECF não está LIVRE" raised when
    // it is still not free.
    void Liberar(TCupomAberto cupom);

    // Feeds paper and asks the operator to tear off copy `via` ("Destaque a 1ª Via").
    void DestacarVia(int via);

    // Shows the operator text (opmExibirMsgOperador) and the customer text
    // (opmExibirMsgCliente), each only when not empty.
    void ExibirTextos(const std::string& operador, const std::string& cliente);
    // When texts are shown: keeps them until the component's minimum display time has passed
    // since `inicio`, checking every `passoMs` milliseconds, then removes them.
    void AguardarERemoverTextos(TRelogio::Instante inicio, int passoMs);
    // When texts are shown: removes both.
    void RemoverTextos();
    // The same on a path that is already failing: an error of the host is not allowed to hide
    // the one that is on its way.
    void RemoverTextosSemFalhar() noexcept;

private:
    // Sends what ends the state `estado`, if anything.
    void Encerrar(char estado, TCupomAberto cupom);

    TKaCliSiTef& fComponente;
    bool fTextosExibidos = false;
};

}  // namespace tef
