// The "result" message of a TEF operation and the "receipt" message of a printed receipt copy:
// one entry per approved response of the payment library, laid out by the kind of operation,
// with the values of the request that started it. Pure builders; the data module sends them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "requests/json_writer.h"
#include "tef/resp.h"

namespace requests {

// What an entry reports besides the library's response.
struct TResultContext {
    int32_t sale_id = 0;
    std::string payer_name;
    std::string canceled_nsu;
    bool cancelling = false;  // the operation cancels an earlier payment
};

// "reprint" (payment form "113" or "114"), "cancellation", "debit", "credit" or "pix".
std::string ResultOperation(const tef::TKaCliSiTefResp& resp, bool cancelling);

// One entry of "transaction_data", keys in the order of its operation.
JsonObject TransactionEntry(const tef::TKaCliSiTefResp& resp, const TResultContext& context);

// {"type":"result","status":"approved","message":...,"transaction_data":entries}
std::string ApprovedResult(const JsonArray& entries);
// The result of an approval the library did not confirm: the entries first, then
// "status" "canceled" and its message.
std::string UnconfirmedResult(const JsonArray& entries);
// {"type":"result","status":"canceled" (or "unauthorized"),"message":"Transação TEF não
// realizada."}
std::string NegativeResult(bool cancelled);

// {"type":"receipt","copy_number":via,"data":[lines]}
std::string ReceiptMessage(int via, const tef::TextLines& lines);

// A local date-time as UTC, "yyyy-mm-ddThh:nn:ssZ".
std::string UtcDateTimeText(platform::TDateTime local);

}  // namespace requests
