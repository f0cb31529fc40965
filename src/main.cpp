// Entry point of the service process; the service host takes over from here.
#include <memory>

#include "service/idle_message_handler.h"
#include "service/service_application.h"

int main(int argc, char** argv) {
    return service::RunServiceProcess(argc, argv, [](service::TQuorvexSiTefService&) {
        // The request router is attached here.
        return std::make_unique<service::IdleMessageHandler>();
    });
}
