#include "tef/respostas_pendentes.h"

#include <stdexcept>

#include "platform/scope_exit.h"

namespace tef {
namespace {

std::unique_ptr<TKaCliSiTefResp> NotNull(std::unique_ptr<TKaCliSiTefResp> resp) {
    if (!resp) throw std::invalid_argument("TKaCliSiTefRespostasPendentes: resposta nula");
    return resp;
}

}  // namespace

Money RoundToCents(Money value) { return MoneyFromCents(MoneyToCents(value)); }

size_t TKaCliSiTefRespostasPendentes::Index(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("TKaCliSiTefRespostasPendentes: índice fora da lista");
    return static_cast<size_t>(index);
}

void TKaCliSiTefRespostasPendentes::SetObject(int index, std::unique_ptr<TKaCliSiTefResp> resp) {
    fItens[Index(index)] = NotNull(std::move(resp));
}

TKaCliSiTefResp& TKaCliSiTefRespostasPendentes::Add(std::unique_ptr<TKaCliSiTefResp> resp) {
    fItens.push_back(NotNull(std::move(resp)));
    Contar();
    return *fItens.back();
}

void TKaCliSiTefRespostasPendentes::Insert(int index, std::unique_ptr<TKaCliSiTefResp> resp) {
    if (index < 0 || index > Count())
        throw std::out_of_range("TKaCliSiTefRespostasPendentes: índice fora da lista");
    fItens.insert(fItens.begin() + index, NotNull(std::move(resp)));
    Contar();
}

void TKaCliSiTefRespostasPendentes::Delete(int index) {
    fItens.erase(fItens.begin() + Index(index));
    Contar();
}

void TKaCliSiTefRespostasPendentes::Entregar(
    const std::function<void(TKaCliSiTefRespostasPendentes&)>& acao) {
    platform::ScopeExit esvazia([this] { Clear(); });
    acao(*this);
}

Money TKaCliSiTefRespostasPendentes::TotalPago() const {
    Money total = 0;
    for (const auto& r : fItens) total += r->ValorTotal - r->Saque;
    return RoundToCents(total);
}

Money TKaCliSiTefRespostasPendentes::TotalDesconto() const {
    Money total = 0;
    for (const auto& r : fItens) total += r->Desconto;
    return -RoundToCents(total);
}

Money TKaCliSiTefRespostasPendentes::SaldoRestante() const {
    Money pago = 0;
    for (const auto& r : fItens) {
        if (r->OrdemPagamento() == 0) pago += r->ValorTotal - r->Saque + r->Desconto;
    }
    return RoundToCents(ValorTotalAPagar - (ValorDinheiro + RoundToCents(pago)));
}

}  // namespace tef
