// Enumerations and scalar conventions shared by the TEF component, its engine, its records and
// its host. Ordinals are fixed (hosts store and log them); each member's name is available as
// text through ToString, which the trace log uses.
//
// Text conventions: a plain std::string is UTF-8; an AnsiString holds Windows-1252 bytes (the
// code page of the payment library and of the TEF records).
#pragma once

#include <string>
#include <vector>

namespace tef {

using AnsiString = std::string;

// An ordered list of text lines (receipt images, menu options), UTF-8.
using TextLines = std::vector<std::string>;

// Answer of a message shown to the operator. The component reads 6 as yes.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;

// Kind of payment manager (engine); only gpCliSiTef exists in this system.
enum TKaCliSiTefTipo {
    gpNenhum,
    gpTefDial,
    gpTefDisc,
    gpHiperTef,
    gpCliSiTef,
    gpTefGpu,
    gpVeSPague,
    gpBanese,
    gpTefAuttar,
    gpGoodCard,
    gpFoxWin,
    gpCliDTEF,
    gpPetrocard,
    gpCrediShop,
    gpTicketCar,
    gpConvCard
};

// What OnExibeMsg is asked to do.
enum TKaCliSiTefOperacaoMensagem {
    opmOK,
    opmYesNo,
    opmYesNoCustom,
    opmExibirMsgOperador,
    opmRemoverMsgOperador,
    opmExibirMsgCliente,
    opmRemoverMsgCliente,
    opmDestaqueVia,
    opmExcept,
    opmQRCode
};

// Fiscal-printer command of OnComandaECF.
enum TKaCliSiTefOperacaoECF {
    opeAbreGerencial,
    opeFechaGerencial,
    opePulaLinhas,
    opeSubTotalizaCupom,
    opeFechaCupom,
    opeFechaVinculado,
    opeCancelaCupom,
    opeImprimePagamentos
};

// Question of OnInfoECF.
enum TKaCliSiTefInfoECF { ineSubTotal, ineEstadoECF, ineTotalAPagar };

// Kind of printed report.
enum TKaCliSiTefTipoRelatorio { trGerencial, trVinculado };

enum TKaCliSiTefReqEstado {
    reqNenhum,
    reqIniciando,
    reqCriandoArquivo,
    reqAguardandoResposta,
    reqConferindoResposta,
    reqFinalizada
};

enum TKaCliSiTefRespEstado { respNenhum, respAguardandoResposta, respProcessando, respConcluida };

// Kind of field being collected by OnObtemCampo and OnObtemCheque.
enum TKaCliSiTefCliSiTefOperacaoCampo { tcString, tcCurrency, tcCMC7, tcBarCode, tcSeguranca };

// Who finances the instalments of a response.
enum TKaCliSiTefRespParceladoPor { parcNenhum, parcADM, parcLoja };

// Payment plan of a response.
enum TKaCliSiTefRespTipoOperacao { opOutras, opAvista, opParcelado, opPreDatado };

// The member's name ("opmYesNo"); a value outside the enumeration gives its ordinal in decimal.
std::string ToString(TKaCliSiTefTipo value);
std::string ToString(TKaCliSiTefOperacaoMensagem value);
std::string ToString(TKaCliSiTefOperacaoECF value);
std::string ToString(TKaCliSiTefInfoECF value);
std::string ToString(TKaCliSiTefTipoRelatorio value);
std::string ToString(TKaCliSiTefReqEstado value);
std::string ToString(TKaCliSiTefRespEstado value);
std::string ToString(TKaCliSiTefCliSiTefOperacaoCampo value);
std::string ToString(TKaCliSiTefRespParceladoPor value);
std::string ToString(TKaCliSiTefRespTipoOperacao value);

}  // namespace tef
