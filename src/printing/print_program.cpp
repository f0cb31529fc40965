#include "printing/print_program.h"

namespace printing {
namespace {

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

}  // namespace

std::string PrintCommandLine(const std::string& program, const std::string& printer,
                             const std::string& settings, const std::string& data_dir,
                             const std::string& pdf) {
    std::string line = Quoted(program) + ' ' + kOptionPrintTo + ' ' + Quoted(printer);
    if (!settings.empty()) line += std::string(" ") + kOptionPrintSettings + ' ' + Quoted(settings);
    line += std::string(" ") + kOptionSilent + ' ' + kOptionExitWhenDone + ' ' + kOptionDataDir +
            ' ' + Quoted(data_dir) + ' ' + Quoted(pdf);
    return line;
}

}  // namespace printing
