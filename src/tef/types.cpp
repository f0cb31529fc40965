#include "tef/types.h"

#include <array>
#include <string_view>

namespace tef {
namespace {

template <typename Enum, size_t N>
std::string NameOf(Enum value, const std::array<std::string_view, N>& names) {
    auto ordinal = static_cast<int>(value);
    if (ordinal < 0 || static_cast<size_t>(ordinal) >= N) return std::to_string(ordinal);
    return std::string(names[static_cast<size_t>(ordinal)]);
}

constexpr std::array<std::string_view, 16> kTipo = {
    "gpNenhum",    "gpTefDial",   "gpTefDisc",   "gpHiperTef", "gpCliSiTef", "gpTefGpu",
    "gpVeSPague",  "gpBanese",    "gpTefAuttar", "gpGoodCard", "gpFoxWin",   "gpCliDTEF",
    "gpPetrocard", "gpCrediShop", "gpTicketCar", "gpConvCard"};

constexpr std::array<std::string_view, 10> kOperacaoMensagem = {"opmOK",
                                                                "opmYesNo",
                                                                "opmYesNoCustom",
                                                                "opmExibirMsgOperador",
                                                                "opmRemoverMsgOperador",
                                                                "opmExibirMsgCliente",
                                                                "opmRemoverMsgCliente",
                                                                "opmDestaqueVia",
                                                                "opmExcept",
                                                                "opmQRCode"};

constexpr std::array<std::string_view, 8> kOperacaoECF = {
    "opeAbreGerencial", "opeFechaGerencial", "opePulaLinhas",   "opeSubTotalizaCupom",
    "opeFechaCupom",    "opeFechaVinculado", "opeCancelaCupom", "opeImprimePagamentos"};

constexpr std::array<std::string_view, 3> kInfoECF = {"ineSubTotal", "ineEstadoECF",
                                                      "ineTotalAPagar"};

constexpr std::array<std::string_view, 2> kTipoRelatorio = {"trGerencial", "trVinculado"};

constexpr std::array<std::string_view, 6> kReqEstado = {"reqNenhum",
                                                        "reqIniciando",
                                                        "reqCriandoArquivo",
                                                        "reqAguardandoResposta",
                                                        "reqConferindoResposta",
                                                        "reqFinalizada"};

constexpr std::array<std::string_view, 4> kRespEstado = {"respNenhum", "respAguardandoResposta",
                                                         "respProcessando", "respConcluida"};

constexpr std::array<std::string_view, 5> kOperacaoCampo = {"tcString", "tcCurrency", "tcCMC7",
                                                            "tcBarCode", "tcSeguranca"};

constexpr std::array<std::string_view, 3> kParceladoPor = {"parcNenhum", "parcADM", "parcLoja"};

constexpr std::array<std::string_view, 4> kTipoOperacao = {"opOutras", "opAvista", "opParcelado",
                                                           "opPreDatado"};

}  // namespace

std::string ToString(TKaCliSiTefTipo value) { return NameOf(value, kTipo); }
std::string ToString(TKaCliSiTefOperacaoMensagem value) { return NameOf(value, kOperacaoMensagem); }
std::string ToString(TKaCliSiTefOperacaoECF value) { return NameOf(value, kOperacaoECF); }
std::string ToString(TKaCliSiTefInfoECF value) { return NameOf(value, kInfoECF); }
std::string ToString(TKaCliSiTefTipoRelatorio value) { return NameOf(value, kTipoRelatorio); }
std::string ToString(TKaCliSiTefReqEstado value) { return NameOf(value, kReqEstado); }
std::string ToString(TKaCliSiTefRespEstado value) { return NameOf(value, kRespEstado); }
std::string ToString(TKaCliSiTefCliSiTefOperacaoCampo value) {
    return NameOf(value, kOperacaoCampo);
}
std::string ToString(TKaCliSiTefRespParceladoPor value) { return NameOf(value, kParceladoPor); }
std::string ToString(TKaCliSiTefRespTipoOperacao value) { return NameOf(value, kTipoOperacao); }

}  // namespace tef
