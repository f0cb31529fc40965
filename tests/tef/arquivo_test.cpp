#include "tef/arquivo.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/file_system.h"
#include "support/temp_folder.h"
#include "tef/errors.h"

namespace {

using tef::AnsiString;
using tef::TKaCliSiTefArquivo;
using tef::TKaCliSiTefLinha;

TEST(Linha, Keys) {
    struct Case {
        int identificacao, sequencia;
        const char* expected;
    } cases[] = {
        {899, 100, "899-100"}, {4128, 0, "4128-000"}, {4128, 1000, "4128-100"},
        {1, 0, "001-000"},     {141, 1, "141-001"},   {0, 0, "000-000"},
    };
    for (const auto& c : cases) EXPECT_EQ(tef::MakeKey(c.identificacao, c.sequencia), c.expected);
}

TEST(Linha, Parsing) {
    struct Case {
        const char* linha;
        int identificacao, sequencia;
        const char* informacao;
        const char* chave;
    } cases[] = {
        {"899-100 = CRT", 899, 100, "CRT", "899-100"},
        {"4128-000 = a = b", 4128, 0, "a = b", "4128-000"},
        {"001-000 =", 1, 0, "", "001-000"},
        {"12345 = x", 123, 5, "x", "12345"},  // no dash: cut after three characters
        {"12-5 = y", 0, 0, "y", "12-5"},      // short identifier: unreadable
        {"abc-def = z", 0, 0, "z", "abc-def"},
        {"no separator", 0, 0, "", ""},
    };
    for (const auto& c : cases) {
        TKaCliSiTefLinha linha;
        linha.SetLinha(c.linha);
        EXPECT_EQ(linha.Identificacao(), c.identificacao) << c.linha;
        EXPECT_EQ(linha.Sequencia(), c.sequencia) << c.linha;
        EXPECT_EQ(linha.Informacao().AsString(), c.informacao) << c.linha;
        EXPECT_EQ(linha.Chave(), c.chave) << c.linha;
        EXPECT_EQ(linha.GetLinha(), c.linha);
    }
}

TEST(Linha, WithoutTextRebuildsFromFields) {
    TKaCliSiTefLinha linha;
    EXPECT_EQ(linha.Chave(), "");
    linha.SetIdentificacao(899);
    linha.SetSequencia(100);
    linha.Informacao().SetAsString("ADM");
    EXPECT_EQ(linha.Chave(), "899-100");
    EXPECT_EQ(linha.GetLinha(), "899-100 = ADM");
}

TEST(Arquivo, GravaInformacaoKeepsOneSortedLinePerKey) {
    TKaCliSiTefArquivo arquivo;
    arquivo.GravaInformacao(899, 100, "CRT");
    arquivo.GravaInformacao(4128, 0, "x");
    arquivo.GravaInformacao(100, 0, "020300");
    arquivo.GravaInformacao(899, 100, "ADM");  // replaces
    arquivo.GravaInformacao(1000, 0, "y");
    arquivo.GravaInformacao(133, 0, "123");
    arquivo.GravaInformacao(133, 0, "");  // removes
    tef::TKaCliSiTefInformacao informacao;
    informacao.SetAsFloat(0.05);
    arquivo.GravaInformacao(130, 0, informacao);
    EXPECT_EQ(arquivo.Conteudo(),
              (std::vector<AnsiString>{"100-000 = 020300", "1000-000 = y", "130-000 = 005",
                                       "4128-000 = x", "899-100 = ADM"}));
    EXPECT_EQ(arquivo.Count(), 5);
}

TEST(Arquivo, OrderIgnoresCaseOfTheCodePage) {
    TKaCliSiTefArquivo arquivo;
    for (const char* chave : {"b", "A", "\xC9", "\xE0", "Z"}) {  // É, à
        arquivo.GravaInformacao(chave, "1");
    }
    // Byte order would give A, Z, b, É, à.
    EXPECT_EQ(arquivo.Conteudo(),
              (std::vector<AnsiString>{"A = 1", "b = 1", "Z = 1", "\xE0 = 1", "\xC9 = 1"}));
    // A line that differs from one present only by case is the same line.
    arquivo.GravaInformacao("a", "1");
    EXPECT_EQ(arquivo.Count(), 5);
}

TEST(Arquivo, ReadsFieldsThroughTheSharedLine) {
    TKaCliSiTefArquivo arquivo;
    arquivo.GravaInformacao(899, 100, "CRT");
    arquivo.GravaInformacao(899, 103, "18923");

    TKaCliSiTefLinha& linha = arquivo.LeLinha(899, 103);
    EXPECT_EQ(linha.GetLinha(), "899-103 = 18923");
    EXPECT_EQ(linha.Informacao().AsMoney(), 1892300);
    EXPECT_EQ(arquivo.LeInformacao(899, 100).AsString(), "CRT");

    TKaCliSiTefLinha& ausente = arquivo.LeLinha(505, 0);
    EXPECT_EQ(ausente.Chave(), "505-000");
    EXPECT_EQ(ausente.Informacao().AsString(), "");
    EXPECT_EQ(ausente.Informacao().AsInteger(), 0);

    EXPECT_EQ(arquivo.Linha(1).Chave(), "899-103");
    EXPECT_EQ(arquivo.Linha(0).Informacao().AsString(), "CRT");
}

TEST(Arquivo, FileRoundTripsByteForByte) {
    qvtest::TempFolder folder;
    const std::string expected =
        "100-000 = 020300\r\n"
        "121-000 = Jos\xE9\\x0A\r\n"
        "899-100 = CRT\r\n";
    TKaCliSiTefArquivo arquivo;
    arquivo.GravaInformacao(899, 100, "CRT");
    arquivo.GravaInformacao(121, 0, "Jos\xE9\\x0A");
    arquivo.GravaInformacao(100, 0, "020300");
    arquivo.GravarArquivo(folder / "a.tef", true);
    EXPECT_EQ(platform::ReadFile(folder / "a.tef").value_or("<unreadable>"), expected);

    // A file in any line order and line-break style reads back sorted and unique.
    ASSERT_TRUE(platform::WriteFile(folder / "b.tef",
                                    "899-100 = CRT\n121-000 = Jos\xE9\\x0A\r\n\r\n"
                                    "100-000 = 020300\r899-100 = crt\n"));
    TKaCliSiTefArquivo lido;
    lido.LeArquivo(folder / "b.tef");
    EXPECT_EQ(lido.Count(), 3);
    lido.GravarArquivo(folder / "c.tef", false);
    EXPECT_EQ(platform::ReadFile(folder / "c.tef").value_or("<unreadable>"), expected);
}

TEST(Arquivo, MissingFileRaisesAndLeavesTheRecordEmpty) {
    qvtest::TempFolder folder;
    TKaCliSiTefArquivo arquivo;
    arquivo.GravaInformacao(899, 100, "CRT");
    std::string name = folder / "missing.tef";
    try {
        arquivo.LeArquivo(name);
        FAIL() << "no error";
    } catch (const tef::EKaCliSiTefArquivo& e) {
        EXPECT_EQ(std::string(e.what()), "Arquivo: \r\n" + name + "\r\nnão encontrado");
    }
    EXPECT_EQ(arquivo.Count(), 0);
}

TEST(Arquivo, UnwritableFileRaises) {
    qvtest::TempFolder folder;
    TKaCliSiTefArquivo arquivo;
    arquivo.GravaInformacao(899, 100, "CRT");
    std::string name = folder / "no-such-folder/a.tef";
    EXPECT_THROW(arquivo.GravarArquivo(name, true), tef::EKaCliSiTefArquivo);
}

}  // namespace
