#include "tef/class.h"

#include <algorithm>
#include <exception>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "tef/ansi_text.h"
#include "tef/errors.h"
#include "tef/impressao_relatorio.h"
#include "tef/kaclisitef.h"
#include "tef/resp_clisitef.h"
#include "tef/trace_log.h"

namespace tef {
namespace {

// Counters are written with three digits.
constexpr int kUltimoContadorBackup = 999;

int32_t SegundosDesdeMeiaNoite() {
    platform::LocalDateTime agora = platform::Now();
    return agora.hour * 3600 + agora.minute * 60 + agora.second;
}

std::string LinhaSeNaoVazia(const std::string& texto) {
    std::string valor = Trim(texto);
    return valor.empty() ? "" : valor + "\r\n";
}

// "Name falhou: message", for an entry that could not be settled and keeps its file.
AnsiString TextoFalha(const std::string& contexto, const std::string& arquivo,
                      const std::exception& e) {
    return platform::Utf8ToCp1252(contexto + " falhou: " + arquivo + " - " + e.what());
}

}  // namespace

TKaCliSiTefClass::TKaCliSiTefClass(TKaCliSiTef* AOwner, std::string AName, TKaCliSiTefTipo ATipo,
                                   std::unique_ptr<TKaCliSiTefResp> resp)
    : fpIDSeq(SegundosDesdeMeiaNoite()),
      fOwner(OwnerOf(AOwner)),
      fName(std::move(AName)),
      fpTipo(ATipo),
      fpReq(std::make_unique<TKaCliSiTefReq>()),
      fpResp(std::move(resp)) {
    if (!fpResp) fpResp = std::make_unique<TKaCliSiTefResp>();
    fpResp->TipoGP = fpTipo;
    fTrace.SetFailureReport(
        [this](const platform::FileStatus& status) { fOwner.AvisaFalhaLog(status); });
    fOwner.SetEstadoReq(reqNenhum);
    fOwner.SetEstadoResp(respNenhum);
}

TKaCliSiTefClass::~TKaCliSiTefClass() = default;

TKaCliSiTef& TKaCliSiTefClass::OwnerOf(TKaCliSiTef* AOwner) {
    if (AOwner == nullptr)
        throw EKaCliSiTefErro("TKaCliSiTefClass deve ser criado por TKaCliSiTef");
    return *AOwner;
}

void TKaCliSiTefClass::SetInicializado(bool value) {
    if (value) {
        Inicializar();
    } else {
        DesInicializar();
    }
}

void TKaCliSiTefClass::DesInicializar() {
    fpInicializado = false;
    GravaLog(fName + " DesInicializado");
}

void TKaCliSiTefClass::NCN() {
    const TKaCliSiTefResp& r = *fpResp;
    NCN(r.Rede, r.NSU, r.Finalizacao, r.ValorTotal, r.DocumentoVinculado);
}

TFinalizacao TKaCliSiTefClass::CNF() {
    const TKaCliSiTefResp& r = *fpResp;
    return CNF(r.Rede, r.NSU, r.Finalizacao, r.DocumentoVinculado);
}

bool TKaCliSiTefClass::CNC() {
    const TKaCliSiTefResp& r = *fpResp;
    return CNC(r.Rede, r.NSU, r.DataHoraTransacaoComprovante, r.ValorTotal);
}

void TKaCliSiTefClass::VerificaRequisicaoIniciada() {
    if (fpReq->Header().empty()) throw EKaCliSiTefErro("Nenhuma Requisição Iniciada");
}

void TKaCliSiTefClass::VerificaValor(Money Valor) {
    const Money valor = RoundToCents(Valor);
    if (valor <= 0) throw EKaCliSiTef("Valor inválido");
    TKaCliSiTefRespostasPendentes& pendentes = fOwner.RespostasPendentes();
    pendentes.SaldoAPagar = valor;
    const Money troco = MoneyFromDouble(fOwner.TrocoMaximo);
    if (troco > 0 && valor > pendentes.SaldoRestante() + troco) {
        throw EKaCliSiTef("Operação TEF permite Troco Máximo de R$ " + MoneyToAmountText(troco));
    }
    const int maximo = fOwner.NumeroMaximoCartoes();
    if (fOwner.MultiplosCartoes() && maximo > 0 && pendentes.Count() >= maximo) {
        throw EKaCliSiTef("Multiplos Cartões Limitado a " + std::to_string(maximo) + " operações.");
    }
}

// --- Backup files ------------------------------------------------------------------------

std::string TKaCliSiTefClass::PastaBackup() const {
    return platform::IncludeTrailingSeparator(fOwner.PathBackup());
}

std::string TKaCliSiTefClass::NomeArquivoBackup(int contador) const {
    return PastaBackup() + "KaCliSiTef_" + fName + "_" + ZeroPadded(contador, 3).substr(0, 3) +
           ".tef";
}

std::vector<std::string> TKaCliSiTefClass::ArquivosBackup() const {
    const std::string pasta = PastaBackup();
    std::vector<std::string> nomes = platform::ListFiles(pasta, "KaCliSiTef_" + fName + "_*.tef");
    // Name order, so that recovery and cancellation follow the order the files were written
    // in whatever order the file system lists them.
    std::sort(nomes.begin(), nomes.end());
    for (auto& nome : nomes) nome = pasta + nome;
    return nomes;
}

void TKaCliSiTefClass::CopiarResposta(std::string& NomeArquivo) {
    int contador = 1;
    while (contador <= kUltimoContadorBackup && platform::FileExists(NomeArquivoBackup(contador)))
        ++contador;
    if (contador > kUltimoContadorBackup) {
        throw EKaCliSiTefArquivo("Não há nome livre para o arquivo de backup em:\r\n" +
                                 PastaBackup());
    }
    const std::string nome = NomeArquivoBackup(contador);
    GravaLog(platform::Utf8ToCp1252(fOwner.Name + " CopiarResposta: " + fpResp->Header + " - " +
                                    std::to_string(fpResp->ID) + " Arq: " + nome));
    try {
        fpResp->Conteudo.GravarArquivo(nome, true);
    } catch (const std::exception& e) {
        GravaLog(TextoFalha(fName + " CopiarResposta", nome, e));
        // Even a file that made it to its name, but perhaps not to the disk, goes: the caller
        // undoes a transaction it could not back up, and no start-up may confirm it later.
        platform::DeleteFile(nome);
        throw;
    }
    fpResp->SetArqBackup(nome);
    NomeArquivo = nome;
}

void TKaCliSiTefClass::ApagarBackup(const std::string& arquivo, const std::string& contexto) {
    if (platform::FileStatus apagado = platform::DeleteFile(arquivo); !apagado)
        GravaLog(platform::Utf8ToCp1252(contexto + ": " + apagado.Message()));
}

void TKaCliSiTefClass::RemoverGravacoesIncompletas() {
    // A backup whose durable write never finished was never put in place: its transaction was
    // not backed up (the library undoes what nobody confirms) and its content may be cut short.
    const std::string pasta = PastaBackup();
    const std::string mascara =
        "KaCliSiTef_" + fName + "_*.tef" + std::string(platform::kTemporarySuffix);
    for (const std::string& nome : platform::ListFiles(pasta, mascara)) {
        GravaLog(platform::Utf8ToCp1252(fName + " RecuperarTransacoesPendentes: gravação " +
                                        "incompleta descartada: " + pasta + nome));
        ApagarBackup(pasta + nome, fName + " RecuperarTransacoesPendentes");
    }
}

std::unique_ptr<TKaCliSiTefResp> TKaCliSiTefClass::CopiaResposta(const TKaCliSiTefResp& source) {
    // The CliSiTef response derives its properties from the content; a plain response would
    // leave them empty.
    auto copia = std::make_unique<TKaCliSiTefRespCliSiTef>();
    copia->Assign(source);
    return copia;
}

void TKaCliSiTefClass::RecuperarTransacoesPendentes() {
    TKaCliSiTefRespostasPendentes& pendentes = fOwner.RespostasPendentes();
    pendentes.Clear();
    RemoverGravacoesIncompletas();
    const std::vector<std::string> arquivos = ArquivosBackup();
    fOwner.TransacaoConfirmada = !arquivos.empty();
    std::string nsus, documentos;
    for (const std::string& arquivo : arquivos) {
        if (!platform::FileExists(arquivo)) continue;
        try {
            fpResp->LeArquivo(arquivo);
            if (CNF() != TFinalizacao::Confirmada)
                throw EKaCliSiTefErro("confirmação não aceita pelo TEF");
        } catch (const std::exception& e) {
            GravaLog(TextoFalha(fName + " RecuperarTransacoesPendentes", arquivo, e));
            continue;
        }
        pendentes.Add(CopiaResposta(*fpResp)).Pendente = true;
        nsus += LinhaSeNaoVazia(fpResp->NSU);
        documentos += LinhaSeNaoVazia(fpResp->DocumentoVinculado);
        ApagarBackup(arquivo, fName + " RecuperarTransacoesPendentes");
    }
    const bool recuperou = !pendentes.Empty();
    pendentes.Entregar([&](TKaCliSiTefRespostasPendentes& lista) {
        if (fOwner.OnDepoisConfirmarTransacoes && recuperou)
            fOwner.OnDepoisConfirmarTransacoes(lista);
    });
    if (recuperou) {
        fOwner.DoExibeMsg(
            opmOK, "Transação TEF efetuada.\r\nFavor reimprimir último Cupom.\r\nNSU: " + nsus +
                       "\r\nNº Documento: " + documentos +
                       "\r\n(Para Cielo utilizar os 6 últimos dígitos.)");
    }
}

// --- Cancellation of backed-up transactions ----------------------------------------------

std::vector<std::string> TKaCliSiTefClass::OrdenarParaCancelamento(
    std::vector<std::string> arquivos) {
    // Unconfirmed and administrative transactions go to the front, confirmed payments last.
    int i = 0;
    int j = static_cast<int>(arquivos.size()) - 1;
    while (i < j) {
        bool fica = true;
        try {
            fpResp->LeArquivo(arquivos[static_cast<size_t>(j)]);
            const std::string& header = fpResp->Header;
            const bool administrativa =
                !header.empty() && std::string_view("CNC,ADM").find(header) != std::string::npos;
            fica = !administrativa && fpResp->CNFEnviado();
        } catch (const std::exception&) {
            // Unreadable: left where it is; processing reports it.
        }
        if (fica) {
            --j;
        } else {
            std::rotate(arquivos.begin() + i, arquivos.begin() + j, arquivos.begin() + j + 1);
            ++i;
        }
    }
    return arquivos;
}

bool TKaCliSiTefClass::JaDesfeita(
    const std::vector<std::unique_ptr<TKaCliSiTefResp>>& desfeitas) const {
    const TKaCliSiTefResp& r = *fpResp;
    return std::any_of(desfeitas.begin(), desfeitas.end(), [&](const auto& d) {
        if (fpTipo == gpVeSPague) {
            return d->Rede == r.Rede && d->NSU == r.NSU && d->Finalizacao == r.Finalizacao &&
                   d->ValorTotal == r.ValorTotal;
        }
        return d->DocumentoVinculado == r.DocumentoVinculado;
    });
}

void TKaCliSiTefClass::DesfazerRespostaAtual() {
    if (!fpResp->CNFEnviado() || fpResp->Header == "CHQ") {
        NCN();
    } else if (!CNC()) {
        throw EKaCliSiTefErro("CNC nao efetuado");
    }
}

void TKaCliSiTefClass::CancelarTransacoesPendentesClass() {
    GravaLog(fName + " CancelarTransacoesPendentesClass ");
    std::vector<std::unique_ptr<TKaCliSiTefResp>> desfeitas;
    std::exception_ptr primeiraFalha;
    for (const std::string& arquivo : OrdenarParaCancelamento(ArquivosBackup())) {
        if (!platform::FileExists(arquivo)) continue;
        try {
            fpResp->LeArquivo(arquivo);
            if (JaDesfeita(desfeitas)) {
                ApagarBackup(arquivo, fName + " CancelarTransacoesPendentesClass");
                continue;
            }
            auto copia = CopiaResposta(*fpResp);
            try {
                if (fOwner.OnAntesCancelarTransacao) fOwner.OnAntesCancelarTransacao(*copia);
            } catch (...) {
                // The host's last look must not keep the transaction from being undone.
            }
            DesfazerRespostaAtual();
            ApagarBackup(arquivo, fName + " CancelarTransacoesPendentesClass");
            desfeitas.push_back(std::move(copia));
        } catch (const std::exception& e) {
            GravaLog(TextoFalha(fName + " CancelarTransacoesPendentesClass", arquivo, e));
            if (!primeiraFalha) primeiraFalha = std::current_exception();
        }
    }
    if (fpTipo == gpTefAuttar && !desfeitas.empty())
        fOwner.DoExibeMsg(opmOK, "Transação TEF não Efetuada Reter o Cupom Fiscal!");
    if (primeiraFalha) std::rethrow_exception(primeiraFalha);
}

void TKaCliSiTefClass::ImprimirRelatorio() { TImpressaoRelatorio(*this).Executar(); }

void TKaCliSiTefClass::GravaLog(const AnsiString& AString) const noexcept {
    fTrace.Write(fArqLOG, AString);
}

void TKaCliSiTefClass::GravaLogAdiado(const AnsiString& AString) const noexcept {
    if (!fArqLOG.empty()) fTrace.Defer(AString);
}

void TKaCliSiTefClass::DescarregaLog() const noexcept { fTrace.Flush(fArqLOG); }

}  // namespace tef
