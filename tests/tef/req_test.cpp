#include "tef/req.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using tef::AnsiString;

TEST(Req, SettersWriteTheirFieldsAndClearKeepsTheRest) {
    tef::TKaCliSiTefReq req;
    req.SetHeader("CRT");
    req.SetID(42);
    req.SetDocumentoVinculado("NF-001/2");
    req.SetValorTotal(1892300);
    req.SetNSU(" 12.345 ");
    req.SetTipoPessoa('F');
    req.SetDataHoraTransacaoComprovante(platform::ToDateTime({2025, 11, 26, 11, 48, 41}));
    req.SetRede("Rede S\xC3\xA3o Paulo");  // UTF-8 in, Windows-1252 on file
    EXPECT_EQ(req.DocumentoVinculado(), "0012");
    EXPECT_EQ(
        req.Conteudo().Conteudo(),
        (std::vector<AnsiString>{"000-000 = CRT", "001-000 = 42", "002-000 = 0012",
                                 "003-000 = 18923", "006-000 = F", "010-000 = Rede S\xE3o Paulo",
                                 "012-000 = 12345", "022-000 = 26112025", "023-000 = 114841"}));
    req.Clear();
    EXPECT_EQ(req.Conteudo().Count(), 0);
    EXPECT_EQ(req.Header(), "");
    EXPECT_EQ(req.ID(), 0);
    EXPECT_EQ(req.NSU(), "12345");
    EXPECT_EQ(req.ValorTotal(), 1892300);
}

}  // namespace
