#include "tef/respostas_pendentes.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace tef;

std::unique_ptr<TKaCliSiTefResp> Resposta(const std::string& doc, Money total = 0, Money saque = 0,
                                          Money desconto = 0, int ordem = 0) {
    auto r = std::make_unique<TKaCliSiTefResp>();
    r->DocumentoVinculado = doc;
    r->ValorTotal = total;
    r->Saque = saque;
    r->Desconto = desconto;
    r->SetOrdemPagamento(ordem);
    return r;
}

std::string Docs(const TKaCliSiTefRespostasPendentes& lista) {
    std::string docs;
    for (int i = 0; i < lista.Count(); ++i) docs += lista.Objects(i).DocumentoVinculado;
    return docs;
}

TEST(RespostasPendentes, KeepsOrderAndOwnsItsResponses) {
    TKaCliSiTefRespostasPendentes lista;
    lista.Add(Resposta("A"));
    lista.Add(Resposta("C"));
    lista.Insert(1, Resposta("B"));
    lista.Insert(0, Resposta("0"));
    EXPECT_EQ(Docs(lista), "0ABC");
    lista.Delete(0);
    lista.SetObject(2, Resposta("D"));
    EXPECT_EQ(Docs(lista), "ABD");
    EXPECT_THROW(lista.Objects(3), std::out_of_range);
    EXPECT_THROW(lista.Insert(5, Resposta("X")), std::out_of_range);
    EXPECT_THROW(lista.Add(nullptr), std::invalid_argument);
    EXPECT_EQ(Docs(lista), "ABD");
}

TEST(RespostasPendentes, EntregarEmptiesTheListAlsoWhenTheHandlerRaises) {
    TKaCliSiTefRespostasPendentes lista;
    lista.Add(Resposta("A"));
    int vistos = 0;
    lista.Entregar([&](TKaCliSiTefRespostasPendentes& l) { vistos = l.Count(); });
    EXPECT_EQ(vistos, 1);
    EXPECT_TRUE(lista.Empty());
    lista.Add(Resposta("B"));
    EXPECT_THROW(lista.Entregar([](auto&) { throw std::runtime_error("handler"); }),
                 std::runtime_error);
    EXPECT_TRUE(lista.Empty());
}

TEST(RespostasPendentes, QuantidadeFollowsEveryChange) {
    TKaCliSiTefRespostasPendentes lista;
    const std::vector<std::pair<const char*, std::function<void()>>> passos = {
        {"Add", [&] { lista.Add(Resposta("A")); }},
        {"Insert", [&] { lista.Insert(0, Resposta("B")); }},
        {"Insert fora", [&] { EXPECT_ANY_THROW(lista.Insert(9, Resposta("X"))); }},
        {"SetObject", [&] { lista.SetObject(1, Resposta("C")); }},
        {"Delete", [&] { lista.Delete(0); }},
        {"Delete fora", [&] { EXPECT_ANY_THROW(lista.Delete(4)); }},
        {"Add", [&] { lista.Add(Resposta("D")); }},
        {"Entregar", [&] { lista.Entregar([](auto&) {}); }},
        {"Add", [&] { lista.Add(Resposta("E")); }},
        {"Clear", [&] { lista.Clear(); }},
    };
    for (const auto& [nome, passo] : passos) {
        passo();
        EXPECT_EQ(lista.Quantidade(), lista.Count()) << nome;
    }
}

TEST(RespostasPendentes, ComputedAmounts) {
    // Amounts in ten-thousandths: 100000 is 10,00.
    TKaCliSiTefRespostasPendentes lista;
    lista.ValorTotalAPagar = 1000000;  // 100,00
    lista.ValorDinheiro = 150000;      // 15,00
    EXPECT_EQ(lista.TotalPago(), 0);
    EXPECT_EQ(lista.TotalDesconto(), 0);
    EXPECT_EQ(lista.SaldoRestante(), 850000);

    lista.Add(Resposta("A", 300000, 50000, 0, 0));  // 30,00 with a withdrawal of 5,00
    lista.Add(Resposta("B", 200055, 0, 20000, 0));  // 20,0055 with a discount of 2,00
    lista.Add(Resposta("C", 100000, 0, 0, 3));      // already on the fiscal printer
    EXPECT_EQ(lista.TotalPago(), 550100);           // 25 + 20,0055 + 10 → 55,01
    EXPECT_EQ(lista.TotalDesconto(), -20000);
    // Only unregistered payments count: 25 + 22,0055 → 47,01; 100 − (15 + 47,01).
    EXPECT_EQ(lista.SaldoRestante(), 379900);
}

}  // namespace
