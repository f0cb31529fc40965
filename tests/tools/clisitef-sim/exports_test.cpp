// Configuration, the simple exports, and where the library finds its scenario.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/file_system.h"
#include "sim_test.h"

namespace simtest {
namespace {

class Exports : public SimTest {};

TEST_F(Exports, ConfigurationChecksItsArgumentsOrAnswersWhatTheScenarioSays) {
    struct Case {
        const char* name;
        const char* scenario;  // nullptr: the built-in one
        const char* ip;
        const char* store;
        const char* terminal;
        int32_t result;
        bool configured;
    };
    const Case cases[] = {
        {"valid", nullptr, "10.0.0.1", "00000000", "AG001203", 0, true},
        {"empty address", nullptr, "", "00000000", "AG001203", 1, false},
        {"no address", nullptr, nullptr, "00000000", "AG001203", 1, false},
        {"empty store", nullptr, "10.0.0.1", "", "AG001203", 2, false},
        {"terminal of seven", nullptr, "10.0.0.1", "00000000", "AG00120", 3, false},
        {"terminal of nine", nullptr, "10.0.0.1", "00000000", "AG0012034", 3, false},
        {"no terminal", nullptr, "10.0.0.1", "00000000", nullptr, 3, false},
        {"told to fail", R"({"configure_result": 6, "script": [{"status": 0}]})", "10.0.0.1",
         "00000000", "AG001203", 6, false},
        {"told a result that is no error", R"({"configure_result": 5, "script": [{"status": 0}]})",
         "10.0.0.1", "00000000", "AG001203", 5, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ScopedEnv> builtin;
        if (c.scenario != nullptr) {
            UseScenario(c.scenario);
        } else {
            builtin = std::make_unique<ScopedEnv>("QV_CLISITEF_SCENARIO", nullptr);
        }
        EXPECT_EQ(Loaded().configura(c.ip, c.store, c.terminal, 0, ""), c.result);
        EXPECT_EQ(Loaded().Start(111, "0,00"), c.configured ? 10000 : -1);
    }
}

TEST_F(Exports, SimpleExportsAnswerTheScenarioValues) {
    UseScenario(R"({
      "pinpad_present": 0, "pinpad_message_result": 3, "pending_transactions": 7,
      "track3": {"result": 5, "area": "ABCDEFG"},
      "card_direct": {"result": 9, "a25": "1234567890123456789012345678901234567890",
                      "a129": "Cartão", "b129": ""}
    })");
    SimLibrary& lib = Lib();
    EXPECT_EQ(lib.verifica_pinpad(), 0);
    EXPECT_EQ(lib.escreve_mensagem("** BOA VIAGEM **"), 3);
    EXPECT_EQ(lib.obtem_pendentes("20251126", "1"), 7);
    char area4[4] = {'?', '?', '?', '?'};
    EXPECT_EQ(lib.le_trilha3(area4), 5);
    EXPECT_STREQ(area4, "ABC");
    char a25[25], a129[129], b129[129];
    std::memset(b129, '?', sizeof b129);
    EXPECT_EQ(lib.le_cartao_direto_ex(a25, a129, b129, 77, 0), 9);
    EXPECT_STREQ(a25, "123456789012345678901234");
    EXPECT_STREQ(a129, "Cart\xE3o");
    EXPECT_STREQ(b129, "");
    char area[8] = "xyz";
    EXPECT_EQ(lib.le_cartao_seguro(area), 0);
    EXPECT_STREQ(area, "");
    auto journal = Journal();
    EXPECT_EQ(LinesStartingWith(journal,
                                "EscreveMensagemPermanentePinPad mensagem=\"** BOA VIAGEM "
                                "**\" -> 3")
                  .size(),
              1u);
    EXPECT_EQ(LinesStartingWith(journal, "LeCartaoDiretoEx valor=77 zero=0 -> 9 a25=\"1234").size(),
              1u);
}

TEST_F(Exports, Track3ReadRunsADialogueThatEndsWithTheCard) {
    SimLibrary& lib = Lib();  // the built-in scenario
    char area4[4];
    ASSERT_EQ(lib.le_trilha3(area4), 10000);
    Outcome outcome = lib.Drive({});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.final_text, "0600123456789000");
    EXPECT_GT(outcome.Count(23), 0);
}

TEST_F(Exports, TheScenarioComesFromTheVariableElseBesideTheLibraryElseBuiltIn) {
    SimLibrary& lib = Loaded();
    EXPECT_EQ(lib.verifica_pinpad(), 1);
    EXPECT_EQ(Journal().front(), "# scenario built-in scenario");

    std::string beside = lib.dll_folder() + "clisitef-sim.json";
    ASSERT_TRUE(platform::WriteFile(beside, R"({"pinpad_present": 0})"));
    EXPECT_EQ(lib.Configure(), 0);
    EXPECT_EQ(lib.verifica_pinpad(), 0);
    EXPECT_EQ(LinesStartingWith(Journal(), "# scenario " + beside).size(), 1u);

    UseScenario(R"({"pinpad_present": -1})");
    EXPECT_EQ(lib.Configure(), 0);
    EXPECT_EQ(lib.verifica_pinpad(), -1);
}

TEST_F(Exports, TheScenarioNamesTheJournalBesideItself) {
    ScopedEnv no_journal("QV_CLISITEF_JOURNAL", nullptr);
    UseScenario(R"({"journal": "from-scenario.log"})");
    Lib().verifica_pinpad();
    auto lines = ReadLines(folder_ / "from-scenario.log");
    EXPECT_EQ(LinesStartingWith(lines, "VerificaPresencaPinPad -> 1").size(), 1u);
    EXPECT_TRUE(Journal().empty());
}

TEST_F(Exports, PaymentsSurviveAReloadOfTheScenario) {
    Outcome paid = Lib().Run(3, "10,00", {{"1"}, {"1"}}, "", "100");
    ASSERT_EQ(paid.status, 0);
    ASSERT_EQ(Lib().finaliza_funcao(1, "100", "20251126", "155000", ""), 0);
    ASSERT_EQ(Lib().Configure(), 0);
    Outcome cancelled =
        Lib().Run(200, "10,00", {{"26112025"}, {paid.stored[134]}, {"10,00"}, {"0"}}, "", "101");
    EXPECT_EQ(cancelled.status, 0);
    // New numbers after the reload too: the cancellation has an NSU of its own.
    EXPECT_NE(cancelled.stored[133], paid.stored[133]);
}

}  // namespace
}  // namespace simtest
