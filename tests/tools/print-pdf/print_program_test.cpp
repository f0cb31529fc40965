// The print program as the print queue runs it: the two command lines, its exit codes and
// reasons, its data folder, and real jobs on a private CUPS scheduler.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>

#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/private_cups.h"
#include "support/sample_pdf.h"
#include "support/temp_folder.h"
#include "support/text_lines.h"

namespace {

using Args = std::vector<std::string>;

class PrintProgram : public ::testing::Test {
protected:
    struct Outcome {
        int exit_code;
        std::string output;  // stdout and stderr
    };

    // Runs the program (or `program`) with `args` to its end.
    Outcome Run(const Args& args, const std::map<std::string, std::string>& env = {},
                const std::string& program = "") {
        const std::string output = folder_ / "output.txt";
        std::filesystem::remove(output);
        qvtest::ChildProcess child(program.empty() ? Program() : program, args, env, output);
        const std::optional<int> code = child.Wait(std::chrono::seconds(30));
        EXPECT_TRUE(code.has_value()) << "the program did not end";
        return {code.value_or(-1), platform::ReadFile(output).value_or("")};
    }

    static std::string Program() { return qvtest::BuildDir() + "tools/print-pdf/QuorvexPrintPDF"; }

    static Args Command(const std::string& printer, const std::optional<std::string>& settings,
                        const std::string& data_dir, const std::string& pdf) {
        Args args{"-print-to", printer};
        if (settings) args.insert(args.end(), {"-print-settings", *settings});
        args.insert(args.end(), {"-silent", "-exit-when-done", "-data-dir", data_dir, pdf});
        return args;
    }

    // One line on stderr, naming the program.
    static void ExpectOneLineReason(const Outcome& outcome, const std::string& part) {
        EXPECT_TRUE(outcome.output.starts_with("QuorvexPrintPDF: ")) << outcome.output;
        EXPECT_EQ(outcome.output.find('\n'), outcome.output.size() - 1) << outcome.output;
        EXPECT_NE(outcome.output.find(part), std::string::npos) << outcome.output;
    }

    std::string Pdf(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(platform::WriteFile(folder_ / name, bytes));
        return folder_ / name;
    }

    qvtest::TempFolder folder_;
};

TEST_F(PrintProgram, AcceptsOnlyTheQueuesTwoCommandLines) {
    const std::string pdf = Pdf("doc.pdf", qvtest::SamplePdf());
    const std::string dir = folder_ / "data";
    const Args refused[] = {
        {},
        {"-print-to", "P", "-silent", "-exit-when-done", "-data-dir", dir},
        {"-print-to", "P", "-exit-when-done", "-silent", "-data-dir", dir, pdf},
        {"-silent", "-print-to", "P", "-exit-when-done", "-data-dir", dir, pdf},
        {"-print-to", "P", "-silent", "-exit-when-done", "-data-dir", dir, pdf, "extra"},
        {"-print-to", "P", "-print-settings", "fit", "-print-settings", "fit", "-silent",
         "-exit-when-done", "-data-dir", dir, pdf},
        {"-print-to", "", "-silent", "-exit-when-done", "-data-dir", dir, pdf},
        {"-print-to", "P", "-silent", "-exit-when-done", "-data-dir", "", pdf},
        {"-print-to", "P", "-silent", "-exit-when-done", "-data-dir", dir, ""},
        {"-print-to", "P", "-print-settings", "-silent", "-exit-when-done", "-data-dir", dir, pdf},
        {"-print-to", "P", "-silent", "-exit-when-done", "-print-settings", "fit", "-data-dir", dir,
         pdf},
        {"-print-to", "P", "-silent", "-exit-when-done", "-data-dir", dir, pdf, "-print-settings"},
    };
    for (const Args& args : refused) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.exit_code, 4) << ::testing::PrintToString(args);
        ExpectOneLineReason(outcome, "uso: QuorvexPrintPDF -print-to");
    }
    EXPECT_FALSE(platform::DirectoryExists(dir));
}

TEST_F(PrintProgram, SettingsItDoesNotKnowExitWithCodeThreeBeforeAnythingHappens) {
    const std::string pdf = Pdf("doc.pdf", qvtest::SamplePdf());
    for (const char* settings : {"zoom", "FIT", "NoScale", "", "fit,noscale", " noscale"}) {
        const Outcome outcome = Run(Command("P", settings, folder_ / "data", pdf));
        EXPECT_EQ(outcome.exit_code, 3) << settings;
        ExpectOneLineReason(outcome, std::string("não reconhecidas: ") + settings);
    }
    EXPECT_FALSE(platform::DirectoryExists(folder_ / "data"));
}

