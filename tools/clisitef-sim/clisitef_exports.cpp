// The twelve exports of the payment library. Each forwards to the simulator and makes sure
// that nothing thrown inside ever reaches the caller.
#include <exception>

#include "simulator.h"
#include "tef/clisitef_abi.h"

#define QV_EXPORT extern "C" __attribute__((visibility("default")))

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

QV_EXPORT int32_t ConfiguraIntSiTefInterativoEx(const char* ip, const char* loja,
                                                const char* terminal, int32_t reservado,
                                                const char* parametrosAdicionais) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.Configure(ip, loja, terminal, reservado, parametrosAdicionais);
    });
}

QV_EXPORT int32_t IniciaFuncaoSiTefInterativo(int32_t funcao, const char* valor,
                                              const char* cupomFiscal, const char* dataFiscal,
                                              const char* horario, const char* operador,
                                              const char* restricoes) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.StartFunction(funcao, valor, cupomFiscal, dataFiscal, horario, operador,
                                 restricoes);
    });
}

QV_EXPORT int32_t ContinuaFuncaoSiTefInterativo(int32_t* comando, int32_t* tipoCampo,
                                                int16_t* tamMinimo, int16_t* tamMaximo,
                                                char* buffer, int32_t tamBuffer, int32_t continua) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.ContinueFunction(comando, tipoCampo, tamMinimo, tamMaximo, buffer, tamBuffer,
                                    continua);
    });
}

QV_EXPORT int32_t FinalizaFuncaoSiTefInterativo(int32_t confirma, const char* cupomFiscal,
                                                const char* dataFiscal, const char* horario,
                                                const char* paramAdicionais) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.FinishFunction("FinalizaFuncaoSiTefInterativo", confirma, cupomFiscal,
                                  dataFiscal, horario, paramAdicionais, true);
    });
}

QV_EXPORT int32_t FinalizaTransacaoSiTefInterativo(int32_t confirma, const char* cupomFiscal,
                                                   const char* dataFiscal, const char* horario) {
    return Guarded(__func__, [&](Simulator& sim) {
        return sim.FinishFunction("FinalizaTransacaoSiTefInterativo", confirma, cupomFiscal,
                                  dataFiscal, horario, nullptr, false);
    });
}

QV_EXPORT int32_t LeTrilha3(char* area4) {
    return Guarded(__func__, [&](Simulator& sim) { return sim.ReadTrack3(area4); });
}

QV_EXPORT int32_t LeCartaoSeguro(char* area) {
    return Guarded(__func__,
                   [&](Simulator& sim) { return sim.ReadSecureCard("LeCartaoSeguro", area); });
}

QV_EXPORT int32_t LeCartaoDiretoSeguro(char* area) {
    return Guarded(
        __func__, [&](Simulator& sim) { return sim.ReadSecureCard("LeCartaoDiretoSeguro", area); });
}

QV_EXPORT int32_t LeCartaoDiretoEx(char* a25, char* a129, char* b129, int16_t valor, int32_t zero) {
    return Guarded(
        __func__, [&](Simulator& sim) { return sim.ReadCardDirect(a25, a129, b129, valor, zero); });
}

QV_EXPORT int32_t EscreveMensagemPermanentePinPad(const char* mensagem) {
    return Guarded(__func__, [&](Simulator& sim) { return sim.WritePinPadMessage(mensagem); });
}

QV_EXPORT int32_t ObtemQuantidadeTransacoesPendentes(const char* data, const char* cupomFiscal) {
    return Guarded(__func__, [&](Simulator& sim) { return sim.CountPending(data, cupomFiscal); });
}

QV_EXPORT int32_t VerificaPresencaPinPad() {
    return Guarded(__func__, [&](Simulator& sim) { return sim.CheckPinPad(); });
}
