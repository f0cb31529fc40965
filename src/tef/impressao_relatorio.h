// The receipt of an administrative function (the engine's current response) printed into a
// management report on the fiscal printer through the component's events, after which the
// function is confirmed (printed) or undone and its backup file removed.
//
// The response is backed up first, so that it survives a crash while printing. A pass that
// fails with EKaCliSiTefECF leads to the operator's retry question; giving up undoes the
// function and raises EKaCliSiTefECF "Impressão de Relatório Falhou". Any other error undoes it
// too and reaches the caller. Either way the function is settled with the library once and no
// backup file is left behind.
//
// Runs on the thread of the operation that prints; no locking.
#pragma once

#include <string>

#include "tef/impressora_fiscal.h"

namespace tef {

class TKaCliSiTefClass;
class TKaCliSiTefResp;

class TImpressaoRelatorio {
public:
    explicit TImpressaoRelatorio(TKaCliSiTefClass& engine);

    // Raises EKaCliSiTefErro "Nenhuma Requisição Iniciada" without a running function; nothing
    // more when the response has no receipt lines.
    void Executar();

private:
    void Passo();
    void ImprimirVias();
    void Liquidar(bool impresso, const std::string& arquivo);

    TKaCliSiTefClass& fEngine;
    TKaCliSiTefResp& fResp;
    TImpressoraFiscal fImpressora;
};

}  // namespace tef
