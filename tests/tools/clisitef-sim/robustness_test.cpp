// Bad input to the simulated library: an error status and a message, never a crash and never
// a write past the caller's buffer.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/file_system.h"
#include "sim_test.h"

namespace simtest {
namespace {

constexpr int32_t kSize = tef::kCliSiTefBufferSize;

class Robustness : public SimTest {
protected:
    int32_t Continue(int32_t continua = 0) {
        return Lib().continua(&command_, &field_, &min_, &max_, buffer_.data(), kSize, continua);
    }

    int32_t command_ = 0, field_ = 0;
    int16_t min_ = 0, max_ = 0;
    std::vector<char> buffer_ = std::vector<char>(kSize, '\0');
};

TEST_F(Robustness, CallsOutOfOrderGetAnErrorStatus) {
    EXPECT_EQ(Loaded().Start(3), -1);  // not configured yet
    EXPECT_EQ(Loaded().le_trilha3(std::vector<char>(4).data()), -1);
    EXPECT_EQ(Continue(), -12);  // nothing started
    ASSERT_EQ(Loaded().Configure(), 0);
    ASSERT_EQ(Loaded().Run(3, "10,51", {}).status, 5);
    EXPECT_EQ(Continue(), -12);  // already ended
    EXPECT_EQ(LinesStartingWith(Journal(),
                                "# error: ContinuaFuncaoSiTefInterativo without a running function")
                  .size(),
              2u);
}

TEST_F(Robustness, NullPointersAndBadSizesAreRefused) {
    ASSERT_EQ(Lib().Start(3), 10000);
    std::vector<char>& b = buffer_;
    int32_t c = 0, f = 0;
    int16_t mn = 0, mx = 0;
    ContinuaFuncaoSiTefInterativoFn continua = Lib().continua;
    EXPECT_EQ(continua(nullptr, &f, &mn, &mx, b.data(), kSize, 0), -20);
    EXPECT_EQ(continua(&c, nullptr, &mn, &mx, b.data(), kSize, 0), -20);
    EXPECT_EQ(continua(&c, &f, nullptr, &mx, b.data(), kSize, 0), -20);
    EXPECT_EQ(continua(&c, &f, &mn, nullptr, b.data(), kSize, 0), -20);
    EXPECT_EQ(continua(&c, &f, &mn, &mx, nullptr, kSize, 0), -20);
    EXPECT_EQ(continua(&c, &f, &mn, &mx, b.data(), 0, 0), -20);
    EXPECT_EQ(continua(&c, &f, &mn, &mx, b.data(), -5, 0), -20);
    EXPECT_EQ(continua(&c, &f, &mn, &mx, b.data(), kSize, 2), -20);
    // None of that disturbed the function: it starts with its first menu.
    EXPECT_EQ(Continue(), 10000);
    EXPECT_EQ(command_, 21);

    SimLibrary& lib = Lib();
    const char* t = "x";
    EXPECT_EQ(lib.inicia(3, nullptr, t, t, t, t, t), -20);
    EXPECT_EQ(lib.inicia(3, "1,00", t, t, t, t, nullptr), -20);
    EXPECT_EQ(lib.finaliza_funcao(1, nullptr, t, t, t), -20);
    EXPECT_EQ(lib.finaliza_transacao(2, "1", t, t), -20);
    EXPECT_EQ(lib.le_trilha3(nullptr), -20);
    EXPECT_EQ(lib.le_cartao_seguro(nullptr), -20);
    EXPECT_EQ(lib.le_cartao_direto_seguro(nullptr), -20);
    char a25[25], a129[129];
    EXPECT_EQ(lib.le_cartao_direto_ex(a25, nullptr, a129, 0, 0), -20);
    EXPECT_EQ(lib.escreve_mensagem(nullptr), -20);
    EXPECT_EQ(lib.obtem_pendentes(nullptr, ""), -20);
}

TEST_F(Robustness, AmountsThatAreNotAmountsAreRefused) {
    for (const char* amount : {"", "abc", "1.234,56", "-5,00", "10,123", "10,", ",50"}) {
        SCOPED_TRACE(amount);
        EXPECT_EQ(Lib().Start(3, amount), -20);
    }
    for (const char* amount : {"10", "10,5", "10.50", "0,00"}) {
        SCOPED_TRACE(amount);
        EXPECT_EQ(Lib().Start(3, amount), 10000);
    }
}

TEST_F(Robustness, AnAnswerWithoutItsEndWithinTheBufferIsRefused) {
    ASSERT_EQ(Lib().Start(3), 10000);
    // Exactly tamBuffer bytes, none of them NUL: reading one more would leave the buffer.
    auto answer = std::make_unique<char[]>(8);
    std::fill_n(answer.get(), 8, 'x');
    EXPECT_EQ(Lib().continua(&command_, &field_, &min_, &max_, answer.get(), 8, 0), -20);
    EXPECT_EQ(LinesStartingWith(Journal(),
                                "ContinuaFuncaoSiTefInterativo continua=0 "
                                "buffer=UNTERMINATED tamBuffer=8 -> -20")
                  .size(),
              1u);
}

TEST_F(Robustness, DataLargerThanTheCallersBufferIsNeverWritten) {
    UseScenario(R"({"script": [{"command": 3, "text": "a text of thirty characters!!"},
                               {"status": 0}]})");
    ASSERT_EQ(Lib().Start(3), 10000);
    auto small = std::make_unique<char[]>(16);  // the sanitizer build catches a write past it
    small[0] = '\0';
    EXPECT_EQ(Lib().continua(&command_, &field_, &min_, &max_, small.get(), 16, 0), -20);
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(Continue(), -12);  // the function ended
}

