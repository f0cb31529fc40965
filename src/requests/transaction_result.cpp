#include "requests/transaction_result.h"

namespace requests {
namespace {

constexpr const char* kApproved = "Transação TEF concluída com sucesso.";
constexpr const char* kNotConfirmed =
    "Ocorreu um erro durante o processo, a transação TEF não será confirmada.";
constexpr const char* kNotDone = "Transação TEF não realizada.";

JsonArray Lines(const tef::TextLines& lines) {
    JsonArray array;
    for (const std::string& line : lines) array.Add(line);
    return array;
}

// The receipt copies that have lines, first copy first.
JsonArray Receipt(const tef::TKaCliSiTefResp& r) {
    JsonArray copies;
    int via = 0;
    for (const tef::TextLines* copy : {&r.ImagemComprovante1aVia, &r.ImagemComprovante2aVia}) {
        ++via;
        if (!copy->empty())
            copies.Add(JsonObject().Add("copy_number", via).Add("data", Lines(*copy)));
    }
    return copies;
}

void AddCommonBlock(JsonObject& entry, const tef::TKaCliSiTefResp& r, const TResultContext& c) {
    entry.Add("payer_name", c.payer_name)
        .Add("institution", r.Instituicao)
        .Add("payment_method_code", r.ModalidadePagto)
        .Add("payment_method_description", r.ModalidadePagtoDescrita)
        .Add("hash", r.CodigoHASH)
        .Add("nsu_code", r.NSUComprovante)
        .Add("authorization_code", r.CodigoAutorizacaoTransacao)
        // The authorization code again: what clients have always been sent under this name.
        .Add("establishment_code", r.CodigoAutorizacaoTransacao)
        .Add("number_of_installments", r.QtdParcelas)
        .Add("transaction_value", tef::MoneyToDouble(r.ValorTotal))
        .Add("transaction_date_time", UtcDateTimeText(r.DataHoraTransacaoHost))
        .Add("gateway", "Software Express");
}

}  // namespace

std::string ResultOperation(const tef::TKaCliSiTefResp& resp, bool cancelling) {
    if (resp.IndiceFPG_ECF() == "113" || resp.IndiceFPG_ECF() == "114") return "reprint";
    if (cancelling) return "cancellation";
    if (resp.Debito) return "debit";
    if (resp.Credito) return "credit";
    return "pix";
}

JsonObject TransactionEntry(const tef::TKaCliSiTefResp& resp, const TResultContext& context) {
    const std::string operation = ResultOperation(resp, context.cancelling);
    JsonObject entry;
    entry.Add("sale_id", context.sale_id).Add("operation", operation);
    if (operation != "reprint") {
        if (operation == "debit" || operation == "credit")
            entry.Add("card_number", resp.NumeroCartao);
        entry.Add("operator", resp.Rede);
        if (operation == "cancellation") entry.Add("canceled_nsu", context.canceled_nsu);
        AddCommonBlock(entry, resp, context);
    }
    return entry.Add("receipt", Receipt(resp));
}

std::string ApprovedResult(const JsonArray& entries) {
    return JsonObject()
        .Add("type", "result")
        .Add("status", "approved")
        .Add("message", kApproved)
        .Add("transaction_data", entries)
        .ToString();
}

std::string UnconfirmedResult(const JsonArray& entries) {
    return JsonObject()
        .Add("type", "result")
        .Add("transaction_data", entries)
        .Add("status", "canceled")
        .Add("message", kNotConfirmed)
        .ToString();
}

std::string NegativeResult(bool cancelled) {
    return JsonObject()
        .Add("type", "result")
        .Add("status", cancelled ? "canceled" : "unauthorized")
        .Add("message", kNotDone)
        .ToString();
}

std::string ReceiptMessage(int via, const tef::TextLines& lines) {
    return JsonObject()
        .Add("type", "receipt")
        .Add("copy_number", via)
        .Add("data", Lines(lines))
        .ToString();
}

std::string UtcDateTimeText(platform::TDateTime local) {
    return platform::FormatDateTime("yyyy-mm-dd\"T\"hh:nn:ss\"Z\"",
                                    platform::LocalToUtc(platform::FromDateTime(local)));
}

}  // namespace requests
