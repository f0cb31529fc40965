#include "tef/impressao_transacoes.h"

#include <algorithm>
#include <exception>

#include "tef/clisitef.h"
#include "tef/errors.h"
#include "tef/kaclisitef.h"

namespace tef {
namespace {

// Groups from this order up are printed into management reports.
constexpr int32_t kOrdemGerencial = 999;

bool DoGrupo(const TKaCliSiTefResp& r, const TKaCliSiTefGrupoRespostasPendentes& grupo) {
    return r.OrdemPagamento() == grupo.OrdemPagamento && r.IndiceFPG_ECF() == grupo.IndiceFPG_ECF;
}

}  // namespace

TImpressaoTransacoes::TImpressaoTransacoes(TKaCliSiTef& componente)
    : fComponente(componente),
      fPendentes(componente.RespostasPendentes()),
      fImpressora(componente) {}

void TImpressaoTransacoes::Executar() {
    if (fPendentes.Empty()) return;
    fComponente.GravaLog("ImprimirTransacoesPendentes");
    fImpressora.Liberar(TImpressoraFiscal::TCupomAberto::Finalizar);
    fComponente.AgruparRespostasPendentes(fGrupos);
    Concluir(ImprimirComRetentativas(fComponente, [this](bool repeticao) {
        // What failed once is printed again into one management report.
        if (repeticao) fGerencial = true;
        Passo();
    }));
}

void TImpressaoTransacoes::Passo() {
    fAberto.reset();
    try {
        if (fGerencial) {
            PassoGerencial();
        } else {
            PassoPorGrupo();
        }
    } catch (...) {
        fImpressora.RemoverTextosSemFalhar();
        throw;
    }
    fImpressora.RemoverTextos();
}

void TImpressaoTransacoes::PassoGerencial() {
    fImpressora.Liberar(TImpressoraFiscal::TCupomAberto::Manter);
    for (int i = 0; i < fPendentes.Count(); ++i) ImprimirResposta(i, nullptr);
    FecharRelatorio();
}

void TImpressaoTransacoes::PassoPorGrupo() {
    for (const TKaCliSiTefGrupoRespostasPendentes& grupo : fGrupos) {
        if (grupo.OrdemPagamento >= kOrdemGerencial) fGerencial = true;
        // A group is its payment form and order together: by order alone, payments of two
        // forms not registered on the printer (order 0) would each be printed twice.
        for (int i = 0; i < fPendentes.Count(); ++i) {
            if (DoGrupo(fPendentes.Objects(i), grupo)) ImprimirResposta(i, &grupo);
        }
        FecharRelatorio();
    }
}

void TImpressaoTransacoes::ImprimirResposta(int indice,
                                            const TKaCliSiTefGrupoRespostasPendentes* grupo) {
    const TKaCliSiTefResp& r = fPendentes.Objects(indice);
    const bool ultima = indice == fPendentes.Count() - 1;
    fComponente.SetGPAtual(r.TipoGP);
    const TRelogio::Instante inicio = fComponente.Relogio.Agora();
    int vias = fComponente.TEF() != nullptr ? fComponente.TEF()->NumVias() : 0;
    if (r.ImagemComprovante2aVia.empty()) vias = std::min(vias, 1);
    if (r.ImagemComprovante1aVia.empty()) vias = 0;
    if (vias == 0) {
        MostrarTextosEspeciais(r);
    } else {
        fImpressora.ExibirTextos(r.TextoEspecialOperador, r.TextoEspecialCliente);
        AbrirRelatorio(r, grupo);
    }
    const TKaCliSiTefTipoRelatorio tipo = fGerencial ? trGerencial : trVinculado;
    for (int via = 1; via <= vias; ++via) {
        fComponente.ECFImprimeVia(tipo, via,
                                  via == 1 ? r.ImagemComprovante1aVia : r.ImagemComprovante2aVia);
        if (tipo == trGerencial && (via < vias || !ultima)) fImpressora.DestacarVia(via);
    }
    fImpressora.AguardarERemoverTextos(inicio, fComponente.EsperaSTS());
    AnotarAutenticacao(r, ultima);
}

void TImpressaoTransacoes::MostrarTextosEspeciais(const TKaCliSiTefResp& r) {
    const std::string& operador = r.TextoEspecialOperador;
    const std::string& cliente = r.TextoEspecialCliente;
    if (operador.empty() && cliente.empty()) return;
    fComponente.DoExibeMsg(opmOK, operador + (operador.empty() ? "" : "\r\n\r\n") + cliente);
}

void TImpressaoTransacoes::AbrirRelatorio(const TKaCliSiTefResp& r,
                                          const TKaCliSiTefGrupoRespostasPendentes* grupo) {
    if (fAberto) return;
    if (fGerencial || grupo == nullptr) {
        fComponente.ComandarECF(opeAbreGerencial);
        fAberto = trGerencial;
    } else {
        fComponente.ECFAbreVinculado(r.DocumentoVinculado, grupo->IndiceFPG_ECF,
                                     MoneyToDouble(grupo->Total));
        fAberto = trVinculado;
    }
}

void TImpressaoTransacoes::FecharRelatorio() {
    if (!fAberto) return;
    const TKaCliSiTefTipoRelatorio aberto = *fAberto;
    fAberto.reset();
    fComponente.ComandarECF(aberto == trGerencial ? opeFechaGerencial : opeFechaVinculado);
}

void TImpressaoTransacoes::AnotarAutenticacao(const TKaCliSiTefResp& r, bool ultima) {
    if (fComponente.ExibirMsgAutenticacao && !r.Autenticacao.empty())
        fNota = "Favor anotar no verso do Cheque:\r\n" + r.Autenticacao;
    if (ultima || fNota.empty()) return;
    fComponente.DoExibeMsg(opmOK, fNota);
    fNota.clear();
}

void TImpressaoTransacoes::Concluir(bool impresso) {
    std::exception_ptr falha;
    try {
        Liquidar(impresso);
    } catch (...) {
        // The note and the emptied list are still due; the failure is raised afterwards.
        falha = std::current_exception();
    }
    if (!fNota.empty()) fComponente.DoExibeMsg(opmOK, fNota);
    fPendentes.Clear();
    if (falha) std::rethrow_exception(falha);
}

void TImpressaoTransacoes::Liquidar(bool impresso) {
    const bool modoServico = fComponente.TEFCliSiTef().ModoServico;
    if (impresso) {
        if (!modoServico) fComponente.ConfirmarTransacoesPendentes();
        return;
    }
    try {
        fComponente.ComandarECF(opeCancelaCupom);
    } catch (const std::exception&) {
        // The coupon may be gone already; the transactions are undone anyway.
    }
    if (!modoServico) fComponente.CancelarTransacoesPendentes();
}

}  // namespace tef
