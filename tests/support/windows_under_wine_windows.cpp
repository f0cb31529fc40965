// A Windows test program runs the programs of its own build: there is no Wine to switch to.
#include <stdexcept>

#include "support/windows_under_wine.h"

namespace qvtest {

const std::optional<WindowsBuild>& WindowsBuildUnderWine() {
    static const std::optional<WindowsBuild> none;
    return none;
}

std::string WindowsLibraryName(const WindowsBuild&) { throw std::logic_error("not under Wine"); }

std::string WinePath(const std::string& path) { return path; }

bool SendWineServiceControl(const WindowsBuild&, const std::string&, int) {
    throw std::logic_error("not under Wine");
}

bool WineServerListensOn(unsigned) { return false; }

}  // namespace qvtest
