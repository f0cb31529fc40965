#include "tef/req.h"

#include "platform/code_page.h"
#include "tef/ansi_text.h"

namespace tef {
namespace {

// Writes field `identificacao` through one of the typed views.
template <typename T>
void WriteView(TKaCliSiTefArquivo& conteudo, int identificacao,
               void (TKaCliSiTefInformacao::*view)(T), T value) {
    TKaCliSiTefInformacao informacao;
    (informacao.*view)(value);
    conteudo.GravaInformacao(identificacao, 0, informacao);
}

}  // namespace

void TKaCliSiTefReq::Clear() {
    fConteudo.Clear();
    fID = 0;
    fHeader.clear();
}

void TKaCliSiTefReq::SetText(std::string& field, int identificacao, const std::string& value) {
    field = value;
    fConteudo.GravaInformacao(identificacao, 0, platform::Utf8ToCp1252(value));
}

void TKaCliSiTefReq::SetHeader(const std::string& value) { SetText(fHeader, 0, value); }

void TKaCliSiTefReq::SetID(int32_t value) {
    fID = value;
    WriteView(fConteudo, 1, &TKaCliSiTefInformacao::SetAsInteger, value);
}

void TKaCliSiTefReq::SetDocumentoVinculado(const std::string& value) {
    SetText(fDocumentoVinculado, 2, OnlyDigits(value));
}

void TKaCliSiTefReq::SetValorTotal(Money value) {
    fValorTotal = value;
    WriteView(fConteudo, 3, &TKaCliSiTefInformacao::SetAsMoney, value);
}

void TKaCliSiTefReq::SetMoeda(int32_t value) {
    fMoeda = value;
    WriteView(fConteudo, 4, &TKaCliSiTefInformacao::SetAsInteger, value);
}

void TKaCliSiTefReq::SetCMC7(const std::string& value) { SetText(fCMC7, 5, value); }

void TKaCliSiTefReq::SetTipoPessoa(char value) {
    fTipoPessoa = value;
    fConteudo.GravaInformacao(6, 0, Trim(std::string(1, value)));
}

void TKaCliSiTefReq::SetDocumentoPessoa(const std::string& value) {
    SetText(fDocumentoPessoa, 7, value);
}

void TKaCliSiTefReq::SetDataCheque(platform::TDateTime value) {
    fDataCheque = value;
    WriteView(fConteudo, 8, &TKaCliSiTefInformacao::SetAsDate, value);
}

void TKaCliSiTefReq::SetRede(const std::string& value) { SetText(fRede, 10, value); }

void TKaCliSiTefReq::SetNSU(const std::string& value) { SetText(fNSU, 12, OnlyDigits(value)); }

void TKaCliSiTefReq::SetDataHoraTransacaoComprovante(platform::TDateTime value) {
    fDataHoraTransacaoComprovante = value;
    WriteView(fConteudo, 22, &TKaCliSiTefInformacao::SetAsDate, value);
    WriteView(fConteudo, 23, &TKaCliSiTefInformacao::SetAsTime, value);
}

void TKaCliSiTefReq::SetFinalizacao(const std::string& value) { SetText(fFinalizacao, 27, value); }

void TKaCliSiTefReq::SetBanco(const std::string& value) { SetText(fBanco, 33, value); }
void TKaCliSiTefReq::SetAgencia(const std::string& value) { SetText(fAgencia, 34, value); }
void TKaCliSiTefReq::SetAgenciaDC(const std::string& value) { SetText(fAgenciaDC, 35, value); }
void TKaCliSiTefReq::SetConta(const std::string& value) { SetText(fConta, 36, value); }
void TKaCliSiTefReq::SetContaDC(const std::string& value) { SetText(fContaDC, 37, value); }
void TKaCliSiTefReq::SetCheque(const std::string& value) { SetText(fCheque, 38, value); }
void TKaCliSiTefReq::SetChequeDC(const std::string& value) { SetText(fChequeDC, 39, value); }

}  // namespace tef
