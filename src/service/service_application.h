// The service process's entry: the install switches, or the service itself in the
// foreground until a stop request (see platform/service_control.h for the requests).
#pragma once

#include "service/quorvex_sitef_service.h"

namespace service {

// INSTALL / UNINSTALL (with SILENT to skip the confirmation), with or without a leading
// '/' or '-', in any letter case. Without them: runs the service. Returns the exit code.
int RunServiceProcess(int argc, char** argv,
                      const TQuorvexSiTefService::HandlerFactory& create_handler);

}  // namespace service
