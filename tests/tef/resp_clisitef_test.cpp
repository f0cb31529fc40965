#include "tef/resp_clisitef.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/environment.h"
#include "support/temp_folder.h"
#include "tef/errors.h"

namespace {

using platform::ToDateTime;
using namespace tef;

class RespCliSiTef : public ::testing::Test {
protected:
    void SetUp() override { platform::SetEnvText("TZ", "America/Sao_Paulo"); }
};

TEST_F(RespCliSiTef, EscapingRoundTrips) {
    struct Case {
        AnsiString value;
        AnsiString escaped;
    } cases[] = {
        {"  CREDITO\n  Caf\xE9 \xE0 vista\n\n", "  CREDITO\\x0A  Caf\\xE9 \\xE0 vista\\x0A\\x0A"},
        {"a\r\nb\tc", "a\\x0D\\x0Ab\\x09c"},
        {"\x80\xFF\x01", "\\x80\\xFF\\x01"},
        {"C:\\xml\\x", "C:\\x5Cxml\\x5Cx"},  // text that looks like an escape stays text
        {"C:\\dir\\", "C:\\dir\\"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeRecordValue(c.value), c.escaped);
        EXPECT_EQ(UnescapeRecordValue(c.escaped), c.value);
    }
}

TEST_F(RespCliSiTef, UnescapingToleratesBadPairs) {
    struct Case {
        const char* stored;
        AnsiString value;
    } cases[] = {
        {"a\\x0ab", "a\nb"},  // lower-case digits
        {"a\\xZZb", "a b"},    {"ab\\x4", "ab "}, {"ab\\x", "ab "},
        {"\\x5C\\x41", "\\A"},  // one pass: a produced backslash starts nothing
    };
    for (const auto& c : cases) EXPECT_EQ(UnescapeRecordValue(c.stored), c.value) << c.stored;
}

TEST_F(RespCliSiTef, GravaInformacaoNumbersInstalmentsAndEscapes) {
    TKaCliSiTefRespCliSiTef resp;
    for (const char* data : {"26122025", "26012026", "26022026"}) resp.GravaInformacao(141, data);
    resp.GravaInformacao(142, "6308");
    resp.GravaInformacao(133, "123456");
    EXPECT_FALSE(resp.MsgImpressao);
    resp.GravaInformacao(121, "VIA 1\nR$ 10,00\n");
    EXPECT_TRUE(resp.MsgImpressao);
    EXPECT_EQ(resp.Conteudo.Conteudo(),
              (std::vector<AnsiString>{"121-000 = VIA 1\\x0AR$ 10,00\\x0A", "133-000 = 123456",
                                       "141-001 = 26122025", "141-002 = 26012026",
                                       "141-003 = 26022026", "142-001 = 6308"}));
}

// A credit payment in three instalments with a withdrawal and a discount, stored as the
// interactive loop stores it.
void FillCreditPayment(TKaCliSiTefRespCliSiTef& resp) {
    resp.Conteudo.GravaInformacao(899, 100, "CRT");
    resp.Conteudo.GravaInformacao(899, 101, "42521");
    resp.Conteudo.GravaInformacao(899, 102, "42521");
    resp.Conteudo.GravaInformacao(899, 103, "18923");
    resp.SetCNFEnviado(true);
    resp.SetIndiceFPG_ECF("01");
    resp.SetOrdemPagamento(2);
    resp.GravaInformacao(100, "020300");
    resp.GravaInformacao(101,
                         "Cr\xE9"
                         "dito parcelado");
    resp.GravaInformacao(105, "20251126114841");
    resp.GravaInformacao(121,
                         "  COMPROVANTE\n  Cr\xE9"
                         "dito\n\nVALOR: 194,23\n");
    resp.GravaInformacao(122, "VIA CLIENTE\nVALOR: 194,23");
    resp.GravaInformacao(130, "1000");
    resp.GravaInformacao(131, "00001");
    resp.GravaInformacao(132, "00002");
    resp.GravaInformacao(133, "123456");
    resp.GravaInformacao(134, "654321");
    resp.GravaInformacao(135, "A1B2C3");
    for (const char* data : {"26122025", "26012026", "26022026"}) resp.GravaInformacao(141, data);
    for (const char* valor : {"6475", "6474", "6474"}) resp.GravaInformacao(142, valor);
    resp.GravaInformacao(156, "REDE");
    resp.GravaInformacao(157, "1234567890");
    resp.GravaInformacao(505, "3");
    resp.GravaInformacao(800, "HASH42");
    resp.GravaInformacao(2021, "411111******1111");
    resp.GravaInformacao(4029, "500");
}

void ExpectCreditPayment(const TKaCliSiTefResp& resp) {
    EXPECT_EQ(resp.Header, "CRT");
    EXPECT_EQ(resp.ID, 42521);
    EXPECT_EQ(resp.DocumentoVinculado, "42521");
    EXPECT_TRUE(resp.CNFEnviado());
    EXPECT_EQ(resp.IndiceFPG_ECF(), "01");
    EXPECT_EQ(resp.OrdemPagamento(), 2);
    EXPECT_EQ(resp.ModalidadePagto, "020300");
    EXPECT_TRUE(resp.Credito);
    EXPECT_FALSE(resp.Debito);
    EXPECT_EQ(resp.ParceladoPor, parcADM);
    EXPECT_EQ(resp.TipoOperacao, opParcelado);
    EXPECT_EQ(resp.ModalidadeExtenso, "Crédito parcelado");
    EXPECT_DOUBLE_EQ(resp.DataHoraTransacaoHost, ToDateTime({2025, 11, 26, 11, 48, 41}));
    EXPECT_DOUBLE_EQ(resp.DataHoraTransacaoLocal, resp.DataHoraTransacaoHost);
    EXPECT_DOUBLE_EQ(resp.DataHoraTransacaoComprovante, resp.DataHoraTransacaoHost);
    EXPECT_EQ(resp.ImagemComprovante1aVia,
              (TextLines{"  COMPROVANTE", "  Crédito", "", "VALOR: 194,23"}));
    EXPECT_EQ(resp.ImagemComprovante2aVia, (TextLines{"VIA CLIENTE", "VALOR: 194,23"}));
    EXPECT_EQ(resp.QtdLinhasComprovante, 4);
    EXPECT_EQ(resp.Instituicao, "00001");
    EXPECT_EQ(resp.Bandeira, "00002");
    EXPECT_EQ(resp.NSU, "123456");
    EXPECT_EQ(resp.NSUComprovante, "654321");
    EXPECT_EQ(resp.CodigoAutorizacaoTransacao, "A1B2C3");
    EXPECT_EQ(resp.Rede, "REDE");
    EXPECT_EQ(resp.CodigoEstabelecimento, "1234567890");
    EXPECT_EQ(resp.CodigoHASH, "HASH42");
    EXPECT_EQ(resp.NumeroCartao, "411111******1111");
    EXPECT_EQ(resp.QtdParcelas, 3);
    EXPECT_EQ(resp.Saque, 100000);
    EXPECT_EQ(resp.Desconto, 50000);
    // Requested 189,23 + withdrawal 10,00 − discount 5,00.
    EXPECT_EQ(resp.ValorTotal, 1942300);
    ASSERT_EQ(resp.Parcelas.size(), 3u);
    EXPECT_DOUBLE_EQ(resp.Parcelas[0].Vencimento, ToDateTime({2025, 12, 26}));
    EXPECT_EQ(resp.Parcelas[0].Valor, 647500);
    EXPECT_DOUBLE_EQ(resp.Parcelas[2].Vencimento, ToDateTime({2026, 2, 26}));
    EXPECT_EQ(resp.Parcelas[2].Valor, 647400);
}

TEST_F(RespCliSiTef, ConteudoToPropertyDerivesTheProperties) {
    TKaCliSiTefRespCliSiTef resp;
    FillCreditPayment(resp);
    resp.ConteudoToProperty();
    ExpectCreditPayment(resp);
    // Deriving again does not add the amounts twice.
    resp.ConteudoToProperty();
    EXPECT_EQ(resp.ValorTotal, 1942300);
}

TEST_F(RespCliSiTef, OtherFieldsAndModes) {
    TKaCliSiTefRespCliSiTef resp;
    resp.GravaInformacao(100, "0100");
    resp.GravaInformacao(501, "1");
    resp.GravaInformacao(506, "15012026");
    resp.GravaInformacao(515, "20112025");
    resp.GravaInformacao(516, "999");
    resp.GravaInformacao(527, "2812");
    resp.GravaInformacao(613, "12345678901234567890123456789012");
    resp.GravaInformacao(626, "001");
    resp.GravaInformacao(630, "9");
    resp.GravaInformacao(139, "2000");
    resp.GravaInformacao(140, "01122025");
    resp.ConteudoToProperty();
    EXPECT_TRUE(resp.Debito);
    EXPECT_EQ(resp.TipoOperacao, opAvista);
    EXPECT_EQ(resp.ParceladoPor, parcNenhum);
    EXPECT_EQ(resp.TipoPessoa, 'F');
    EXPECT_DOUBLE_EQ(resp.DataPreDatado, ToDateTime({2026, 1, 15}));
    EXPECT_DOUBLE_EQ(resp.DataHoraTransacaoCancelada, ToDateTime({2025, 11, 20}));
    EXPECT_EQ(resp.NSUTransacaoCancelada, "999");
    EXPECT_DOUBLE_EQ(resp.DataVencimento, 0);  // not a full date
    EXPECT_EQ(resp.Cheque, "123456");
    EXPECT_EQ(resp.Banco, "001");
    EXPECT_EQ(resp.ContaDC, "9");
    EXPECT_EQ(resp.ValorEntradaCDC, 200000);
    EXPECT_DOUBLE_EQ(resp.DataEntradaCDC, ToDateTime({2025, 12, 1}));
    EXPECT_TRUE(resp.Parcelas.empty());  // no 141 field

    resp.GravaInformacao(501, "0");  // writes an empty value: AsInteger reads 0
    resp.GravaInformacao(100, "0201");
    resp.ConteudoToProperty();
    EXPECT_EQ(resp.TipoPessoa, 'J');
    EXPECT_FALSE(resp.Debito);
    EXPECT_TRUE(resp.Credito);
    EXPECT_EQ(resp.TipoOperacao, opPreDatado);
}

TEST_F(RespCliSiTef, FileAndAssignKeepEveryProperty) {
    qvtest::TempFolder folder;
    TKaCliSiTefRespCliSiTef resp;
    FillCreditPayment(resp);
    resp.Conteudo.GravarArquivo(folder / "KaCliSiTef_CliSiTef_001.tef", true);

    TKaCliSiTefRespCliSiTef lido;
    lido.LeArquivo(folder / "KaCliSiTef_CliSiTef_001.tef");
    ExpectCreditPayment(lido);
    EXPECT_EQ(lido.Conteudo.Conteudo(), resp.Conteudo.Conteudo());

    lido.SetArqBackup("  " + folder / "KaCliSiTef_CliSiTef_001.tef \r\n");
    lido.TipoGP = gpCliSiTef;
    TKaCliSiTefRespCliSiTef copia;
    copia.Assign(lido);
    ExpectCreditPayment(copia);
    EXPECT_EQ(copia.ArqBackup(), folder / "KaCliSiTef_CliSiTef_001.tef");
    EXPECT_EQ(copia.TipoGP, gpCliSiTef);
}

TEST_F(RespCliSiTef, ClearKeepsTheStatedProperties) {
    TKaCliSiTefRespCliSiTef resp;
    FillCreditPayment(resp);
    resp.ConteudoToProperty();
    resp.Pendente = true;
    resp.TipoGP = gpCliSiTef;
    resp.DataVencimento = 1.0;
    resp.Estabelecimento = "LOJA";
    resp.CodigoRedeAutorizada = "005";
    resp.TipoPessoa = 'F';
    resp.SetArqBackup("a.tef");

    resp.Clear();
    EXPECT_EQ(resp.Conteudo.Count(), 0);
    EXPECT_TRUE(resp.Parcelas.empty());
    EXPECT_TRUE(resp.ImagemComprovante1aVia.empty());
    EXPECT_EQ(resp.Header, "");
    EXPECT_EQ(resp.NSU, "");
    EXPECT_EQ(resp.ValorTotal, 0);
    EXPECT_EQ(resp.QtdParcelas, 0);
    EXPECT_FALSE(resp.Credito);
    EXPECT_FALSE(resp.CNFEnviado());
    EXPECT_EQ(resp.IndiceFPG_ECF(), "");
    EXPECT_EQ(resp.OrdemPagamento(), 0);
    EXPECT_EQ(resp.ArqBackup(), "");
    EXPECT_DOUBLE_EQ(resp.DataHoraTransacaoHost, 0);
    EXPECT_EQ(resp.TipoPessoa, ' ');
    EXPECT_EQ(resp.ParceladoPor, parcNenhum);
    EXPECT_EQ(resp.TipoOperacao, opOutras);
    // Kept.
    EXPECT_EQ(resp.CodigoHASH, "HASH42");
    EXPECT_EQ(resp.NumeroCartao, "411111******1111");
    EXPECT_EQ(resp.Instituicao, "00001");
    EXPECT_EQ(resp.Bandeira, "00002");
    EXPECT_EQ(resp.ModalidadePagto, "020300");
    EXPECT_EQ(resp.ModalidadeExtenso, "Crédito parcelado");
    EXPECT_EQ(resp.CodigoEstabelecimento, "1234567890");
    EXPECT_EQ(resp.NSUComprovante, "654321");
    EXPECT_EQ(resp.Estabelecimento, "LOJA");
    EXPECT_EQ(resp.CodigoRedeAutorizada, "005");
    EXPECT_DOUBLE_EQ(resp.DataVencimento, 1.0);
    EXPECT_TRUE(resp.Pendente);
    EXPECT_TRUE(resp.MsgImpressao);
    EXPECT_EQ(resp.TipoGP, gpCliSiTef);
}

TEST_F(RespCliSiTef, SettersWriteTheEngineFields) {
    TKaCliSiTefResp resp;
    resp.SetCNFEnviado(false);
    resp.SetIndiceFPG_ECF("113");
    resp.SetOrdemPagamento(0);
    EXPECT_EQ(resp.Conteudo.Conteudo(),
              (std::vector<AnsiString>{"899-001 = N", "899-002 = 113", "899-003 = 0"}));
    resp.SetCNFEnviado(true);
    EXPECT_EQ(resp.LeInformacao(899, 1).AsString(), "S");
    EXPECT_TRUE(resp.TransacaoAprovada());
}

TEST_F(RespCliSiTef, MissingFileLeavesTheResponseEmpty) {
    qvtest::TempFolder folder;
    TKaCliSiTefRespCliSiTef resp;
    FillCreditPayment(resp);
    resp.ConteudoToProperty();
    EXPECT_THROW(resp.LeArquivo(folder / "missing.tef"), EKaCliSiTefArquivo);
    EXPECT_EQ(resp.Conteudo.Count(), 0);
    EXPECT_EQ(resp.ValorTotal, 0);
    EXPECT_EQ(resp.Header, "");
}

}  // namespace
