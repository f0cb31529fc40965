#include "requests/tef_operation.h"

#include <thread>

#include "card_data/wipe.h"
#include "requests/dm_sitef.h"
#include "transport/transport_errors.h"

namespace requests {

bool TTefOperation::BeginWithin(TDmSitef& module, transport::ClientChannel* client,
                                std::chrono::milliseconds patience) {
    const auto give_up = std::chrono::steady_clock::now() + patience;
    while (!module.TryBeginOperation(client)) {
        if (std::chrono::steady_clock::now() >= give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TTefOperation::TTefOperation(TDmSitef& module, transport::ClientChannel* client)
    : module_(module), acquired_(module.TryBeginOperation(client)) {}

TTefOperation::TTefOperation(TDmSitef& module, transport::ClientChannel* client,
                             std::chrono::milliseconds patience)
    : module_(module), acquired_(BeginWithin(module, client, patience)) {}

TTefOperation::~TTefOperation() {
    if (acquired_) module_.EndOperation();
}

bool TDmSitef::TryBeginOperation(transport::ClientChannel* client) {
    bool free = false;
    if (!fProcessando.compare_exchange_strong(free, true)) return false;
    operation_client_ = client;
    // Nothing of an earlier operation carries over: an early answer belongs to the client
    // that sent it, and a cancellation to the operation it was meant for.
    card_data::Wipe(fLastContentReceived);
    fPodeCancelar = false;
    fCancelado = false;
    return true;
}

void TDmSitef::EndOperation() {
    // A cancellation request that comes after the operation has nothing left to cancel.
    fPodeCancelar = false;
    // An early answer nobody read may hold what the operator typed.
    card_data::Wipe(fLastContentReceived);
    operation_client_ = nullptr;
    fProcessando = false;
}

transport::ClientChannel& TDmSitef::OperationClient() const {
    transport::ClientChannel* client = operation_client_;
    if (client == nullptr) throw transport::ConnectionClosed("Nenhum cliente na operação TEF.");
    return *client;
}

}  // namespace requests
