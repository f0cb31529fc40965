// A print queue under test: a stand-in print program in a temporary folder, the queue's
// data folders under a temporary folder of their own and its log lines collected.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "printing/print_program.h"
#include "printing/print_queue.h"
#include "support/app_folder.h"
#include "support/print_stand_in.h"
#include "support/process_probe.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

namespace qvtest {

// The lines a queue logs, collected from its worker and its callers.
class LogLines {
public:
    printing::TOnPrintLog Callback() {
        return [this](const std::string& line) {
            {
                std::lock_guard lock(mutex_);
                lines_.push_back(line);
            }
            added_.notify_all();
        };
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool Contains(const std::string& line) const {
        std::lock_guard lock(mutex_);
        return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    }
    // Waits until `line` has been logged; false after `timeout` (long enough for a few runs
    // of a Windows program under Wine on a busy machine).
    bool WaitFor(const std::string& line,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        return added_.wait_for(lock, timeout, [&] {
            return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
        });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::vector<std::string> lines_;  // guarded by mutex_
};

class PrintQueueFixture : public ::testing::Test {
protected:
    // The queue's temporary folder, where each system looks for it: TMPDIR on Linux, TMP then
    // TEMP on Windows.
    PrintQueueFixture() {
        for (const char* name : {"TMPDIR", "TMP", "TEMP"}) tmpdir_.Set(name, temp_.path());
    }
    // What a hanging stand-in started ends before its folder goes, also after a failed test
    // (the queue, gone by now, has waited for the stand-in itself).
    ~PrintQueueFixture() override {
        program_.Release();
        if (const int child = program_.HangingChildPid())
            WaitUntil([&] { return ProcessGone(child); });
    }

    static constexpr const char* kPrinter = "Printer One";

    // Short waits, so that time-outs take a moment; the time-out itself is raised by tests
    // that need the program to run long.
    static printing::PrintWaits FastWaits() {
        printing::PrintWaits waits;
        waits.run_timeout = std::chrono::seconds(20);
        waits.kill_wait = std::chrono::seconds(5);
        waits.delete_pause = std::chrono::milliseconds(1);
        return waits;
    }

    std::unique_ptr<printing::TPrintQueue> NewQueue(printing::PrintWaits waits = FastWaits()) {
        auto queue = std::make_unique<printing::TPrintQueue>(program_.program(), kPrinter, waits);
        queue->FOnLog = log_.Callback();
        queue->Start();
        return queue;
    }

    // A PDF file to queue, in the documents folder.
    std::string Document(const std::string& name, const std::string& bytes = "%PDF-1.4 test") {
        const std::string path = documents_ / name;
        EXPECT_TRUE(platform::WriteFile(path, bytes));
        return path;
    }

    // What is left in the temporary folder (the data folders of jobs not cleaned up).
    std::vector<std::string> TempEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(temp_.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    TempFolder program_folder_;
    TempFolder documents_;
    TempFolder temp_;
    ScopedEnv tmpdir_;
    PrintStandIn program_{program_folder_ / printing::kPrintProgramName, program_folder_.path()};
    LogLines log_;
};

}  // namespace qvtest
