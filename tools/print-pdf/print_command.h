// The print program's command line: exactly one of the two forms the print queue writes,
//   -print-to <printer> [-print-settings <settings>] -silent -exit-when-done
//   -data-dir <folder> <pdf>
// and the CUPS job options its print settings stand for.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace printpdf {

// Exit codes besides the queue's own (0 printed, 3 print settings not understood).
inline constexpr int kExitPrintFailed = 1;     // the print system refused or failed
inline constexpr int kExitBadCommandLine = 4;  // not one of the two forms
inline constexpr int kExitBadDocument = 5;     // the file cannot be read or is no PDF
inline constexpr int kExitBadDataDir = 6;      // the data folder cannot be made or written

struct PrintCommand {
    std::string printer;
    std::optional<std::string> settings;
    std::string data_dir;
    std::string pdf;
};

// The command `args` (without the program's own name) give, when they are exactly one of
// the two forms; nothing otherwise.
std::optional<PrintCommand> ParsePrintCommand(const std::vector<std::string>& args);

using JobOptions = std::vector<std::pair<std::string, std::string>>;

// "fit": every page scaled to the paper; "noscale": printed at its own size. Nothing for
// any other value (the settings are not understood).
std::optional<JobOptions> JobOptionsFor(const std::string& settings);

}  // namespace printpdf
