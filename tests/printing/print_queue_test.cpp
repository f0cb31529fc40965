// The print queue driving a stand-in print program: order, command lines, exit codes, the
// retry without print settings, time-outs, clean-up and stopping.
#include "printing/print_queue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <future>
#include <set>
#include <thread>

#include "platform/file_system.h"
#include "platform/process.h"
#include "print_queue_fixture.h"
#include "support/app_folder.h"
#include "support/process_probe.h"

namespace {

using printing::TPrintQueue;
using qvtest::PrintQueueFixture;

class PrintQueue : public PrintQueueFixture {
protected:
    // The arguments of one run with `settings` (none when empty).
    std::vector<std::string> Args(const std::string& settings, const std::string& data_dir,
                                  const std::string& pdf) {
        std::vector<std::string> args{"-print-to", kPrinter};
        if (!settings.empty()) args.insert(args.end(), {"-print-settings", settings});
        args.insert(args.end(), {"-silent", "-exit-when-done", "-data-dir", data_dir, pdf});
        return args;
    }
    // The command line as the log shows it.
    std::string CommandLine(const std::string& settings, const std::string& data_dir,
                            const std::string& pdf) {
        std::string line = "\"" + program_.program() + "\" -print-to \"" + kPrinter + "\"";
        if (!settings.empty()) line += " -print-settings \"" + settings + "\"";
        return line + " -silent -exit-when-done -data-dir \"" + data_dir + "\" \"" + pdf + "\"";
    }
    static std::string DataDirOf(const std::vector<std::string>& args) {
        return args.at(args.size() - 2);
    }
    // <temp folder>/SumatraPDF_ and 32 upper-case hexadecimal digits.
    bool IsDataDirName(const std::string& path) const {
        const std::string prefix = temp_.path() + "SumatraPDF_";
        if (!path.starts_with(prefix) || path.size() != prefix.size() + 32) return false;
        return std::all_of(path.begin() + prefix.size(), path.end(),
                           [](char c) { return std::isdigit(c) || (c >= 'A' && c <= 'F'); });
    }
};

TEST_F(PrintQueue, PrintsInQueueOrderEachFileWithItsOwnDataFolder) {
    auto queue = NewQueue();
    const std::vector<std::string> pdfs{Document("a.pdf", "%PDF a"), Document("b.pdf", "%PDF b"),
                                        Document("c.pdf", "%PDF c")};
    for (const std::string& pdf : pdfs) queue->AddToQueue(pdf);
    ASSERT_TRUE(log_.WaitFor("Impressão concluída: " + pdfs[2]));

    const auto calls = program_.Calls();
    ASSERT_EQ(calls.size(), 3u);
    std::set<std::string> data_dirs;
    for (size_t i = 0; i < calls.size(); ++i) {
        const std::string data_dir = DataDirOf(calls[i]);
        EXPECT_TRUE(IsDataDirName(data_dir)) << data_dir;
        EXPECT_EQ(calls[i], Args("fit", data_dir, pdfs[i]));
        EXPECT_EQ(program_.Document(static_cast<int>(i) + 1), "%PDF " + std::string(1, 'a' + i));
        data_dirs.insert(data_dir);
    }
    EXPECT_EQ(data_dirs.size(), 3u);
    EXPECT_EQ(program_.DataDirPresent(), std::vector<bool>(3, true));

    // Clean-up: every PDF and every data folder is gone once its job is over.
    for (const std::string& pdf : pdfs) EXPECT_FALSE(platform::FileExists(pdf)) << pdf;
    EXPECT_TRUE(TempEntries().empty());

    // The worker may start on the first file while the others are being queued: compare the
    // queueing lines and the printing lines each in their own order.
    EXPECT_TRUE(log_.Contains("Thread de impressão iniciada"));
    std::vector<std::string> queued, printed, expected;
    for (const std::string& pdf : pdfs) expected.push_back("Arquivo adicionado na fila: " + pdf);
    for (const std::string& line : log_.Lines()) {
        if (line.starts_with("Arquivo adicionado")) queued.push_back(line);
        if (line.starts_with("Iniciando") || line.starts_with("Impressão")) printed.push_back(line);
    }
    EXPECT_EQ(queued, expected);
    std::vector<std::string> expected_printed;
    for (const std::string& pdf : pdfs) {
        expected_printed.push_back("Iniciando impressão: " + pdf);
        expected_printed.push_back("Impressão concluída: " + pdf);
    }
    EXPECT_EQ(printed, expected_printed);
}

TEST_F(PrintQueue, JudgesExitCodesAndRetriesOnceWithoutRefusedSettings) {
    struct Case {
        std::vector<std::string> outcomes;
        std::string settings;           // given to the queue
        std::vector<std::string> runs;  // settings of each run ("" = without)
        bool retry_warning;
        int logged_exit_code;  // -1: no failure logged
    } cases[] = {
        {{"0"}, "fit", {"fit"}, false, -1},
        {{"2"}, "fit", {"fit"}, false, -1},
        {{"1"}, "fit", {"fit"}, false, 1},
        {{"7"}, "noscale", {"noscale"}, false, 7},
        {{"3", "0"}, "noscale", {"noscale", ""}, true, -1},
        {{"3", "2"}, " noscale ", {"noscale", ""}, true, -1},
        {{"3", "3"}, "noscale", {"noscale", ""}, true, 3},
        {{"3"}, "", {""}, false, 3},
        {{"3"}, " \t ", {""}, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcomes.front() + " with settings \"" + c.settings + "\"");
        program_.Reset();
        program_.SetOutcomes(c.outcomes);
        log_.Clear();
        qvtest::LogLines& log = log_;
        {
            auto queue = NewQueue();
            queue->SetPrintSettings(c.settings);
            const std::string pdf = Document("doc.pdf");
            queue->AddToQueue(pdf);
            ASSERT_TRUE(log.WaitFor("Impressão concluída: " + pdf));
            EXPECT_FALSE(platform::FileExists(pdf));

            const auto calls = program_.Calls();
            ASSERT_EQ(calls.size(), c.runs.size());
            const std::string data_dir = DataDirOf(calls.front());
            for (size_t i = 0; i < calls.size(); ++i)
                EXPECT_EQ(calls[i], Args(c.runs[i], data_dir, pdf)) << "run " << i + 1;

            const std::string warning =
                "Aviso: SumatraPDF retornou ExitCode 3 para -print-settings (\"noscale\"). "
                "Repetindo sem -print-settings.";
            EXPECT_EQ(log.Contains(warning), c.retry_warning);
            const std::string failure =
                "Processo encerrado com erro (ExitCode: " + std::to_string(c.logged_exit_code) +
                ")\r\nCmd: " + CommandLine(c.runs.back(), data_dir, pdf) +
                "\r\nData-dir: " + data_dir;
            std::vector<std::string> lines = log.Lines();
            const bool any_failure = std::any_of(lines.begin(), lines.end(), [](const auto& l) {
                return l.starts_with("Processo encerrado com erro");
            });
            if (c.logged_exit_code < 0) {
                EXPECT_FALSE(any_failure);
            } else {
                EXPECT_TRUE(log.Contains(failure)) << failure;
            }
        }
        EXPECT_TRUE(TempEntries().empty());
    }
}

TEST_F(PrintQueue, KillsAProgramThatOverrunsItsTimeWithWhatItStartedAndCleansUp) {
    program_.SetOutcomes({"hang"});
    printing::PrintWaits waits = FastWaits();
    // Long enough for the stand-in to start and record its call on a busy machine (a Windows
    // program under Wine starts slowest), and far below the minute it would hang.
    waits.run_timeout = std::chrono::seconds(5);
    auto queue = NewQueue(waits);
    const std::string pdf = Document("slow.pdf");
    queue->AddToQueue(pdf);
    ASSERT_TRUE(log_.WaitFor("Impressão concluída: " + pdf));

    const auto calls = program_.Calls();
    ASSERT_EQ(calls.size(), 1u);
    const std::string data_dir = DataDirOf(calls[0]);
    EXPECT_TRUE(log_.Contains("Timeout aguardando SumatraPDF.\r\nCmd: " +
                              CommandLine("fit", data_dir, pdf) + "\r\nData-dir: " + data_dir));
    EXPECT_FALSE(log_.Contains("Aviso: processo não respondeu ao TerminateProcess"));
    const platform::ProcessId pid = program_.HangingPid(), child = program_.HangingChildPid();
    ASSERT_GT(pid, 0);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(qvtest::ProcessGone(pid)) << "the program still runs";
    // The child may take a moment to end after its group or job has been killed.
    EXPECT_TRUE(qvtest::WaitUntil([&] { return qvtest::ProcessGone(child); }))
        << "what the program started still runs";
    EXPECT_FALSE(platform::FileExists(pdf));
    EXPECT_TRUE(TempEntries().empty());
}

TEST_F(PrintQueue, AProgramThatCannotStartIsLoggedAndTheQueueGoesOn) {
    const std::string missing = program_folder_ / "missing-program";
    // What starting it raises: the program and the system's words for a missing file
    // ("posix_spawn <path>: No such file or directory" on Linux).
    std::string reason;
    try {
        platform::Process::Start({missing});
    } catch (const std::system_error& e) {
        reason = e.what();
    }
    ASSERT_NE(reason.find(missing), std::string::npos) << reason;
    ASSERT_TRUE(reason.ends_with(": " + platform::ReadFile(missing).Status().Reason())) << reason;

    TPrintQueue queue(missing, kPrinter, FastWaits());
    queue.FOnLog = log_.Callback();
    queue.Start();
    const std::string first = Document("first.pdf"), second = Document("second.pdf");
    queue.AddToQueue(first);
    queue.AddToQueue(second);
    ASSERT_TRUE(log_.WaitFor("Erro ao imprimir " + second + " - " + reason));
    EXPECT_TRUE(log_.Contains("Erro ao imprimir " + first + " - " + reason));
    EXPECT_FALSE(log_.Contains("Impressão concluída: " + first));
    EXPECT_FALSE(platform::FileExists(first));
    EXPECT_FALSE(platform::FileExists(second));
    EXPECT_TRUE(TempEntries().empty());
}

TEST_F(PrintQueue, AMissingFileIsOnlyLogged) {
    auto queue = NewQueue();
    const std::string missing = documents_ / "missing.pdf";
    queue->AddToQueue(missing);
    EXPECT_TRUE(log_.Contains("Arquivo não encontrado: " + missing));
    const std::string pdf = Document("present.pdf");
    queue->AddToQueue(pdf);
    ASSERT_TRUE(log_.WaitFor("Impressão concluída: " + pdf));
    ASSERT_EQ(program_.Calls().size(), 1u);
    EXPECT_EQ(program_.Calls()[0].back(), pdf);
    EXPECT_FALSE(log_.Contains("Iniciando impressão: " + missing));
}

TEST_F(PrintQueue, StoppingFinishesTheJobInProgressAndLeavesWaitingFiles) {
    program_.SetOutcomes({"hang"});
    auto queue = NewQueue();
    const std::string current = Document("current.pdf"), waiting1 = Document("waiting1.pdf"),
                      waiting2 = Document("waiting2.pdf");
    queue->AddToQueue(current);
    ASSERT_TRUE(program_.WaitForCalls(1));
    queue->AddToQueue(waiting1);
    queue->AddToQueue(waiting2);

    std::thread stopper([&] { queue.reset(); });
    ASSERT_TRUE(log_.WaitFor("Finalizando fila de impressão"));
    program_.Release();
    stopper.join();

    EXPECT_EQ(program_.Calls().size(), 1u);
    EXPECT_TRUE(log_.Contains("Impressão concluída: " + current));
    EXPECT_EQ(log_.Lines().back(), "Thread de impressão finalizada");
    EXPECT_FALSE(platform::FileExists(current));
    EXPECT_TRUE(platform::FileExists(waiting1));
    EXPECT_TRUE(platform::FileExists(waiting2));
    EXPECT_TRUE(TempEntries().empty());
}

TEST_F(PrintQueue, StoppingCutsTheCooldownShort) {
    auto queue = NewQueue();
    queue->SetCooldownMs(10 * 60 * 1000);
    const std::string pdf = Document("one.pdf");
    queue->AddToQueue(pdf);
    ASSERT_TRUE(log_.WaitFor("Impressão concluída: " + pdf));
    // Stopping a queue that rests waits for nothing; a pause taken in full would keep this
    // future from being ready for ten minutes.
    auto stopped = std::async(std::launch::async, [&] { queue.reset(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(20)), std::future_status::ready);
}

TEST_F(PrintQueue, AFailingLogCallbackDoesNotStopThePrinting) {
    TPrintQueue queue(program_.program(), kPrinter, FastWaits());
    queue.FOnLog = [](const std::string&) { throw std::runtime_error("log full"); };
    queue.Start();
    const std::string pdf = Document("doc.pdf");
    queue.AddToQueue(pdf);
    ASSERT_TRUE(program_.WaitForCalls(1));
    EXPECT_TRUE(qvtest::WaitUntil([&] { return !platform::FileExists(pdf); }));
}

TEST_F(PrintQueue, PrintSettingsMayChangeWhileTheWorkerPrints) {
    auto queue = NewQueue();
    std::vector<std::string> pdfs;
    for (int i = 0; i < 6; ++i) pdfs.push_back(Document("doc" + std::to_string(i) + ".pdf"));
    std::thread setter([&] {
        for (int i = 0; i < 2000; ++i) queue->SetPrintSettings(i % 2 ? "fit" : "noscale");
    });
    for (const std::string& pdf : pdfs) queue->AddToQueue(pdf);
    setter.join();
    ASSERT_TRUE(log_.WaitFor("Impressão concluída: " + pdfs.back()));
    for (const auto& call : program_.Calls()) {
        ASSERT_GE(call.size(), 4u);
        EXPECT_TRUE(call[3] == "fit" || call[3] == "noscale") << call[3];
    }
}

}  // namespace
