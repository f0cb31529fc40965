// C ABI of the twelve exports of the payment library (libclisitef.so). Shared by the engine's
// binding and by the simulated library that stands in for it in tests and the demo.
// Texts are NUL-terminated Windows-1252; numbers are 32-bit unless marked 16-bit.
#pragma once

#include <cstdint>

// The declarations fix each export's exact type: a library that implements them includes this
// header, so a definition with another signature fails to compile. Nothing links against
// them; the engine resolves them at run time through the pointer types below.
extern "C" {

int32_t ConfiguraIntSiTefInterativoEx(const char* ip, const char* loja, const char* terminal,
                                      int32_t reservado, const char* parametrosAdicionais);
int32_t IniciaFuncaoSiTefInterativo(int32_t funcao, const char* valor, const char* cupomFiscal,
                                    const char* dataFiscal, const char* horario,
                                    const char* operador, const char* restricoes);
int32_t ContinuaFuncaoSiTefInterativo(int32_t* comando, int32_t* tipoCampo, int16_t* tamMinimo,
                                      int16_t* tamMaximo, char* buffer, int32_t tamBuffer,
                                      int32_t continua);
int32_t FinalizaFuncaoSiTefInterativo(int32_t confirma, const char* cupomFiscal,
                                      const char* dataFiscal, const char* horario,
                                      const char* paramAdicionais);
int32_t FinalizaTransacaoSiTefInterativo(int32_t confirma, const char* cupomFiscal,
                                         const char* dataFiscal, const char* horario);
int32_t LeTrilha3(char* area4);
int32_t LeCartaoSeguro(char* area);
int32_t LeCartaoDiretoSeguro(char* area);
int32_t LeCartaoDiretoEx(char* a25, char* a129, char* b129, int16_t valor, int32_t zero);
int32_t EscreveMensagemPermanentePinPad(const char* mensagem);
int32_t ObtemQuantidadeTransacoesPendentes(const char* data, const char* cupomFiscal);
int32_t VerificaPresencaPinPad();

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

// The library's file name on this platform.
inline constexpr const char* kCliSiTefLibraryName = "libclisitef.so";

// Size of the answer buffer of ContinuaFuncaoSiTefInterativo (20000 characters and a NUL).
inline constexpr int32_t kCliSiTefBufferSize = 20001;

// Status codes of the interactive dialogue.
inline constexpr int32_t kCliSiTefContinue = 10000;
inline constexpr int32_t kCliSiTefApproved = 0;

}  // namespace tef
