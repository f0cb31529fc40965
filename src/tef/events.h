// The component's events: bound callbacks the host assigns and the component calls
// synchronously on the calling thread, waiting for the handler to return. Reference
// parameters are the answers a handler may set. Texts are UTF-8 except `Resposta`, which is
// Windows-1252 because it goes to the payment library as it stands.
#pragma once

#include <functional>
#include <string>

#include "tef/money.h"
#include "tef/types.h"

namespace tef {

class TKaCliSiTefReq;
class TKaCliSiTefResp;
class TKaCliSiTefRespostasPendentes;

using TKaCliSiTefAguardaRespEvent =
    std::function<void(const std::string& Arquivo, int SegundosTimeOut, bool& Interromper)>;

using TKaCliSiTefExibeMsg = std::function<void(
    TKaCliSiTefOperacaoMensagem Operacao, const std::string& Mensagem, TModalResult& AModalResult)>;

using TKaCliSiTefBloqueiaMouseTeclado = std::function<void(bool Bloqueia, bool& Tratado)>;

using TKaCliSiTefExecutaAcao = std::function<void(bool& Tratado)>;

using TKaCliSiTefComandaECF =
    std::function<void(TKaCliSiTefOperacaoECF Operacao, TKaCliSiTefResp& Resp, int& RetornoECF)>;

using TKaCliSiTefComandaImpressao =
    std::function<void(int& RetornoImpressao, TKaCliSiTefResp& Resp, bool Cancelado)>;

using TKaCliSiTefComandaECFSubtotaliza = std::function<void(Money DescAcre, int& RetornoECF)>;

using TKaCliSiTefComandaECFPagamento =
    std::function<void(const std::string& IndiceECF, Money Valor, int& RetornoECF)>;

using TKaCliSiTefComandaECFAbreVinculado = std::function<void(
    const std::string& COO, const std::string& IndiceECF, Money Valor, int& RetornoECF)>;

using TKaCliSiTefComandaECFImprimeVia =
    std::function<void(TKaCliSiTefTipoRelatorio TipoRelatorio, int Via,
                       const TextLines& ImagemComprovante, int& RetornoECF)>;

using TKaCliSiTefObterInfoECF =
    std::function<void(TKaCliSiTefInfoECF Operacao, std::string& RetornoECF)>;

using TKaCliSiTefAntesFinalizarReq = std::function<void(TKaCliSiTefReq& Req)>;

using TKaCliSiTefProcessarTransacoesPendentes =
    std::function<void(TKaCliSiTefRespostasPendentes& RespostasPendentes)>;

using TKaCliSiTefAntesCancelarTransacao = std::function<void(TKaCliSiTefResp& RespostaPendente)>;

using TKaCliSiTefMudaEstadoReq = std::function<void(TKaCliSiTefReqEstado EstadoReq)>;

using TKaCliSiTefMudaEstadoResp = std::function<void(TKaCliSiTefRespEstado EstadoResp)>;

using TKaCliSiTefCliSiTefExibeMenu = std::function<void(
    const std::string& Titulo, const TextLines& Opcoes, int& ItemSelecionado, bool& VoltarMenu)>;

using TKaCliSiTefCliSiTefObtemCampo =
    std::function<void(const std::string& Titulo, int TamanhoMinimo, int TamanhoMaximo,
                       int TipoCampo, TKaCliSiTefCliSiTefOperacaoCampo Operacao,
                       AnsiString& Resposta, bool& Digitado, bool& VoltarMenu)>;

using TKaCliSiTefCliSiTefObtemCheque = std::function<void(
    const std::string& Titulo, int TipoCampo, TKaCliSiTefCliSiTefOperacaoCampo Operacao,
    AnsiString& Resposta, bool& Digitado, bool& VoltarMenu)>;

using TKaCliSiTefSenhaConfirmacao =
    std::function<void(const std::string& Titulo, bool& VoltarMenu)>;

using TKaClisiTefCliSiTefExibeQRCode = std::function<void(const std::string& QRCode)>;

}  // namespace tef
