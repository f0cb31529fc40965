// How an approved payment is finished with the payment library, over TLS with the real service,
// the simulated library (remembering what it holds pending in its state file) and the
// service's clock set by the test: a payment that crosses midnight is confirmed under the date
// and time it was started with, and a stale function of the same document left pending by an
// earlier run does not make a good confirmation look refused.
#include <gtest/gtest.h>

#include <csignal>

#include "session_support.h"
#include "support/app_folder.h"
#include "support/dialogue_answers.h"
#include "support/dialogue_client.h"
#include "support/sim_journal.h"
#include "support/simulated_library.h"

namespace {

using Lines = std::vector<std::string>;
using qvtest::DialogueClient;
using qvtest::Field;
using qvtest::JournalValue;
using qvtest::MessageType;

// A debit behind one menu; after the answer the library approves and holds it pending.
constexpr const char* kScenario = R"({
 "functions": {"2": "debit"},
 "flows": {"debit": [
   {"command": 21, "options": [{"code": "1", "text": "Conta corrente"}]},
   {"command": 0, "field": 100, "text": "0100"},
   {"command": 0, "field": 133, "text": "${nsu}"},
   {"command": 0, "field": 121, "text": "VIA DO CLIENTE\nVALOR: R$ ${amount_br}"},
   {"status": 0, "record": "payment"}]}
})";

class Confirmation : public ::testing::Test {
protected:
    Confirmation() {
        qvtest::InstallSimulatedLibrary(app_, kScenario);
        app_.SetEnv("QV_CLISITEF_STATE", app_ / "clisitef-sim.state");
        app_.SetEnv("QV_CLOCK_FILE", app_ / "clock.txt");
        app_.SetEnv("QV_ANSWER_TIMEOUT_MS", "8000");
    }

    // Sets the service's clock, which stands still there until set again.
    void SetClock(const std::string& local_time) { app_.PutFile("clock.txt", local_time); }

    DialogueClient Connect() { return DialogueClient(app_.Client()); }

    // Sends a debit of 25,50 and reads up to its menu.
    static void StartPayment(DialogueClient& client, const std::string& uuid) {
        client.socket().SendText(qvtest::TransactionRequest(
            uuid, "transaction",
            R"("operation":2,"payer_name":"Ana","sale_id":4242,"transaction_value":"25,50")"));
        ASSERT_EQ(MessageType(client.ReadUntil({"menu", "result", "error"}).back()), "menu");
    }
    static std::string AnswerMenu(DialogueClient& client) {
        client.socket().SendText(qvtest::MenuAnswer("1:Conta corrente"));
        return client.ReadUntil().back();
    }

    Lines Journal(const std::string& exportName) const {
        return qvtest::JournalCalls(app_ / "journal.log", exportName);
    }
    std::string Started(const std::string& name) const {
        return JournalValue(Journal("IniciaFuncaoSiTefInterativo").back(), name);
    }
    // "<confirma> <document> <date> <time> -> <result>" of every FinalizaFuncaoSiTefInterativo.
    Lines Finishes() const {
        Lines finishes;
        for (const std::string& line : Journal("FinalizaFuncaoSiTefInterativo"))
            finishes.push_back(JournalValue(line, "confirma") + " " +
                               JournalValue(line, "cupomFiscal") + " " +
                               JournalValue(line, "dataFiscal") + " " +
                               JournalValue(line, "horario") +
                               line.substr(line.find(" -> ")));
        return finishes;
    }

    qvtest::AppFolder app_;
};

TEST_F(Confirmation, APaymentThatCrossesMidnightIsConfirmedUnderItsStartDate) {
    SetClock("2025-11-26 23:59:59");
    app_.StartAndWaitForPort();
    DialogueClient till = Connect();
    const std::string uuid = qvtest::OpenSession(till);
    StartPayment(till, uuid);
    EXPECT_EQ(Started("cupomFiscal"), "86399");
    EXPECT_EQ(Started("dataFiscal"), "20251126");

    // The customer takes a while: the day changes before the library approves.
    SetClock("2025-11-27 00:00:07");
    const std::string result = AnswerMenu(till);
    EXPECT_EQ(Field(result, "status"), "approved") << result;
    EXPECT_EQ(Finishes(), Lines{"1 86399 20251126 235959 -> 0"});
    for (const std::string& asked : Journal("ObtemQuantidadeTransacoesPendentes"))
        EXPECT_EQ(JournalValue(asked, "data"), "20251126");
    // Nothing left for the library to undo later.
    EXPECT_TRUE(Journal("ObtemQuantidadeTransacoesPendentes").back().ends_with(" -> 0"));
    EXPECT_EQ(app_.Stop(), 0) << app_.Output();
}

TEST_F(Confirmation, AStaleFunctionOfTheSameDocumentLeavesAGoodConfirmationApproved) {
    // The same second of the same day twice (a clock set back): both payments get document
    // 36000. The first run dies right after the library approved, leaving it pending there.
    SetClock("2025-11-26 10:00:00");
    app_.SetEnv("QV_CRASH_AT", "approved");
    app_.StartAndWaitForPort();
    {
        DialogueClient till = Connect();
        StartPayment(till, qvtest::OpenSession(till));
        till.socket().SendText(qvtest::MenuAnswer("1:Conta corrente"));
        EXPECT_THROW(till.ReadUntil(), std::exception);  // the service is gone
    }
    ASSERT_EQ(app_.Wait(std::chrono::seconds(10)), 128 + SIGKILL);
    EXPECT_EQ(Started("cupomFiscal"), "36000");

    app_.SetEnv("QV_CRASH_AT", "");
    app_.StartAndWaitForPort();
    DialogueClient till = Connect();
    StartPayment(till, qvtest::OpenSession(till));
    EXPECT_EQ(Started("cupomFiscal"), "36000");
    const std::string result = AnswerMenu(till);
    // Charged once and told so: confirmed, never undone, and the stale one left as it was.
    EXPECT_EQ(Field(result, "status"), "approved") << result;
    EXPECT_EQ(Finishes(), Lines{"1 36000 20251126 100000 -> 0"});
    const Lines counts = Journal("ObtemQuantidadeTransacoesPendentes");
    ASSERT_GE(counts.size(), 2u);
    EXPECT_TRUE(counts[counts.size() - 2].ends_with(" -> 2")) << counts[counts.size() - 2];
    EXPECT_TRUE(counts.back().ends_with(" -> 1")) << counts.back();
    EXPECT_EQ(app_.Stop(), 0) << app_.Output();
}

}  // namespace
