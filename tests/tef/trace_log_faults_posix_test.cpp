// The trace file on a full disk and in a read-only folder, made for real with Linux's
// file-size limit and permissions (support/file_faults.h).
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "support/file_faults.h"
#include "support/temp_folder.h"
#include "tef/trace_log.h"
#include "tef_host.h"

namespace {

// The trace's failure report hears the system's reason once when writing starts failing and
// again when the reason changes; lines that do not fit are never left in part.
TEST(TraceLog, FailuresAreReportedWithTheReasonAndLeaveNoPartLine) {
    teftest::ScopedEnv env;
    env.Set("QV_TRACE_REOPEN_MS", "1");
    qvtest::TempFolder folder;
    const std::string path = folder / "trace.log";
    tef::TTraceLog trace;
    std::vector<std::string> reports;
    trace.SetFailureReport(
        [&](const platform::FileStatus& status) { reports.push_back(status.Message()); });
    trace.Write(path, "antes");
    const std::string before = platform::ReadFile(path).value_or("");
    {
        // Full: the next line stops part-way, and the one after does not fit at all.
        qvtest::FileSizeLimit limit(before.size() + 10);
        trace.Write(path, std::string(40, 'x'));
        trace.Write(path, std::string(40, 'y'));
    }
    EXPECT_EQ(platform::ReadFile(path).value_or(""), before);
    {
        qvtest::WithoutFileOverride as_a_user;
        qvtest::ChangeModes(folder.path(), 0555, 0444);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        trace.Write(path, "somente leitura");
        trace.Write(path, "ainda");
        qvtest::ChangeModes(folder.path(), 0755, 0644);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    trace.Write(path, "depois");
    EXPECT_EQ(reports, (std::vector<std::string>{"write " + path + ": File too large",
                                                 "open " + path + ": Permission denied"}));
    EXPECT_TRUE(platform::ReadFile(path).value_or("").ends_with(" - depois\r\n"));
}

}  // namespace
