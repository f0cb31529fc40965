#include "tef/types.h"

#include <gtest/gtest.h>

namespace {

using namespace tef;

TEST(Types, OrdinalsAndNames) {
    struct Case {
        int ordinal;
        std::string name;
        int expected_ordinal;
        const char* expected_name;
    } cases[] = {
        {gpNenhum, ToString(gpNenhum), 0, "gpNenhum"},
        {gpCliSiTef, ToString(gpCliSiTef), 4, "gpCliSiTef"},
        {gpVeSPague, ToString(gpVeSPague), 6, "gpVeSPague"},
        {gpTefAuttar, ToString(gpTefAuttar), 8, "gpTefAuttar"},
        {gpConvCard, ToString(gpConvCard), 15, "gpConvCard"},
        {opmOK, ToString(opmOK), 0, "opmOK"},
        {opmYesNo, ToString(opmYesNo), 1, "opmYesNo"},
        {opmExibirMsgOperador, ToString(opmExibirMsgOperador), 3, "opmExibirMsgOperador"},
        {opmRemoverMsgCliente, ToString(opmRemoverMsgCliente), 6, "opmRemoverMsgCliente"},
        {opmExcept, ToString(opmExcept), 8, "opmExcept"},
        {opmQRCode, ToString(opmQRCode), 9, "opmQRCode"},
        {opeAbreGerencial, ToString(opeAbreGerencial), 0, "opeAbreGerencial"},
        {opePulaLinhas, ToString(opePulaLinhas), 2, "opePulaLinhas"},
        {opeImprimePagamentos, ToString(opeImprimePagamentos), 7, "opeImprimePagamentos"},
        {ineSubTotal, ToString(ineSubTotal), 0, "ineSubTotal"},
        {ineEstadoECF, ToString(ineEstadoECF), 1, "ineEstadoECF"},
        {ineTotalAPagar, ToString(ineTotalAPagar), 2, "ineTotalAPagar"},
        {trGerencial, ToString(trGerencial), 0, "trGerencial"},
        {trVinculado, ToString(trVinculado), 1, "trVinculado"},
        {reqNenhum, ToString(reqNenhum), 0, "reqNenhum"},
        {reqFinalizada, ToString(reqFinalizada), 5, "reqFinalizada"},
        {respNenhum, ToString(respNenhum), 0, "respNenhum"},
        {respProcessando, ToString(respProcessando), 2, "respProcessando"},
        {respConcluida, ToString(respConcluida), 3, "respConcluida"},
        {tcString, ToString(tcString), 0, "tcString"},
        {tcCurrency, ToString(tcCurrency), 1, "tcCurrency"},
        {tcSeguranca, ToString(tcSeguranca), 4, "tcSeguranca"},
        {parcNenhum, ToString(parcNenhum), 0, "parcNenhum"},
        {parcADM, ToString(parcADM), 1, "parcADM"},
        {parcLoja, ToString(parcLoja), 2, "parcLoja"},
        {opOutras, ToString(opOutras), 0, "opOutras"},
        {opAvista, ToString(opAvista), 1, "opAvista"},
        {opParcelado, ToString(opParcelado), 2, "opParcelado"},
        {opPreDatado, ToString(opPreDatado), 3, "opPreDatado"},
        // A value outside the enumeration (a stored ordinal from elsewhere) shows its number.
        {99, ToString(static_cast<TKaCliSiTefOperacaoMensagem>(99)), 99, "99"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.ordinal, c.expected_ordinal) << c.expected_name;
        EXPECT_EQ(c.name, c.expected_name);
    }
}

}  // namespace
