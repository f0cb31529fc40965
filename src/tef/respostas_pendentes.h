// The responses of approved transactions that are not yet confirmed or undone, in the order
// they were approved, with the amounts of the sale being paid. The list owns its responses:
// removing or clearing one frees it. Used from one thread at a time (the running operation);
// only Quantidade may be read from any other thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tef/money.h"
#include "tef/resp.h"

namespace tef {

// One payment group for the fiscal printer: the responses of one payment form and order.
struct TKaCliSiTefGrupoRespostasPendentes {
    std::string IndiceFPG_ECF;
    int32_t OrdemPagamento = 0;
    Money Total = 0;
};

using TKaCliSiTefArrayGrupoRespostasPendentes = std::vector<TKaCliSiTefGrupoRespostasPendentes>;

class TKaCliSiTefRespostasPendentes {
public:
    int Count() const { return static_cast<int>(fItens.size()); }
    bool Empty() const { return fItens.empty(); }

    // 0 <= index < Count.
    TKaCliSiTefResp& Objects(int index) const { return *fItens.at(Index(index)); }
    // Replaces (and frees) the response at `index`.
    void SetObject(int index, std::unique_ptr<TKaCliSiTefResp> resp);

    // Appends `resp` (not null) and returns it.
    TKaCliSiTefResp& Add(std::unique_ptr<TKaCliSiTefResp> resp);
    // Inserts `resp` (not null) before `index` (0 <= index <= Count).
    void Insert(int index, std::unique_ptr<TKaCliSiTefResp> resp);
    // Removes and frees the response at `index`.
    void Delete(int index);
    void Clear() {
        fItens.clear();
        Contar();
    }

    // Runs `acao` with the list (an event that receives it, typically), then empties the list,
    // also when `acao` raises.
    void Entregar(const std::function<void(TKaCliSiTefRespostasPendentes&)>& acao);

    // Amount of the payment being started (set by the amount check); lowered after each
    // payment registered on the fiscal printer.
    Money SaldoAPagar = 0;
    // Kept for the host; nothing in the component reads it.
    Money Acumulado = 0;
    // Total of the sale and the part of it paid otherwise; set by the host before a payment.
    Money ValorTotalAPagar = 0;
    Money ValorDinheiro = 0;

    // Sum of ValorTotal − Saque over all responses, in cents.
    Money TotalPago() const;
    // −(sum of Desconto), in cents.
    Money TotalDesconto() const;
    // ValorTotalAPagar − (ValorDinheiro + S) in cents, where S sums ValorTotal − Saque +
    // Desconto over the responses not yet registered on the fiscal printer (OrdemPagamento 0).
    Money SaldoRestante() const;

    // Count as of the last change, for a thread other than the operation's (a health report).
    int Quantidade() const { return fQuantidade; }

private:
    size_t Index(int index) const;
    void Contar() { fQuantidade = Count(); }

    std::vector<std::unique_ptr<TKaCliSiTefResp>> fItens;
    std::atomic<int> fQuantidade{0};  // mirrors fItens.size()
};

// Rounds `value` to whole cents, half away from zero.
Money RoundToCents(Money value);

}  // namespace tef
