// Handlers whose routes are served by later parts of the request layer (PIN pad,
// transactions). Until each arrives, its route is routed here and, like an unknown route,
// gets no reply.
#include "requests/dm_sitef.h"

namespace requests {

void TDmSitef::CheckPinpad(const TClientRequest&, const TSession&) {}
void TDmSitef::StartTransaction(const TClientRequest&, const std::optional<TSession>&) {}

}  // namespace requests
