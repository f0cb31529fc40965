// In the Windows build the stand-in is the build's own stand-in program, copied to where the
// queue expects the print program and told where to keep its records by a file beside it.
#include <stdexcept>

#include "platform/file_system.h"
#include "support/print_stand_in.h"
#include "support/temp_folder.h"

namespace qvtest {

PrintStandIn::PrintStandIn(const std::string& program, const std::string& folder)
    : program_(program), folder_(folder) {
    const std::string source = BuildDir() + kWindowsPrintStandIn;
    const platform::FileContents exe = platform::ReadFile(source);
    if (!exe) throw std::runtime_error("cannot read " + source);
    if (!platform::WriteFile(program_, *exe) || !platform::WriteFile(program_ + ".folder", folder_))
        throw std::runtime_error("cannot write " + program_);
}

}  // namespace qvtest
