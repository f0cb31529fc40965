#include "sim_test.h"

#include "platform/file_system.h"

namespace simtest {

SimTest::SimTest() = default;

void SimTest::UseScenario(const std::string& json) {
    std::string path = folder_ / "scenario.json";
    ASSERT_TRUE(platform::WriteFile(path, json));
    scenario_file_.reset();  // restores the variable first, so it must go before the new one
    scenario_file_ = std::make_unique<ScopedEnv>("QV_CLISITEF_SCENARIO", path.c_str());
}

SimLibrary& SimTest::Lib() {
    if (!lib_) {
        EXPECT_EQ(Loaded().Configure(), 0);
    }
    return *lib_;
}

SimLibrary& SimTest::Loaded() {
    if (!lib_) lib_ = std::make_unique<SimLibrary>(folder_.path());
    return *lib_;
}

}  // namespace simtest
