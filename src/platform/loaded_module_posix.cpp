#include <dlfcn.h>

#include "platform/loaded_module.h"

namespace platform {

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}

}  // namespace platform
