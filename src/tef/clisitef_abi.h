// C ABI of the twelve exports of the payment library (libclisitef.so). Shared by the engine's
// binding and by the simulated library that stands in for it in tests and the demo.
// Texts are NUL-terminated Windows-1252; numbers are 32-bit unless marked 16-bit.
#pragma once

#include <cstdint>

extern "C" {

using ConfiguraIntSiTefInterativoExFn = int32_t (*)(const char* ip, const char* loja,
                                                    const char* terminal, int32_t reservado,
                                                    const char* parametrosAdicionais);
using IniciaFuncaoSiTefInterativoFn = int32_t (*)(int32_t funcao, const char* valor,
                                                  const char* cupomFiscal, const char* dataFiscal,
                                                  const char* horario, const char* operador,
                                                  const char* restricoes);
using ContinuaFuncaoSiTefInterativoFn = int32_t (*)(int32_t* comando, int32_t* tipoCampo,
                                                    int16_t* tamMinimo, int16_t* tamMaximo,
                                                    char* buffer, int32_t tamBuffer,
                                                    int32_t continua);
using FinalizaFuncaoSiTefInterativoFn = int32_t (*)(int32_t confirma, const char* cupomFiscal,
                                                    const char* dataFiscal, const char* horario,
                                                    const char* paramAdicionais);
using FinalizaTransacaoSiTefInterativoFn = int32_t (*)(int32_t confirma, const char* cupomFiscal,
                                                       const char* dataFiscal,
                                                       const char* horario);
using LeTrilha3Fn = int32_t (*)(char* area4);
using LeCartaoSeguroFn = int32_t (*)(char* area);
using LeCartaoDiretoSeguroFn = int32_t (*)(char* area);
using LeCartaoDiretoExFn = int32_t (*)(char* a25, char* a129, char* b129, int16_t valor,
                                       int32_t zero);
using EscreveMensagemPermanentePinPadFn = int32_t (*)(const char* mensagem);
using ObtemQuantidadeTransacoesPendentesFn = int32_t (*)(const char* data,
                                                         const char* cupomFiscal);
using VerificaPresencaPinPadFn = int32_t (*)();

}  // extern "C"

namespace tef {

// The library's file name on this platform.
inline constexpr const char* kCliSiTefLibraryName = "libclisitef.so";

// Size of the answer buffer of ContinuaFuncaoSiTefInterativo (20000 characters and a NUL).
inline constexpr int32_t kCliSiTefBufferSize = 20001;

// Status codes of the interactive dialogue.
inline constexpr int32_t kCliSiTefContinue = 10000;
inline constexpr int32_t kCliSiTefApproved = 0;

}  // namespace tef
