#include "tef/trace_log.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/file_system.h"
#include "support/temp_folder.h"
#include "tef_host.h"

namespace {

TEST(TraceLog, LineFormat) {
    platform::LocalDateTime when{2025, 3, 6, 9, 5, 4, 7};
    EXPECT_EQ(tef::TTraceLog::Line(when, "Opera\xE7\xE3o"),
              "-- 06/03 09:05:04:007 - Opera\xE7\xE3o\r\n");
}

TEST(TraceLog, AppendsAndNeverFails) {
    qvtest::TempFolder folder;
    tef::TTraceLog trace;
    trace.Write(folder / "trace.log", "um");
    trace.Write(folder / "trace.log", "dois");
    const std::string text = platform::ReadFile(folder / "trace.log").value_or("");
    EXPECT_EQ(text.size(), 2 * std::string("-- dd/mm hh:nn:ss:zzz - ").size() + 4 + 6);
    EXPECT_NE(text.find(" - um\r\n-- "), std::string::npos);
    EXPECT_TRUE(text.ends_with(" - dois\r\n"));
    // A folder that does not exist, or no file at all: nothing happens.
    EXPECT_NO_THROW(trace.Write(folder / "missing/trace.log", "tres"));
    EXPECT_FALSE(platform::DirectoryExists(folder / "missing"));
    EXPECT_NO_THROW(trace.Write("", "quatro"));
    // Back to the first file, and to a new one at the same path once the old one is gone.
    trace.Write(folder / "trace.log", "cinco");
    EXPECT_TRUE(platform::ReadFile(folder / "trace.log").value_or("").ends_with(" - cinco\r\n"));
}

TEST(TraceLog, CardNumbersAreMaskedInEveryLineAndNothingElseChanges) {
    qvtest::TempFolder folder;
    tef::TTraceLog trace;
    trace.Write(folder / "trace.log", "Buffer = 4111111111111111 Valor: 189,23");
    trace.Defer("2021-000 = 5555 5555 5555 4444\r\n134-000 = 100000001");
    trace.Flush(folder / "trace.log");
    const std::string text = platform::ReadFile(folder / "trace.log").value_or("");
    EXPECT_NE(text.find(" - Buffer = 411111******1111 Valor: 189,23\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(" - 2021-000 = 5555 55** **** 4444\r\n134-000 = 100000001\r\n"),
              std::string::npos)
        << text;
}

}  // namespace

namespace {

TEST(TraceLog, ARemovedFileIsCreatedAgain) {
    teftest::ScopedEnv env;
    env.Set("QV_TRACE_REOPEN_MS", "1");
    qvtest::TempFolder folder;
    tef::TTraceLog trace;
    trace.Write(folder / "trace.log", "antes");
    ASSERT_TRUE(platform::DeleteFile(folder / "trace.log"));
    // Longer than the descriptor is trusted.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    trace.Write(folder / "trace.log", "depois");
    const std::string text = platform::ReadFile(folder / "trace.log").value_or("");
    EXPECT_EQ(text.find("antes"), std::string::npos);
    EXPECT_TRUE(text.ends_with(" - depois\r\n"));
}

}  // namespace

namespace {

TEST(TraceLog, DeferredLinesGoOutFirstInOneWrite) {
    qvtest::TempFolder folder;
    tef::TTraceLog trace;
    const std::string path = folder / "trace.log";
    trace.Defer("um");
    EXPECT_FALSE(platform::FileExists(path));
    trace.Write(path, "dois");
    trace.Defer("tres");
    trace.Flush(path);
    trace.Flush(path);  // nothing left
    const std::string text = platform::ReadFile(path).value_or("");
    const size_t um = text.find(" - um\r\n"), dois = text.find(" - dois\r\n"),
                 tres = text.find(" - tres\r\n");
    ASSERT_NE(um, std::string::npos);
    EXPECT_LT(um, dois);
    EXPECT_LT(dois, tres);
    EXPECT_EQ(text.size(), 3 * std::string("-- dd/mm hh:nn:ss:zzz - ").size() + 4 + 6 + 6);
}

}  // namespace

namespace {

// Lines written and deferred by several threads at once all arrive, each whole.
TEST(TraceLog, LinesOfSeveralThreadsArriveWhole) {
    qvtest::TempFolder folder;
    const std::string path = folder / "trace.log";
    tef::TTraceLog trace;
    std::vector<std::thread> threads;
    for (char c = 'a'; c < 'e'; ++c) {
        threads.emplace_back([&, c] {
            for (int i = 0; i < 100; ++i) {
                trace.Defer(std::string(60, c));
                trace.Write(path, std::string(80, c));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    trace.Flush(path);
    const std::string text = platform::ReadFile(path).value_or("");
    const size_t stamp = std::string("-- dd/mm hh:nn:ss:zzz - ").size();
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        const size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string body = text.substr(start + stamp, end - start - stamp);
        EXPECT_TRUE(body == std::string(60, body[0]) || body == std::string(80, body[0])) << body;
        start = end + 2;
    }
    EXPECT_EQ(lines, 4u * 100u * 2u);
}

}  // namespace
