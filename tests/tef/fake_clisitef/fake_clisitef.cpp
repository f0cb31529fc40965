// A stand-in for the payment library with recognisable answers, so that tests can tell that
// each call reached the right export with its arguments.
#include <cstdlib>
#include <cstring>

#include "tef/clisitef_abi.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT int32_t ConfiguraIntSiTefInterativoEx(const char* ip, const char* loja,
                                                  const char* terminal, int32_t reservado,
                                                  const char* parametrosAdicionais) {
    bool expected = std::strcmp(ip, "127.0.0.1") == 0 && std::strcmp(loja, "00000000") == 0 &&
                    std::strcmp(terminal, "SE000001") == 0 && reservado == 0 &&
                    std::strcmp(parametrosAdicionais, "[];") == 0;
    return expected ? 0 : 99;
}

FAKE_EXPORT int32_t IniciaFuncaoSiTefInterativo(int32_t funcao, const char* valor, const char*,
                                                const char*, const char*, const char*,
                                                const char*) {
    return std::strcmp(valor, "12,34") == 0 ? 10000 : funcao;
}

FAKE_EXPORT int32_t ContinuaFuncaoSiTefInterativo(int32_t* comando, int32_t* tipoCampo,
                                                  int16_t* tamMinimo, int16_t* tamMaximo,
                                                  char* buffer, int32_t tamBuffer,
                                                  int32_t continua) {
    *comando = 21;
    *tipoCampo = 505;
    *tamMinimo = 1;
    *tamMaximo = 2;
    // Echoes the answer it was given after the menu, so the caller sees both directions.
    char answer[64] = {};
    std::strncpy(answer, buffer, sizeof answer - 1);
    std::strncpy(buffer, "1:A Vista;2:Parcelado;", static_cast<size_t>(tamBuffer));
    std::strncat(buffer, answer, static_cast<size_t>(tamBuffer) - std::strlen(buffer) - 1);
    return 10000 + continua;
}

FAKE_EXPORT int32_t FinalizaFuncaoSiTefInterativo(int32_t confirma, const char*, const char*,
                                                  const char*, const char*) {
    return confirma;
}

#ifndef QV_FAKE_WITHOUT_FINALIZA_TRANSACAO
FAKE_EXPORT int32_t FinalizaTransacaoSiTefInterativo(int32_t confirma, const char*, const char*,
                                                     const char*) {
    return confirma;
}
#endif

FAKE_EXPORT int32_t LeTrilha3(char* area4) {
    std::strcpy(area4, "T3");
    return 10000;
}

FAKE_EXPORT int32_t LeCartaoSeguro(char*) { return 7; }

FAKE_EXPORT int32_t LeCartaoDiretoSeguro(char*) { return 8; }

FAKE_EXPORT int32_t LeCartaoDiretoEx(char*, char*, char*, int16_t valor, int32_t zero) {
    return valor + zero;
}

FAKE_EXPORT int32_t EscreveMensagemPermanentePinPad(const char* mensagem) {
    return static_cast<int32_t>(std::strlen(mensagem));
}

FAKE_EXPORT int32_t ObtemQuantidadeTransacoesPendentes(const char* data, const char* cupomFiscal) {
    return std::atoi(cupomFiscal) + (std::strcmp(data, "20251126") == 0 ? 1000 : 0);
}

FAKE_EXPORT int32_t VerificaPresencaPinPad() { return 1; }
