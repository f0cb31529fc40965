// A "/transaction" request as the client sent it: a payment ("transaction"), the cancellation
// of an earlier payment ("cancellation") or a receipt reprint ("reprint"), read and checked
// in full before anything of a running operation is touched; and the arguments the TEF
// component's CRT takes for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "requests/client_request.h"
#include "tef/money.h"

namespace requests {

enum class TTransactionType { kTransaction, kCancellation, kReprint };

struct TTransactionRequest {
    TTransactionType type = TTransactionType::kTransaction;
    int32_t operation = 0;  // the library's function code
    // "transaction" only.
    std::string payer_name;
    // "cancellation" only: the NSU and the date-time of the payment to cancel.
    std::string cancellation_nsu;
    platform::TDateTime transaction_date = 0;
    // "transaction" and "cancellation"; a reprint keeps the values of the last payment.
    std::optional<int32_t> sale_id;  // none: the session start's
    tef::Money value = 0;
    int32_t installments = 0;
    // The client's name for this sale attempt, when it wants the outcome kept.
    std::optional<std::string> request_id;
};

// Reads the request. None for an answer of type "confirmation" that no prompt was waiting
// for. Raises RequestError with the text the client is answered: "O campo type diferente de
// transaction", a missing field's or an unreadable number's text, and for a cancellation
// `O campo "cancellation_nsu" não foi preenchido.`, `O campo "transaction_date" não foi
// preenchido.` or `O campo "transaction_date" não foi preenchido corretamente.`, and the
// "request_id" refusals of ReadRequestId.
std::optional<TTransactionRequest> ReadTransactionRequest(const TClientRequest& request);

// The arguments of the component's CRT for a request of `type`, with the operation's values.
struct TCrtArguments {
    double Valor = 0;
    std::string IndiceFPG_ECF;
    std::string DocumentoVinculado;
    std::string QtdParcela;
};
TCrtArguments CrtArguments(TTransactionType type, int32_t operation, tef::Money value,
                           int32_t sale_id, int32_t installments);

}  // namespace requests
