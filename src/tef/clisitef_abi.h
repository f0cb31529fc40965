// C ABI of the twelve exports of the payment library (QV_CLISITEF_LIBRARY: libclisitef.so,
// CliSiTef32I.dll or CliSiTef64I.dll). Shared by the engine's binding and by the simulated
// library that stands in for it in tests and the demo.
// Texts are NUL-terminated Windows-1252; numbers are 32-bit unless marked 16-bit.
#pragma once

#include <cstdint>
#include <type_traits>

#include "platform/library_abi.h"

// The calling convention of every export: stdcall, under undecorated names, in the 32-bit
// Windows library; the single convention elsewhere. A mismatch would not fail to link: it
// would corrupt the stack at the first call, so it is named here once, for the binding and
// the simulator alike.
#define CLISITEF_CALL QV_LIBRARY_CALL

// How a library that implements them marks the exports.
#define CLISITEF_EXPORT QV_LIBRARY_EXPORT

// The declarations fix each export's exact type: a library that implements them includes this
// header, so a definition with another signature fails to compile. Nothing links against
// them; the engine resolves them at run time through the pointer types below.
extern "C" {

int32_t CLISITEF_CALL ConfiguraIntSiTefInterativoEx(const char* ip, const char* loja,
                                                    const char* terminal, int32_t reservado,
                                                    const char* parametrosAdicionais);
int32_t CLISITEF_CALL IniciaFuncaoSiTefInterativo(int32_t funcao, const char* valor,
                                                  const char* cupomFiscal, const char* dataFiscal,
                                                  const char* horario, const char* operador,
                                                  const char* restricoes);
int32_t CLISITEF_CALL ContinuaFuncaoSiTefInterativo(int32_t* comando, int32_t* tipoCampo,
                                                    int16_t* tamMinimo, int16_t* tamMaximo,
                                                    char* buffer, int32_t tamBuffer,
                                                    int32_t continua);
int32_t CLISITEF_CALL FinalizaFuncaoSiTefInterativo(int32_t confirma, const char* cupomFiscal,
                                                    const char* dataFiscal, const char* horario,
                                                    const char* paramAdicionais);
int32_t CLISITEF_CALL FinalizaTransacaoSiTefInterativo(int32_t confirma, const char* cupomFiscal,
                                                       const char* dataFiscal, const char* horario);
int32_t CLISITEF_CALL LeTrilha3(char* area4);
int32_t CLISITEF_CALL LeCartaoSeguro(char* area);
int32_t CLISITEF_CALL LeCartaoDiretoSeguro(char* area);
int32_t CLISITEF_CALL LeCartaoDiretoEx(char* a25, char* a129, char* b129, int16_t valor,
                                       int32_t zero);
int32_t CLISITEF_CALL EscreveMensagemPermanentePinPad(const char* mensagem);
int32_t CLISITEF_CALL ObtemQuantidadeTransacoesPendentes(const char* data, const char* cupomFiscal);
int32_t CLISITEF_CALL VerificaPresencaPinPad();

}  // extern "C"

using ConfiguraIntSiTefInterativoExFn = decltype(&ConfiguraIntSiTefInterativoEx);
using IniciaFuncaoSiTefInterativoFn = decltype(&IniciaFuncaoSiTefInterativo);
using ContinuaFuncaoSiTefInterativoFn = decltype(&ContinuaFuncaoSiTefInterativo);
using FinalizaFuncaoSiTefInterativoFn = decltype(&FinalizaFuncaoSiTefInterativo);
using FinalizaTransacaoSiTefInterativoFn = decltype(&FinalizaTransacaoSiTefInterativo);
using LeTrilha3Fn = decltype(&LeTrilha3);
using LeCartaoSeguroFn = decltype(&LeCartaoSeguro);
using LeCartaoDiretoSeguroFn = decltype(&LeCartaoDiretoSeguro);
using LeCartaoDiretoExFn = decltype(&LeCartaoDiretoEx);
using EscreveMensagemPermanentePinPadFn = decltype(&EscreveMensagemPermanentePinPad);
using ObtemQuantidadeTransacoesPendentesFn = decltype(&ObtemQuantidadeTransacoesPendentes);
using VerificaPresencaPinPadFn = decltype(&VerificaPresencaPinPad);

namespace tef {

// The library's file name on this platform (one build setting, see CMakeLists.txt).
inline constexpr const char* kCliSiTefLibraryName = QV_CLISITEF_LIBRARY;

// Size of the answer buffer of ContinuaFuncaoSiTefInterativo (20000 characters and a NUL).
inline constexpr int32_t kCliSiTefBufferSize = 20001;

// Status codes of the interactive dialogue.
inline constexpr int32_t kCliSiTefContinue = 10000;
inline constexpr int32_t kCliSiTefApproved = 0;

}  // namespace tef

// What the library and its callers must agree on, checked wherever either is built (the 32-
// and the 64-bit Windows builds among them): each export's exact type, convention included,
// and entry points that fit the data pointer the loader hands out for them.
namespace tef::abi_check {
using S = const char*;
using B = char*;
static_assert(sizeof(int32_t) == 4 && sizeof(int16_t) == 2);
static_assert(
    std::is_same_v<ConfiguraIntSiTefInterativoExFn, int32_t(CLISITEF_CALL*)(S, S, S, int32_t, S)>);
static_assert(std::is_same_v<IniciaFuncaoSiTefInterativoFn,
                             int32_t(CLISITEF_CALL*)(int32_t, S, S, S, S, S, S)>);
static_assert(std::is_same_v<ContinuaFuncaoSiTefInterativoFn,
                             int32_t(CLISITEF_CALL*)(int32_t*, int32_t*, int16_t*, int16_t*, B,
                                                     int32_t, int32_t)>);
static_assert(
    std::is_same_v<FinalizaFuncaoSiTefInterativoFn, int32_t(CLISITEF_CALL*)(int32_t, S, S, S, S)>);
static_assert(
    std::is_same_v<FinalizaTransacaoSiTefInterativoFn, int32_t(CLISITEF_CALL*)(int32_t, S, S, S)>);
static_assert(std::is_same_v<LeTrilha3Fn, int32_t(CLISITEF_CALL*)(B)>);
static_assert(std::is_same_v<LeCartaoSeguroFn, int32_t(CLISITEF_CALL*)(B)>);
static_assert(std::is_same_v<LeCartaoDiretoSeguroFn, int32_t(CLISITEF_CALL*)(B)>);
static_assert(
    std::is_same_v<LeCartaoDiretoExFn, int32_t(CLISITEF_CALL*)(B, B, B, int16_t, int32_t)>);
static_assert(std::is_same_v<EscreveMensagemPermanentePinPadFn, int32_t(CLISITEF_CALL*)(S)>);
static_assert(std::is_same_v<ObtemQuantidadeTransacoesPendentesFn, int32_t(CLISITEF_CALL*)(S, S)>);
static_assert(std::is_same_v<VerificaPresencaPinPadFn, int32_t(CLISITEF_CALL*)()>);
static_assert(sizeof(ContinuaFuncaoSiTefInterativoFn) == sizeof(void*));
}  // namespace tef::abi_check
