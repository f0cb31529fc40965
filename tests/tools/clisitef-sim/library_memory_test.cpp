// What the simulated library remembers of the functions it approved: each known by its fiscal
// document and the date it was started with, kept in a state file across a restart of the
// process, undone at the next function of another sale, and the pending count it can be made
// unable to give.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "sim_test.h"

namespace simtest {
namespace {

using Lines = std::vector<std::string>;

// Approves every function without a word and leaves it pending, storing its NSU.
constexpr const char* kPendingPayments =
    R"({"script": [{"command": 0, "field": 133, "text": "${nsu}"},
                   {"status": 0, "record": "payment"}]})";

class LibraryMemory : public SimTest {
protected:
    LibraryMemory() { UseScenario(kPendingPayments); }

    // An approved function of fiscal document `document` started on `date`, left pending; the
    // NSU it stored.
    static std::string Approve(SimLibrary& lib, const std::string& document,
                               const std::string& date = "20251126") {
        EXPECT_EQ(lib.inicia(3, "10,00", document.c_str(), date.c_str(), "235959", "", ""), 10000);
        const Outcome outcome = lib.Drive({});
        EXPECT_EQ(outcome.status, 0);
        return outcome.stored.count(133) ? outcome.stored.at(133) : "";
    }

    Lines Notes() const { return LinesStartingWith(Journal(), "# "); }
    bool Noted(const std::string& text) const {
        for (const std::string& note : Notes()) {
            if (note.find(text) != std::string::npos) return true;
        }
        return false;
    }
};

TEST_F(LibraryMemory, AFunctionIsFinishedOnlyUnderTheDateItWasStartedWith) {
    Approve(Lib(), "86399", "20251126");
    // Confirmed the next day under that day's date: nothing of that name is pending.
    EXPECT_EQ(Lib().finaliza_funcao(1, "86399", "20251127", "000005", ""), -12);
    EXPECT_TRUE(Noted(R"(no approved function of document "86399" started on "20251127")"));
    // Undoing under the wrong date does not undo it either.
    EXPECT_EQ(Lib().finaliza_funcao(0, "86399", "20251127", "000006", ""), 0);
    EXPECT_EQ(Lib().obtem_pendentes("20251126", "86399"), 1);
    EXPECT_EQ(Lib().finaliza_funcao(1, "86399", "20251126", "000007", ""), 0);
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 0);
}

TEST_F(LibraryMemory, WithoutAStateFileARestartForgetsEverything) {
    Approve(Lib(), "100");
    SimLibrary restarted(folder_ / "restarted/");
    EXPECT_EQ(restarted.Configure(), 0);
    EXPECT_EQ(restarted.obtem_pendentes("", ""), 0);
}

class PersistentLibrary : public LibraryMemory {
protected:
    const std::string state_path_ = folder_ / "clisitef-sim.state";
    ScopedEnv state_env_{"QV_CLISITEF_STATE", state_path_.c_str()};

    // A fresh copy of the library in a folder of its own, reading the same state file: the
    // library as a restarted process loads it.
    std::unique_ptr<SimLibrary> Restart() {
        auto lib = std::make_unique<SimLibrary>(folder_ / ("run" + std::to_string(++runs_) + "/"));
        EXPECT_EQ(lib->Configure(), 0);
        return lib;
    }

    int runs_ = 0;
};

TEST_F(PersistentLibrary, PendingFunctionsOutliveTheProcessUntilTheNextSaleUndoesThem) {
    const std::string first_nsu = Approve(Lib(), "100");
    Approve(Lib(), "101");
    EXPECT_EQ(Lib().finaliza_funcao(1, "101", "20251126", "235959", ""), 0);

    std::unique_ptr<SimLibrary> restarted = Restart();
    EXPECT_EQ(restarted->obtem_pendentes("20251126", "100"), 1);
    EXPECT_EQ(restarted->obtem_pendentes("", "101"), 0);
    EXPECT_TRUE(Noted("1 pending function(s) left by an earlier run"));
    // The authoriser's numbers go on from where they were.
    const std::string next_nsu = Approve(*restarted, "200");
    EXPECT_GT(std::stoi(next_nsu), std::stoi(first_nsu) + 1);
    // Starting the function of another sale undid the one left unconfirmed.
    EXPECT_TRUE(Noted("the function 100 20251126 left unconfirmed by an earlier run was undone"));
    EXPECT_EQ(restarted->obtem_pendentes("", "100"), 0);
    EXPECT_EQ(restarted->obtem_pendentes("", ""), 1);

    // Whatever a run leaves pending the next one finds, and can still undo by name.
    std::unique_ptr<SimLibrary> again = Restart();
    EXPECT_EQ(again->obtem_pendentes("20251126", "200"), 1);
    EXPECT_EQ(again->finaliza_funcao(0, "200", "20251126", "235959", ""), 0);
    EXPECT_EQ(again->obtem_pendentes("", ""), 0);
    EXPECT_EQ(Restart()->obtem_pendentes("", ""), 0);
}

TEST_F(PersistentLibrary, AFunctionOfTheSameDocumentAndDateIsNotConfirmedWithTheStaleOne) {
    Approve(Lib(), "36000");
    std::unique_ptr<SimLibrary> restarted = Restart();
    // The same sale (document and date): the stale function is not undone at the start...
    Approve(*restarted, "36000");
    EXPECT_EQ(restarted->obtem_pendentes("20251126", "36000"), 2);
    // ... and the confirmation reaches this run's function only.
    EXPECT_EQ(restarted->finaliza_funcao(1, "36000", "20251126", "235959", ""), 0);
    EXPECT_EQ(restarted->obtem_pendentes("20251126", "36000"), 1);
    // With none of this run left, the name reaches the stale one.
    EXPECT_EQ(restarted->finaliza_funcao(0, "36000", "20251126", "235959", ""), 0);
    EXPECT_EQ(restarted->obtem_pendentes("", ""), 0);
}

TEST_F(PersistentLibrary, ADamagedStateFileIsReportedAndForgotten) {
    ASSERT_TRUE(platform::WriteFile(state_path_, "{\"pending\": 3}"));
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 0);
    EXPECT_TRUE(Noted("error: " + state_path_ + ": needs \"next_nsu\" and \"pending\""));
    // The next change writes a good one.
    Approve(Lib(), "100");
    EXPECT_EQ(Restart()->obtem_pendentes("", "100"), 1);
}

TEST_F(LibraryMemory, APendingCountTheLibraryCannotGiveYet) {
    UseScenario(R"({"pending_answers": [-1, 7],
                    "script": [{"status": 0, "record": "payment"}]})");
    Approve(Lib(), "100");
    EXPECT_EQ(Lib().obtem_pendentes("", "100"), -1);
    EXPECT_EQ(Lib().obtem_pendentes("", "100"), 7);
    EXPECT_EQ(Lib().obtem_pendentes("", "100"), 1);
    // A new configuration reads the scenario again, and the list starts over.
    EXPECT_EQ(Lib().Configure(), 0);
    EXPECT_EQ(Lib().obtem_pendentes("", "100"), -1);
}

}  // namespace
}  // namespace simtest
