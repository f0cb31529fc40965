#include "tef/impressao_relatorio.h"

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "tef/class.h"
#include "tef/errors.h"
#include "tef/kaclisitef.h"

namespace tef {

TImpressaoRelatorio::TImpressaoRelatorio(TKaCliSiTefClass& engine)
    : fEngine(engine), fResp(engine.Resp()), fImpressora(engine.Owner()) {}

void TImpressaoRelatorio::Executar() {
    fEngine.VerificaRequisicaoIniciada();
    if (fResp.QtdLinhasComprovante <= 0) return;
    fEngine.GravaLog(
        platform::Utf8ToCp1252(fEngine.Name() + " ImprimirRelatorio: " + fEngine.Req().Header()));
    std::string arquivo;
    fEngine.CopiarResposta(arquivo);
    bool impresso = false;
    try {
        impresso = ImprimirComRetentativas(fEngine.Owner(), [this](bool) { Passo(); });
    } catch (...) {
        Liquidar(false, arquivo);
        throw;
    }
    Liquidar(impresso, arquivo);
    if (!impresso) throw EKaCliSiTefECF("Impressão de Relatório Falhou");
}

void TImpressaoRelatorio::Passo() {
    TKaCliSiTef& componente = fEngine.Owner();
    fImpressora.Liberar(TImpressoraFiscal::TCupomAberto::Cancelar);
    const TRelogio::Instante inicio = componente.Relogio.Agora();
    try {
        fImpressora.ExibirTextos(fResp.TextoEspecialOperador, fResp.TextoEspecialCliente);
        ImprimirVias();
    } catch (...) {
        // No waiting after a failed pass.
        fImpressora.RemoverTextosSemFalhar();
        throw;
    }
    fImpressora.AguardarERemoverTextos(inicio, componente.EsperaSleep());
}

void TImpressaoRelatorio::ImprimirVias() {
    TKaCliSiTef& componente = fEngine.Owner();
    bool impressa = false;
    for (int via = 1; via <= fEngine.NumVias(); ++via) {
        const TextLines& imagem =
            via == 1 ? fResp.ImagemComprovante1aVia : fResp.ImagemComprovante2aVia;
        if (imagem.empty()) continue;
        if (impressa) {
            fImpressora.DestacarVia(via);
        } else {
            componente.ComandarECF(opeAbreGerencial);
        }
        componente.ECFImprimeVia(trGerencial, via, imagem);
        impressa = true;
    }
    if (impressa) componente.ComandarECF(opeFechaGerencial);
}

void TImpressaoRelatorio::Liquidar(bool impresso, const std::string& arquivo) {
    if (!platform::FileExists(arquivo)) return;
    try {
        if (impresso) {
            fEngine.CNF();
        } else {
            fEngine.NCN();
        }
    } catch (const std::exception& e) {
        fEngine.GravaLog(platform::Utf8ToCp1252(
            fEngine.Name() + " ImprimirRelatorio: " + (impresso ? "CNF" : "NCN") +
            " falhou: " + e.what()));
    } catch (...) {
    }
    // Deleted once: a file that cannot go stays for the next start-up, which confirms it.
    const platform::FileStatus apagado = platform::DeleteFile(arquivo);
    if (!apagado && platform::FileExists(arquivo)) {
        fEngine.GravaLog(platform::Utf8ToCp1252("Erro ao apagar o arquivo: " + arquivo + " - " +
                                                apagado.Reason()));
    }
}

}  // namespace tef
