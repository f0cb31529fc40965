#include "tef/impressora_fiscal.h"

#include "tef/errors.h"
#include "tef/kaclisitef.h"

namespace tef {

bool DesejaImprimirNovamente(TKaCliSiTef& componente) {
    return componente.DoExibeMsg(opmYesNo,
                                 "Impressora não responde\r\nDeseja imprimir novamente ?") == mrYes;
}

bool ImprimirComRetentativas(TKaCliSiTef& componente,
                             const std::function<void(bool repeticao)>& passo) {
    for (bool repeticao = false;; repeticao = true) {
        try {
            passo(repeticao);
            return true;
        } catch (const EKaCliSiTefECF&) {
            // The operator decides below.
        }
        if (!DesejaImprimirNovamente(componente)) return false;
    }
}

TImpressoraFiscal::TImpressoraFiscal(TKaCliSiTef& componente) : fComponente(componente) {}

void TImpressoraFiscal::Liberar(TCupomAberto cupom) {
    const char estado = fComponente.EstadoECF();
    if (estado == 'L') return;
    Encerrar(estado, cupom);
    // Asked again whatever was sent, or nothing: the printer may have finished what kept it
    // busy meanwhile.
    if (fComponente.EstadoECF() != 'L') throw EKaCliSiTefECF("ECF não está LIVRE");
}

void TImpressoraFiscal::Encerrar(char estado, TCupomAberto cupom) {
    switch (estado) {
        case 'C':
            fComponente.ComandarECF(opeFechaVinculado);
            break;
        case 'G':
        case 'R':
            fComponente.ComandarECF(opeFechaGerencial);
            break;
        case 'N':
        case 'P':
        case 'V':
            if (cupom == TCupomAberto::Cancelar) fComponente.ComandarECF(opeCancelaCupom);
            if (cupom == TCupomAberto::Finalizar) fComponente.FinalizarCupom(false);
            break;
        default:
            break;  // nothing this side can send
    }
}

void TImpressoraFiscal::DestacarVia(int via) {
    fComponente.ComandarECF(opePulaLinhas);
    fComponente.DoExibeMsg(opmDestaqueVia, "Destaque a " + std::to_string(via) + "ª Via");
}

void TImpressoraFiscal::ExibirTextos(const std::string& operador, const std::string& cliente) {
    if (!operador.empty()) {
        fComponente.DoExibeMsg(opmExibirMsgOperador, operador);
        fTextosExibidos = true;
    }
    if (!cliente.empty()) {
        fComponente.DoExibeMsg(opmExibirMsgCliente, cliente);
        fTextosExibidos = true;
    }
}

void TImpressoraFiscal::AguardarERemoverTextos(TRelogio::Instante inicio, int passoMs) {
    if (!fTextosExibidos) return;
    // Without a desktop there are no window messages to process while waiting.
    fComponente.Relogio.AguardarDesde(inicio, fComponente.TempoMinimoTextos,
                                      std::chrono::milliseconds(passoMs));
    RemoverTextos();
}

void TImpressoraFiscal::RemoverTextos() {
    if (!fTextosExibidos) return;
    fTextosExibidos = false;
    fComponente.DoExibeMsg(opmRemoverMsgOperador, "");
    fComponente.DoExibeMsg(opmRemoverMsgCliente, "");
}

void TImpressoraFiscal::RemoverTextosSemFalhar() noexcept {
    try {
        RemoverTextos();
    } catch (...) {
    }
}

}  // namespace tef
