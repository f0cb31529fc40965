// The response record of a TEF operation: its content record (Windows-1252 lines), the typed
// properties derived from it, its instalments and its two receipt copies. A plain value holder
// without events; the engine reuses one and the pending list keeps copies made with Assign.
//
// Property texts are UTF-8 (the content stays Windows-1252). Properties without side effects
// are public data members; CNFEnviado, IndiceFPG_ECF, OrdemPagamento and ArqBackup have
// setters that also write a field of the content (or trim), so they are reached through
// accessors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "tef/arquivo.h"
#include "tef/money.h"
#include "tef/types.h"

namespace tef {

struct TKaCliSiTefRespParcela {
    platform::TDateTime Vencimento = 0;
    Money Valor = 0;
    std::string NSUParcela;
};

// Owning, ordered list of instalments.
using TKaCliSiTefRespParcelas = std::vector<TKaCliSiTefRespParcela>;

// The properties that Clear resets to empty, 0, False and the first enumeration member.
struct TKaCliSiTefRespCampos {
    TKaCliSiTefRespParcelas Parcelas;
    TextLines ImagemComprovante1aVia;
    TextLines ImagemComprovante2aVia;

    std::string Agencia, AgenciaDC, Autenticacao, ArqRespPendente, Banco, Cheque, ChequeDC, CMC7;
    std::string CodigoAutorizacaoTransacao, Conta, ContaDC, DocumentoPessoa, Finalizacao, Header;
    std::string NomeAdministradora, NSU, NSUTransacaoCancelada, Rede, StatusTransacao;
    std::string TextoEspecialCliente, TextoEspecialOperador, Trailer, DocumentoVinculado;
    // The fiscal date and time the engine started the function with ("yyyymmddhhnnss", field
    // 899-104), which with DocumentoVinculado name it to the library; empty in records written
    // before the engine kept it.
    std::string InicioFuncao;

    platform::TDateTime DataCheque = 0;
    platform::TDateTime DataHoraTransacaoCancelada = 0;
    platform::TDateTime DataHoraTransacaoComprovante = 0;
    platform::TDateTime DataHoraTransacaoHost = 0;
    platform::TDateTime DataHoraTransacaoLocal = 0;
    platform::TDateTime DataPreDatado = 0;
    platform::TDateTime DataEntradaCDC = 0;

    int32_t ID = 0;
    int32_t Moeda = 0;
    int32_t NumeroLoteTransacao = 0;
    int32_t QtdLinhasComprovante = 0;
    int32_t QtdParcelas = 0;
    int32_t TipoTransacao = 0;
    int32_t TipoParcelamento = 0;

    Money ValorTotal = 0;
    Money ValorOriginal = 0;
    Money Saque = 0;
    Money Desconto = 0;
    Money ValorEntradaCDC = 0;

    bool Debito = false;
    bool Credito = false;

    char TipoPessoa = ' ';
    TKaCliSiTefRespParceladoPor ParceladoPor = parcNenhum;
    TKaCliSiTefRespTipoOperacao TipoOperacao = opOutras;
};

// The properties that Clear leaves as they are.
struct TKaCliSiTefRespCamposMantidos {
    std::string CodigoHASH, NumeroCartao, Estabelecimento, Instituicao, ModalidadePagto;
    std::string ModalidadePagtoDescrita, ModalidadeExtenso, CodigoRedeAutorizada, Bandeira;
    std::string CodigoEstabelecimento, NSUComprovante;
    platform::TDateTime DataVencimento = 0;
    bool Pendente = false;
    bool MsgImpressao = false;  // a receipt copy was stored
    TKaCliSiTefTipo TipoGP = gpNenhum;
};

class TKaCliSiTefResp : public TKaCliSiTefRespCampos, public TKaCliSiTefRespCamposMantidos {
public:
    TKaCliSiTefResp() = default;
    TKaCliSiTefResp(const TKaCliSiTefResp&) = delete;
    TKaCliSiTefResp& operator=(const TKaCliSiTefResp&) = delete;
    virtual ~TKaCliSiTefResp() = default;

    TKaCliSiTefArquivo Conteudo;

    // Empties content, instalments and receipt copies and resets the properties, except those
    // of TKaCliSiTefRespCamposMantidos.
    void Clear();

    // Copies the source's content, derives the properties with this object's
    // ConteudoToProperty, then takes the source's ArqBackup (trimmed) and TipoGP.
    void Assign(const TKaCliSiTefResp& Source);

    // Clear, load the content from the file, derive the properties. A missing file raises
    // EKaCliSiTefArquivo and leaves the record empty.
    void LeArquivo(const std::string& NomeArquivo);

    TKaCliSiTefInformacao& LeInformacao(int Identificacao, int Sequencia);

    bool CNFEnviado() const { return fpCNFEnviado; }
    void SetCNFEnviado(bool value);  // also 899-001: "S" or "N"
    const std::string& IndiceFPG_ECF() const { return fpIndiceFPG_ECF; }
    void SetIndiceFPG_ECF(const std::string& value);  // also 899-002
    int32_t OrdemPagamento() const { return fpOrdemPagamento; }
    void SetOrdemPagamento(int32_t value);  // also 899-003 in decimal
    const std::string& ArqBackup() const { return fpArqBackup; }
    void SetArqBackup(const std::string& value);  // stored trimmed

    bool TransacaoAprovada() const { return GetTransacaoAprovada(); }

    virtual bool GetTransacaoAprovada() const { return true; }
    // Derives the properties from the content; nothing in this class.
    virtual void ConteudoToProperty() {}

protected:
    bool fpCNFEnviado = false;
    std::string fpIndiceFPG_ECF;
    int32_t fpOrdemPagamento = 0;
    std::string fpArqBackup;
};

}  // namespace tef