TEST_F(PrintProgram, ADocumentThatIsNoPdfIsRefused) {
    struct Case {
        std::string pdf;
        std::string reason;
    } cases[] = {
        {folder_ / "missing.pdf", "não foi possível ler"},
        {Pdf("text.pdf", "just text"), "não é um arquivo PDF"},
        {Pdf("empty.pdf", ""), "não é um arquivo PDF"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Run(Command("P", "fit", folder_ / "data", c.pdf));
        EXPECT_EQ(outcome.exit_code, 5) << c.pdf;
        ExpectOneLineReason(outcome, c.reason);
    }
}

TEST_F(PrintProgram, DoesNotStartWithoutItsLibrary) {
    const std::string alone = folder_ / "QuorvexPrintPDF";
    std::filesystem::copy_file(Program(), alone);
    const Outcome outcome =
        Run(Command("P", "fit", folder_ / "data", Pdf("doc.pdf", qvtest::SamplePdf())), {}, alone);
    EXPECT_EQ(outcome.exit_code, 127);
    EXPECT_NE(outcome.output.find("libquorvexprint.so"), std::string::npos) << outcome.output;
}

TEST_F(PrintProgram, WithoutAPrintServerItFailsWithTheReason) {
    const Outcome outcome =
        Run(Command("P", "noscale", folder_ / "data", Pdf("doc.pdf", qvtest::SamplePdf())),
            {{"CUPS_SERVER", folder_ / "no-such-socket"}});
    EXPECT_EQ(outcome.exit_code, 1);
    ExpectOneLineReason(outcome, "impressora \"P\" não encontrada");
}

class PrintProgramOnCups : public PrintProgram {
protected:
    Outcome Print(const Args& args) { return Run(args, {{"CUPS_SERVER", cups_.Socket()}}); }

    qvtest::PrivateCups cups_;
};

TEST_F(PrintProgramOnCups, PrintsTheDocumentWithTheOptionsOfItsSettings) {
    struct Case {
        std::optional<std::string> settings;
        std::vector<std::string> job_options;  // as the scheduler hands them to the printer
    } cases[] = {
        {"noscale", {"print-scaling=none"}},
        {"fit", {"print-scaling=fit", "fit-to-page"}},
        {std::nullopt, {}},
    };
    int jobs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.value_or("(none)"));
        const std::string document = qvtest::SamplePdf("job " + std::to_string(jobs + 1));
        const std::string data_dir = folder_ / ("data" + std::to_string(jobs + 1)) + "/sub";
        const Outcome outcome = Print(
            Command(qvtest::PrivateCups::kPrinter, c.settings, data_dir, Pdf("d.pdf", document)));
        ASSERT_EQ(outcome.exit_code, 0) << outcome.output;
        EXPECT_EQ(outcome.output, "");
        ASSERT_TRUE(cups_.WaitForCompletedJobs(++jobs)) << cups_.ErrorLog();
        EXPECT_EQ(platform::ReadFile(cups_.OutputFile()).value_or("<unreadable>"), document);

        // The job's options, as the scheduler passed them to the printer's filter.
        const std::string job_argv = "[Job " + std::to_string(jobs) + "] argv[5]=\"";
        const std::string log = cups_.ErrorLog();
        const size_t at = log.find(job_argv);
        ASSERT_NE(at, std::string::npos) << log;
        const size_t start = at + job_argv.size();
        const std::string line = log.substr(start, log.find('"', start) - start);
        std::set<std::string> options;
        for (std::istringstream words(line); words;) {
            std::string word;
            if (words >> word) options.insert(word);
        }
        for (const std::string& option : c.job_options)
            EXPECT_TRUE(options.count(option)) << option << " in " << line;
        for (const char* scaling : {"print-scaling=fit", "print-scaling=none", "fit-to-page"}) {
            const bool wanted = std::find(c.job_options.begin(), c.job_options.end(), scaling) !=
                                c.job_options.end();
            EXPECT_EQ(options.count(scaling) == 1, wanted) << scaling << " in " << line;
        }

        // Its one file, in the data folder it was given (made with its parents).
        const std::vector<std::string> record = qvtest::ReadLines(data_dir + "/job.txt");
        ASSERT_EQ(record.size(), 4u);
        EXPECT_EQ(record[0], std::string("printer=") + qvtest::PrivateCups::kPrinter);
        EXPECT_EQ(record[3], "job=" + std::to_string(jobs));
    }
}

TEST_F(PrintProgramOnCups, AnUnknownPrinterIsAFailureWithItsName) {
    const Outcome outcome = Print(
        Command("NoSuchPrinter", "fit", folder_ / "data", Pdf("doc.pdf", qvtest::SamplePdf())));
    EXPECT_EQ(outcome.exit_code, 1);
    ExpectOneLineReason(outcome, "impressora \"NoSuchPrinter\" não encontrada");
}

}  // namespace
