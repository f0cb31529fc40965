#include "service/service_application.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <string>

#include "card_data/card_mask.h"
#include "platform/heap.h"
#include "platform/paths.h"
#include "platform/service_control.h"
#include "platform/service_registration.h"

namespace service {
namespace {

struct Switches {
    bool install = false;
    bool uninstall = false;
    bool silent = false;
};

std::string SwitchName(std::string arg) {
    arg.erase(0, arg.find_first_not_of("/-"));
    std::transform(arg.begin(), arg.end(), arg.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return arg;
}

Switches ParseSwitches(int argc, char** argv) {
    Switches s;
    for (int i = 1; i < argc; ++i) {
        const std::string name = SwitchName(argv[i]);
        s.install |= name == "INSTALL";
        s.uninstall |= name == "UNINSTALL";
        s.silent |= name == "SILENT";
    }
    return s;
}

int Install(const Switches& s, const TQuorvexSiTefService::HandlerFactory& create_handler) {
    platform::RegisterService({TQuorvexSiTefService::kServiceName,
                               TQuorvexSiTefService::kDisplayName, platform::ExecutablePath()});
    TQuorvexSiTefService service(create_handler, platform::ExecutableDir());
    service.ServiceAfterInstall();
    if (!s.silent) {
        std::cout << TQuorvexSiTefService::kApplicationTitle << ": serviço instalado em "
                  << platform::ServiceUnitDir() << ".\n";
    }
    return 0;
}

int Uninstall(const Switches& s) {
    platform::UnregisterService(TQuorvexSiTefService::kServiceName);
    if (!s.silent) {
        std::cout << TQuorvexSiTefService::kApplicationTitle << ": serviço removido.\n";
    }
    return 0;
}

int RunService(const TQuorvexSiTefService::HandlerFactory& create_handler) {
    platform::UseOneHeapForAllThreads();
    platform::InstallServiceControl();
    int exit_code = 0;
    {
        TQuorvexSiTefService service(create_handler, platform::ExecutableDir());
        bool started = false;
        service.ServiceStart(started);
        if (started) {
            platform::ReportServiceState(platform::ServiceState::kRunning);
            service.ServiceExecute();
        } else {
            exit_code = 1;
        }
    }
    platform::ReportServiceState(platform::ServiceState::kStopped, exit_code);
    return exit_code;
}

}  // namespace

int RunServiceProcess(int argc, char** argv,
                      const TQuorvexSiTefService::HandlerFactory& create_handler) {
    const Switches switches = ParseSwitches(argc, argv);
    try {
        if (switches.uninstall) return Uninstall(switches);
        if (switches.install) return Install(switches, create_handler);
    } catch (const std::exception& e) {
        std::cerr << TQuorvexSiTefService::kApplicationTitle << ": "
                  << card_data::MaskedCardNumbers(e.what()) << "\n";
        return 1;
    }
    return RunService(create_handler);
}

}  // namespace service
