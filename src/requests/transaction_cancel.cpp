// CancelTransactionInProgress: a client's request to stop the running TEF operation. It takes
// effect at the library's next waiting callback, and only while the operation can be
// cancelled.
#include "requests/dm_sitef.h"
#include "service/quorvex_sitef_service.h"

namespace requests {

void TDmSitef::CancelTransactionInProgress(const TClientRequest& pContent) {
    if (pContent.Field("type") != "cancellation") return;
    service_.GravaLog("Entrou no cancelamento.");
    if (fPodeCancelar) {
        fCancelado = true;
        service_.GravaLog("Setou no cancelamento = true");
    } else {
        service_.GravaLog("Não pode cancelar");
    }
}

}  // namespace requests