TEST_F(Robustness, ScenarioFaultsFoundWhileRunningEndTheFunction) {
    UseScenario(R"({"flows": {
        "loop": [{"label": "x", "goto": "x"}],
        "endless": [{"command": 3, "text": "x"}]},
      "functions": {"1": "loop", "2": "endless"}})");
    EXPECT_EQ(Lib().Run(1, "1,00", {}).status, -100);
    EXPECT_EQ(Lib().Run(2, "1,00", {}).status, -100);
    EXPECT_EQ(LinesStartingWith(Journal(), "# error: flow \"loop\" jumps 10000 times").size(), 1u);
    EXPECT_EQ(
        LinesStartingWith(Journal(), "# error: flow \"endless\" ends without a status").size(), 1u);
}

TEST_F(Robustness, MalformedScenariosAreReportedAndLeaveTheLibraryUnconfigured) {
    struct Case {
        const char* json;
        const char* message;
    };
    const Case cases[] = {
        {"{ not json", "not valid JSON"},
        {R"({"flows": {"a": [{"command": 1, "txt": "x"}]}})", "flows.a[0]: unknown key \"txt\""},
        {R"({"flows": {"a": [{"text": "x"}]}})", "flows.a[0]: a step needs"},
        {R"({"flows": {"a": [{"goto": "nowhere"}]}})", "jump to unknown \"nowhere\""},
        {R"({"flows": {"a": [{"command": 1, "text": "${x"}]}})", "unterminated \"${\""},
        {R"({"flows": {"a": [{"command": 1, "text": "${x|upper}"}]}})", "unknown filter"},
        {R"({"flows": {"a": [{"command": 1, "min": "3"}]}})",
         "flows.a[0].min: expected an integer from 0 to 32767"},
        {R"({"flows": {"a": [{"command": 30, "options": [{"code": "1", "text": "x"}]}]}})",
         "only allowed on menus"},
        {R"({"flows": {"a": [{"status": 10000}]}})", "10000 is not a final status"},
        {R"({"flows": {"a": [{"label": "x", "status": 0}, {"label": "x", "status": 0}]}})",
         "label \"x\" appears twice"},
        {R"({"functions": {"3": "missing"}})", "unknown flow \"missing\""},
        {R"({"functions": {"credit": "a"}, "flows": {"a": [{"status": 0}]}})",
         "a function code is a decimal number"},
        {R"({"track3": {"result": 10000}})", "result 10000 needs a \"flow\""},
        {R"({"script": []})", "a flow needs at least one step"},
        {R"({"payments": [{"nsu": "1", "amount": "x"}]})", "payments[0].amount"},
        {R"({"pinpad_present": 1, "extra": 2})", "scenario.json: unknown key \"extra\""},
        {R"([1, 2])", "scenario.json: expected an object"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        UseScenario(c.json);
        EXPECT_EQ(Loaded().Configure(), 8);
        EXPECT_EQ(Loaded().Start(3), -1);
        EXPECT_EQ(Loaded().verifica_pinpad(), -1);
        auto errors = LinesStartingWith(Journal(), "# error: " + (folder_ / "scenario.json"));
        ASSERT_FALSE(errors.empty());
        EXPECT_NE(errors.back().find(c.message), std::string::npos) << errors.back();
    }
}

TEST_F(Robustness, AMissingScenarioFileIsReported) {
    ScopedEnv missing("QV_CLISITEF_SCENARIO", (folder_ / "none.json").c_str());
    EXPECT_EQ(Loaded().Configure(), 8);
    EXPECT_EQ(
        LinesStartingWith(Journal(), "# error: " + (folder_ / "none.json") + ": cannot be read")
            .size(),
        1u);
}

TEST_F(Robustness, AFixedScenarioIsTakenAtTheNextConfiguration) {
    UseScenario("{ broken");
    EXPECT_EQ(Loaded().Configure(), 8);
    UseScenario(R"({"pinpad_present": 0})");
    EXPECT_EQ(Loaded().Configure(), 0);
    EXPECT_EQ(Loaded().verifica_pinpad(), 0);
}

TEST_F(Robustness, QueriesFromAnotherThreadDuringPayments) {
    SimLibrary& lib = Lib();
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::thread checker([&] {
        int pending_before = 0;
        while (!done) {
            if (lib.verifica_pinpad() != 1) ++wrong;
            // Approvals only add to the count while the other thread pays.
            int pending = lib.obtem_pendentes("", "");
            if (pending < pending_before || pending > 5) ++wrong;
            pending_before = pending;
        }
    });
    for (int i = 0; i < 5; ++i) {
        Outcome outcome = lib.Run(3, "10,00", {{"1"}, {"1"}}, "", std::to_string(100 + i));
        EXPECT_EQ(outcome.status, 0);
    }
    done = true;
    checker.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(lib.obtem_pendentes("", ""), 5);
}

}  // namespace
}  // namespace simtest
