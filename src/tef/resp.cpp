#include "tef/resp.h"

#include "platform/code_page.h"
#include "tef/ansi_text.h"

namespace tef {

void TKaCliSiTefResp::Clear() {
    Conteudo.Clear();
    static_cast<TKaCliSiTefRespCampos&>(*this) = TKaCliSiTefRespCampos();
    fpCNFEnviado = false;
    fpIndiceFPG_ECF.clear();
    fpOrdemPagamento = 0;
    fpArqBackup.clear();
}

void TKaCliSiTefResp::Assign(const TKaCliSiTefResp& Source) {
    if (&Source == this) return;
    Conteudo = Source.Conteudo;
    ConteudoToProperty();
    SetArqBackup(Source.ArqBackup());
    TipoGP = Source.TipoGP;
}

void TKaCliSiTefResp::LeArquivo(const std::string& NomeArquivo) {
    Clear();
    Conteudo.LeArquivo(NomeArquivo);
    ConteudoToProperty();
}

TKaCliSiTefInformacao& TKaCliSiTefResp::LeInformacao(int Identificacao, int Sequencia) {
    return Conteudo.LeInformacao(Identificacao, Sequencia);
}

void TKaCliSiTefResp::SetCNFEnviado(bool value) {
    fpCNFEnviado = value;
    Conteudo.GravaInformacao(899, 1, value ? "S" : "N");
}

void TKaCliSiTefResp::SetIndiceFPG_ECF(const std::string& value) {
    fpIndiceFPG_ECF = value;
    Conteudo.GravaInformacao(899, 2, platform::Utf8ToCp1252(value));
}

void TKaCliSiTefResp::SetOrdemPagamento(int32_t value) {
    fpOrdemPagamento = value;
    Conteudo.GravaInformacao(899, 3, std::to_string(value));
}

void TKaCliSiTefResp::SetArqBackup(const std::string& value) { fpArqBackup = Trim(value); }

}  // namespace tef
