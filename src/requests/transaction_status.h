// The "request_id" a client may give a "/transaction" so that its outcome survives a lost
// reply, and the "/transaction/status" route that asks for it: reading the identifier, the
// status replies and the texts of the refusals.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "requests/client_request.h"

namespace requests {

// A request_id is 1 to 64 characters, each a visible ASCII character ("!" to "~"): no blanks,
// no control or non-ASCII characters, which would make two identifiers look alike.
inline constexpr size_t kRequestIdMaxLength = 64;

inline constexpr const char* kRequestIdRunning =
    "A transação com este request_id ainda está em andamento; consulte o resultado em "
    "/transaction/status.";
inline constexpr const char* kResultsUnavailableForTransaction =
    "Registro de resultados indisponível; a transação não foi iniciada.";
inline constexpr const char* kResultsUnavailableForStatus =
    "Registro de resultados indisponível; não é possível consultar a transação.";

// The request's "request_id", none when it has none. Raises RequestError
// `O campo "request_id" não foi preenchido.` when it is empty or blank and `O campo
// "request_id" não foi preenchido corretamente.` when it is not a JSON string or breaks the
// rule above.
std::optional<std::string> ReadRequestId(const TClientRequest& request);

// The same for a request that must have one: "Campo request_id nao encontrado." without it.
std::string RequiredRequestId(const TClientRequest& request);

// {"type":"status","request_id":<id>,"status":<status>}, `status` "in_progress" or "unknown".
std::string TransactionStatusReply(const std::string& request_id, std::string_view status);

// "yyyymmdd" as a date; none when it names no day.
std::optional<platform::TDateTime> FiscalDate(std::string_view text);

}  // namespace requests
