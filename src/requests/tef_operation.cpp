#include "requests/tef_operation.h"

#include "requests/dm_sitef.h"
#include "transport/transport_errors.h"

namespace requests {

TTefOperation::TTefOperation(TDmSitef& module, transport::ClientChannel* client)
    : module_(module), acquired_(module.TryBeginOperation(client)) {}

TTefOperation::~TTefOperation() {
    if (acquired_) module_.EndOperation();
}

bool TDmSitef::TryBeginOperation(transport::ClientChannel* client) {
    bool free = false;
    if (!fProcessando.compare_exchange_strong(free, true)) return false;
    operation_client_ = client;
    // An early answer belongs to the client that sent it, never to the next operation's.
    fLastContentReceived.clear();
    return true;
}

void TDmSitef::EndOperation() {
    operation_client_ = nullptr;
    fProcessando = false;
}

transport::ClientChannel& TDmSitef::OperationClient() const {
    transport::ClientChannel* client = operation_client_;
    if (client == nullptr) throw transport::ConnectionClosed("Nenhum cliente na operação TEF.");
    return *client;
}

}  // namespace requests
