// The service's files failing under it, for real, while payments run: the log folder made
// read-only, and the disk full (a file-size limit set on the running service, so that a write
// stops part-way or fails with "File too large"). The service log and the TEF trace say why on
// the service's error output, never fail a payment and never keep half a line; once the files
// take writes again, so do both logs.
#include "support/file_faults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/file_system.h"
#include "support/app_folder.h"
#include "support/debit_dialogue.h"
#include "support/file_faults.h"
#include "support/simulated_library.h"

namespace {

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

// The log files below Log/: the service's daily log and the TEF trace.
Lines LogFiles(const std::string& folder) {
    Lines files;
    for (const auto& entry : fs::recursive_directory_iterator(folder + "Log"))
        if (entry.is_regular_file()) files.push_back(entry.path().string());
    return files;
}

// True when a line of `text` holds `part` and ends with `end`.
bool HasLine(const std::string& text, const std::string& part, const std::string& end) {
    std::string::size_type start = 0;
    while (start < text.size()) {
        auto stop = text.find('\n', start);
        if (stop == std::string::npos) stop = text.size();
        std::string line = text.substr(start, stop - start);
        if (line.ends_with('\r')) line.pop_back();
        if (line.find(part) != std::string::npos && line.ends_with(end)) return true;
        start = stop + 1;
    }
    return false;
}

uintmax_t LargestFile(const Lines& files) {
    uintmax_t largest = 0;
    for (const std::string& file : files) largest = std::max(largest, fs::file_size(file));
    return largest;
}

class FileFaults : public ::testing::Test {
protected:
    FileFaults() {
        qvtest::InstallSimulatedLibrary(app_, qvtest::kDebitScenario);
        app_.SetEnv("QV_TRACE_REOPEN_MS", "20");
        // Not a file: the library's journal is not what this test fills.
        app_.SetEnv("QV_CLISITEF_JOURNAL", "/dev/null");
        app_.RespectFilePermissions();
        app_.StartAndWaitForPort();
    }

    // One debit payment on a connection of its own; its status.
    std::string Pay() {
        qvtest::DialogueClient client(app_.Client());
        return qvtest::DebitDialogue(client, qvtest::OpenSession(client)).back();
    }

    size_t ApprovedInLog() const {
        const Lines texts = app_.LogTexts();
        return static_cast<size_t>(std::count_if(texts.begin(), texts.end(), [](const auto& text) {
            return text.starts_with(R"({"type":"result","status":"approved")");
        }));
    }

    // Pays until the service's error output or its log holds a line with each of `parts` that
    // ends with `end`; false when they do not within the bounded time. Every payment must be
    // approved.
    bool PayUntilReported(const Lines& parts, const std::string& end) {
        return qvtest::WaitUntil(
            [&] {
                EXPECT_EQ(Pay(), "approved");
                const std::string output = app_.Output() + app_.Log();
                return std::all_of(parts.begin(), parts.end(), [&](const std::string& part) {
                    return HasLine(output, part, end);
                });
            },
            std::chrono::seconds(20));
    }

    qvtest::AppFolder app_;
};

TEST_F(FileFaults, LogsThatCannotBeWrittenSayWhyAndNeverFailAPaymentNorKeepHalfALine) {
    struct Case {
        std::string fault;
        std::function<void()> apply, lift;
        std::string reason;
    } cases[] = {
        // Just above the largest log file: the next lines stop part-way or do not fit at all.
        // First, while the error output (a file here, limited too) is still small.
        {"full disk",
         [&] { qvtest::LimitFileSize(app_.Pid(), LargestFile(LogFiles(app_.path())) + 40); },
         [&] { qvtest::LimitFileSize(app_.Pid(), RLIM_INFINITY); }, "File too large"},
        {"read-only log folders", [&] { qvtest::ChangeModes(app_ / "Log", 0555, 0444); },
         [&] { qvtest::ChangeModes(app_ / "Log", 0755, 0644); }, "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        EXPECT_EQ(Pay(), "approved");
        const Lines files = LogFiles(app_.path());
        ASSERT_EQ(files.size(), 2u);
        const std::string output_before = app_.Output();

        c.apply();
        // Each log names its file and the system's reason.
        EXPECT_TRUE(PayUntilReported({"QuorvexSiTefService: não foi possível gravar o log: ",
                                      "Não foi possível gravar o log do TEF: "},
                                     ".log: " + c.reason))
            << app_.Output();
        // The lines the log could not take went to the error output, the results among them.
        const std::string output = app_.Output().substr(output_before.size());
        EXPECT_NE(output.find(R"({"type":"result","status":"approved")"), std::string::npos)
            << output;

        c.lift();
        EXPECT_TRUE(PayUntilReported({"QuorvexSiTefService: "}, "o log voltou a ser gravado."))
            << app_.Output();
        static const std::regex stamped(R"(\[\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\] .*)");
        for (const std::string& file : files) {
            const std::string bytes = platform::ReadFile(file).value_or("<unreadable>");
            EXPECT_TRUE(bytes.ends_with("\r\n")) << file;
            if (file.find("/QuorvexSiTefService ") == std::string::npos) continue;
            std::string::size_type start = 0;
            for (auto end = bytes.find("\r\n"); end != std::string::npos;
                 start = end + 2, end = bytes.find("\r\n", start)) {
                const std::string line = bytes.substr(start, end - start);
                EXPECT_TRUE(line.empty() || std::regex_match(line, stamped)) << line;
            }
        }
        // Written again: the next result is in the log.
        const size_t approved = ApprovedInLog();
        EXPECT_EQ(Pay(), "approved");
        EXPECT_TRUE(qvtest::WaitUntil([&] { return ApprovedInLog() == approved + 1; }));
    }
    EXPECT_EQ(app_.Stop(), 0) << app_.Output();
}

}  // namespace
