#include "print_command.h"

#include "printing/print_program.h"

namespace printpdf {
namespace {

using printing::kOptionDataDir;
using printing::kOptionExitWhenDone;
using printing::kOptionPrintSettings;
using printing::kOptionPrintTo;
using printing::kOptionSilent;

// Reads the arguments in order; every step either matches or spoils the whole reading.
class Reader {
public:
    explicit Reader(const std::vector<std::string>& args) : args_(args) {}

    bool Flag(const char* name) {
        ok_ = ok_ && next_ < args_.size() && args_[next_] == name;
        ++next_;
        return ok_;
    }
    bool Peek(const char* name) const { return next_ < args_.size() && args_[next_] == name; }
    std::string Value() {
        ok_ = ok_ && next_ < args_.size();
        return ok_ ? args_[next_++] : std::string();
    }
    bool Finished() const { return ok_ && next_ == args_.size(); }

private:
    const std::vector<std::string>& args_;
    size_t next_ = 0;
    bool ok_ = true;
};

}  // namespace

std::optional<PrintCommand> ParsePrintCommand(const std::vector<std::string>& args) {
    Reader reader(args);
    PrintCommand command;
    reader.Flag(kOptionPrintTo);
    command.printer = reader.Value();
    if (reader.Peek(kOptionPrintSettings)) {
        reader.Flag(kOptionPrintSettings);
        command.settings = reader.Value();
    }
    reader.Flag(kOptionSilent);
    reader.Flag(kOptionExitWhenDone);
    reader.Flag(kOptionDataDir);
    command.data_dir = reader.Value();
    command.pdf = reader.Value();
    if (!reader.Finished() || command.printer.empty() || command.data_dir.empty() ||
        command.pdf.empty())
        return std::nullopt;
    return command;
}

std::optional<JobOptions> JobOptionsFor(const std::string& settings) {
    if (settings == printing::kSettingsFit)
        return JobOptions{{"print-scaling", "fit"}, {"fit-to-page", "true"}};
    if (settings == printing::kSettingsNoScale) return JobOptions{{"print-scaling", "none"}};
    return std::nullopt;
}

}  // namespace printpdf
