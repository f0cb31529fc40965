#include "platform/program_arguments.h"
#include "platform/win32.h"

namespace platform {

// A unit of its own: only the programs that read their arguments import shell32 for it, not
// the libraries that share this layer.
std::vector<std::string> ProgramArguments(int, char**) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (wide == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(win32::Utf8(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

}  // namespace platform
