// The request record of a TEF operation: a content record plus typed properties, each setter
// also writing its field. Only an engine that exchanges request files fills it; the CliSiTef
// engine empties it and reads its Header. Property texts are UTF-8; the fields hold them in
// Windows-1252.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "tef/arquivo.h"
#include "tef/money.h"

namespace tef {

class TKaCliSiTefReq {
public:
    TKaCliSiTefArquivo& Conteudo() { return fConteudo; }
    const TKaCliSiTefArquivo& Conteudo() const { return fConteudo; }

    // Empties the content, ID and Header; the other properties keep their values.
    void Clear();

    const std::string& Header() const { return fHeader; }
    void SetHeader(const std::string& value);  // 000-000
    int32_t ID() const { return fID; }
    void SetID(int32_t value);  // 001-000
    const std::string& DocumentoVinculado() const { return fDocumentoVinculado; }
    void SetDocumentoVinculado(const std::string& value);  // 002-000, digits only
    Money ValorTotal() const { return fValorTotal; }
    void SetValorTotal(Money value);  // 003-000, as AsFloat
    int32_t Moeda() const { return fMoeda; }
    void SetMoeda(int32_t value);  // 004-000
    const std::string& CMC7() const { return fCMC7; }
    void SetCMC7(const std::string& value);  // 005-000
    char TipoPessoa() const { return fTipoPessoa; }
    void SetTipoPessoa(char value);  // 006-000
    const std::string& DocumentoPessoa() const { return fDocumentoPessoa; }
    void SetDocumentoPessoa(const std::string& value);  // 007-000
    platform::TDateTime DataCheque() const { return fDataCheque; }
    void SetDataCheque(platform::TDateTime value);  // 008-000, as AsDate
    const std::string& Rede() const { return fRede; }
    void SetRede(const std::string& value);  // 010-000
    const std::string& NSU() const { return fNSU; }
    void SetNSU(const std::string& value);  // 012-000, digits only
    platform::TDateTime DataHoraTransacaoComprovante() const {
        return fDataHoraTransacaoComprovante;
    }
    void SetDataHoraTransacaoComprovante(platform::TDateTime value);  // 022-000 date, 023-000 time
    const std::string& Finalizacao() const { return fFinalizacao; }
    void SetFinalizacao(const std::string& value);  // 027-000
    const std::string& Banco() const { return fBanco; }
    void SetBanco(const std::string& value);  // 033-000
    const std::string& Agencia() const { return fAgencia; }
    void SetAgencia(const std::string& value);  // 034-000
    const std::string& AgenciaDC() const { return fAgenciaDC; }
    void SetAgenciaDC(const std::string& value);  // 035-000
    const std::string& Conta() const { return fConta; }
    void SetConta(const std::string& value);  // 036-000
    const std::string& ContaDC() const { return fContaDC; }
    void SetContaDC(const std::string& value);  // 037-000
    const std::string& Cheque() const { return fCheque; }
    void SetCheque(const std::string& value);  // 038-000
    const std::string& ChequeDC() const { return fChequeDC; }
    void SetChequeDC(const std::string& value);  // 039-000

private:
    void SetText(std::string& field, int identificacao, const std::string& value);

    TKaCliSiTefArquivo fConteudo;
    std::string fHeader, fDocumentoVinculado, fCMC7, fDocumentoPessoa, fRede, fNSU, fFinalizacao;
    std::string fBanco, fAgencia, fAgenciaDC, fConta, fContaDC, fCheque, fChequeDC;
    int32_t fID = 0, fMoeda = 0;
    Money fValorTotal = 0;
    char fTipoPessoa = ' ';
    platform::TDateTime fDataCheque = 0, fDataHoraTransacaoComprovante = 0;
};

}  // namespace tef
