// The print program: prints one PDF on a CUPS printer, silently, and exits when the print
// system holds the job. It accepts only the two command lines of the print queue (see
// print_command.h); exit code 0 when the job was handed over, 3 when the print settings are
// not understood, another code with a one-line reason on stderr when it failed.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "print_command.h"
#include "print_cups.h"
#include "printing/print_program.h"

namespace {

using namespace printpdf;

constexpr const char* kUsage =
    "uso: QuorvexPrintPDF -print-to <impressora> [-print-settings fit|noscale] -silent "
    "-exit-when-done -data-dir <pasta> <arquivo.pdf>";

int Fail(int code, std::string reason) {
    for (char& c : reason)
        if (c == '\r' || c == '\n') c = ' ';
    std::fprintf(stderr, "QuorvexPrintPDF: %s\n", reason.c_str());
    return code;
}

// Empty text when `path` is a readable PDF; why not otherwise.
std::string DocumentProblem(const std::string& path) {
    const platform::FileContents bytes = platform::ReadFile(path);
    if (!bytes) return "não foi possível ler " + path + ": " + bytes.Status().Reason();
    if (!bytes->starts_with("%PDF-")) return path + " não é um arquivo PDF";
    return "";
}

// The job record the program keeps in its data folder.
std::string JobRecord(const PrintCommand& command, int job) {
    return "printer=" + command.printer + "\nsettings=" + command.settings.value_or("") +
           "\ndocument=" + command.pdf + "\njob=" + std::to_string(job) + "\n";
}

int Print(const PrintCommand& command, const JobOptions& job_options) {
    if (const platform::FileStatus made = platform::ForceDirectories(command.data_dir); !made)
        return Fail(kExitBadDataDir,
                    "não foi possível criar a pasta " + command.data_dir + ": " + made.Reason());
    if (std::string problem = DocumentProblem(command.pdf); !problem.empty())
        return Fail(kExitBadDocument, problem);

    std::vector<QvPrintOption> options;
    for (const auto& [name, value] : job_options) options.push_back({name.c_str(), value.c_str()});
    char reason[512] = "";
    const std::string title = platform::ExtractFileName(command.pdf);
    const int job =
        QvPrintPdf(command.printer.c_str(), command.pdf.c_str(), title.c_str(), options.data(),
                   static_cast<int>(options.size()), reason, sizeof reason);
    if (job == 0) return Fail(kExitPrintFailed, reason);
    if (const platform::FileStatus written =
            platform::WriteFile(platform::IncludeTrailingSeparator(command.data_dir) + "job.txt",
                                JobRecord(command, job));
        !written)
        return Fail(kExitBadDataDir,
                    "não foi possível escrever em " + command.data_dir + ": " + written.Reason());
    return printing::kExitPrinted;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<PrintCommand> command =
        ParsePrintCommand(std::vector<std::string>(argv + 1, argv + argc));
    if (!command) return Fail(kExitBadCommandLine, kUsage);
    JobOptions job_options;
    if (command->settings) {
        std::optional<JobOptions> understood = JobOptionsFor(*command->settings);
        if (!understood)
            return Fail(printing::kExitSettingsRefused,
                        "configurações de impressão não reconhecidas: " + *command->settings);
        job_options = *understood;
    }
    return Print(*command, job_options);
}
