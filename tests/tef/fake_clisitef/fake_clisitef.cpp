// A stand-in for the payment library with recognisable answers, so that tests can tell that
// each call reached the right export with its arguments.
#include <cstdlib>
#include <cstring>

#include "tef/clisitef_abi.h"

CLISITEF_EXPORT int32_t CLISITEF_CALL
ConfiguraIntSiTefInterativoEx(const char* ip, const char* loja, const char* terminal,
                              int32_t reservado, const char* parametrosAdicionais) {
    bool expected = std::strcmp(ip, "127.0.0.1") == 0 && std::strcmp(loja, "00000000") == 0 &&
                    std::strcmp(terminal, "SE000001") == 0 && reservado == 0 &&
                    std::strcmp(parametrosAdicionais, "[];") == 0;
    return expected ? 0 : 99;
}

CLISITEF_EXPORT int32_t CLISITEF_CALL IniciaFuncaoSiTefInterativo(int32_t funcao, const char* valor,
                                                                  const char*, const char*,
                                                                  const char*, const char*,
                                                                  const char*) {
    return std::strcmp(valor, "12,34") == 0 ? 10000 : funcao;
}

CLISITEF_EXPORT int32_t CLISITEF_CALL ContinuaFuncaoSiTefInterativo(
    int32_t* comando, int32_t* tipoCampo, int16_t* tamMinimo, int16_t* tamMaximo, char* buffer,
    int32_t tamBuffer, int32_t continua) {
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

CLISITEF_EXPORT int32_t CLISITEF_CALL FinalizaFuncaoSiTefInterativo(int32_t confirma, const char*,
                                                                    const char*, const char*,
                                                                    const char*) {
    return confirma;
}

#ifndef QV_FAKE_WITHOUT_FINALIZA_TRANSACAO
CLISITEF_EXPORT int32_t CLISITEF_CALL FinalizaTransacaoSiTefInterativo(int32_t confirma,
                                                                       const char*, const char*,
                                                                       const char*) {
    return confirma;
}
#endif

CLISITEF_EXPORT int32_t CLISITEF_CALL LeTrilha3(char* area4) {
    std::strcpy(area4, "T3");
    return 10000;
}

CLISITEF_EXPORT int32_t CLISITEF_CALL LeCartaoSeguro(char*) { return 7; }

CLISITEF_EXPORT int32_t CLISITEF_CALL LeCartaoDiretoSeguro(char*) { return 8; }

CLISITEF_EXPORT int32_t CLISITEF_CALL LeCartaoDiretoEx(char*, char*, char*, int16_t valor,
                                                       int32_t zero) {
    return valor + zero;
}

CLISITEF_EXPORT int32_t CLISITEF_CALL EscreveMensagemPermanentePinPad(const char* mensagem) {
    return static_cast<int32_t>(std::strlen(mensagem));
}

CLISITEF_EXPORT int32_t CLISITEF_CALL ObtemQuantidadeTransacoesPendentes(const char* data,
                                                                         const char* cupomFiscal) {
    return std::atoi(cupomFiscal) + (std::strcmp(data, "20251126") == 0 ? 1000 : 0);
}

CLISITEF_EXPORT int32_t CLISITEF_CALL VerificaPresencaPinPad() { return 1; }
