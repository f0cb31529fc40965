// Fixture of the simulator's tests: a temporary application folder, the journal in it, waits
// that do not block, TZ pinned, and the library loaded on first use. Without UseScenario the
// library runs its built-in demonstration scenario.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim_library.h"
#include "support/temp_folder.h"

namespace simtest {

class SimTest : public ::testing::Test {
protected:
    SimTest();

    // Writes `json` to a file and points QV_CLISITEF_SCENARIO at it.
    void UseScenario(const std::string& json);
    // The library, loaded and configured with valid values on first use.
    SimLibrary& Lib();
    // The library, loaded on first use without configuring it.
    SimLibrary& Loaded();
    std::vector<std::string> Journal() const { return ReadLines(journal_path_); }

    qvtest::TempFolder folder_;
    std::string journal_path_ = folder_ / "journal.log";

private:
    ScopedEnv tz_{"TZ", "America/Sao_Paulo"};
    ScopedEnv journal_env_{"QV_CLISITEF_JOURNAL", journal_path_.c_str()};
    ScopedEnv scenario_env_{"QV_CLISITEF_SCENARIO", nullptr};
    ScopedEnv poll_env_{"QV_CLISITEF_POLL_MS", "0"};
    std::unique_ptr<ScopedEnv> scenario_file_;
    std::unique_ptr<SimLibrary> lib_;
};

}  // namespace simtest
