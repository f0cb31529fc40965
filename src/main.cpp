// Entry point of the service process; the service host takes over from here.
#include <memory>

#include "requests/dm_sitef.h"
#include "service/service_application.h"

int main(int argc, char** argv) {
    return service::RunServiceProcess(argc, argv, [](service::TQuorvexSiTefService& service) {
        return std::make_unique<requests::TDmSitef>(service);
    });
}
