// The twelve exports of the payment library. Each forwards to the simulator and makes sure
// that nothing thrown inside ever reaches the caller.
#include <exception>

#include "simulator.h"
#include "tef/clisitef_abi.h"

namespace {

using clisitef_sim::Simulator;

template <typename Body>
int32_t Guarded(const char* export_name, Body body) noexcept {
    try {
        return body(Simulator::Instance());
    } catch (const std::exception& e) {
        return Simulator::Instance().ReportEscaped(export_name, e.what());
    } catch (...) {
        return Simulator::Instance().ReportEscaped(export_name, "unknown exception");
    }
}

}  // namespace

CLISITEF_EXPORT int32_t CLISITEF_CALL
ConfiguraIntSiTefInterativoEx(const char* ip, const char* loja, const char* terminal,
                              int32_t reservado, const char* parametrosAdicionais) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.Configure(ip, loja, terminal, reservado, parametrosAdicionais);
    });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL IniciaFuncaoSiTefInterativo(
    int32_t funcao, const char* valor, const char* cupomFiscal, const char* dataFiscal,
    const char* horario, const char* operador, const char* restricoes) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.StartFunction(funcao, valor, cupomFiscal, dataFiscal, horario, operador,
                                 restricoes);
    });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL ContinuaFuncaoSiTefInterativo(
    int32_t* comando, int32_t* tipoCampo, int16_t* tamMinimo, int16_t* tamMaximo, char* buffer,
    int32_t tamBuffer, int32_t continua) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.ContinueFunction(comando, tipoCampo, tamMinimo, tamMaximo, buffer, tamBuffer,
                                    continua);
    });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL FinalizaFuncaoSiTefInterativo(int32_t confirma,
                                                                    const char* cupomFiscal,
                                                                    const char* dataFiscal,
                                                                    const char* horario,
                                                                    const char* paramAdicionais) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.FinishFunction("FinalizaFuncaoSiTefInterativo", confirma, cupomFiscal,
                                  dataFiscal, horario, paramAdicionais, true);
    });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL FinalizaTransacaoSiTefInterativo(int32_t confirma,
                                                                       const char* cupomFiscal,
                                                                       const char* dataFiscal,
                                                                       const char* horario) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.FinishFunction("FinalizaTransacaoSiTefInterativo", confirma, cupomFiscal,
                                  dataFiscal, horario, nullptr, false);
    });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL LeTrilha3(char* area4) {
    return Guarded(__func__, [&](Simulator& sim) { return sim.ReadTrack3(area4); });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL LeCartaoSeguro(char* area) {
    return Guarded(__func__,
                   [&](Simulator& sim) { return sim.ReadSecureCard("LeCartaoSeguro", area); });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL LeCartaoDiretoSeguro(char* area) {
    return Guarded(
        __func__, [&](Simulator& sim) { return sim.ReadSecureCard("LeCartaoDiretoSeguro", area); });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL LeCartaoDiretoEx(char* a25, char* a129, char* b129,
                                                       int16_t valor, int32_t zero) {
    return Guarded(
        __func__, [&](Simulator& sim) { return sim.ReadCardDirect(a25, a129, b129, valor, zero); });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL EscreveMensagemPermanentePinPad(const char* mensagem) {
    return Guarded(__func__, [&](Simulator& sim) { return sim.WritePinPadMessage(mensagem); });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL ObtemQuantidadeTransacoesPendentes(const char* data,
                                                                         const char* cupomFiscal) {
    return Guarded(__func__, [&](Simulator& sim) { return sim.CountPending(data, cupomFiscal); });
}

CLISITEF_EXPORT int32_t CLISITEF_CALL VerificaPresencaPinPad() {
    return Guarded(__func__, [&](Simulator& sim) { return sim.CheckPinPad(); });
}
