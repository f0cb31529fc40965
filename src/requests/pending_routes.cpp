// Handlers whose routes are served by later parts of the request layer (sessions, TEF
// initialisation, PIN pad, transactions). Until each arrives, its route is routed here and,
// like an unknown route, gets no reply.
#include "requests/dm_sitef.h"

namespace requests {

void TDmSitef::CreateSession(const std::string&, transport::TClientConnection&) {}
void TDmSitef::FinishSession(const std::string&, const TSession&) {}
void TDmSitef::InitializeSiTef(const std::string&, const TSession&) {}
void TDmSitef::CheckPinpad(const std::string&, const TSession&) {}
void TDmSitef::StartTransaction(const std::string&, const std::optional<TSession>&) {}
void TDmSitef::CancelTransactionInProgress(const std::string&) {}

}  // namespace requests
