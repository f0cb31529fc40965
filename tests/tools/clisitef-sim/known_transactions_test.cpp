// Cancellations, reprints and pending confirmations: the transactions the simulated
// authoriser remembers.
#include <gtest/gtest.h>

#include "sim_test.h"

namespace simtest {
namespace {

class KnownTransactions : public SimTest {
protected:
    // An approved credit payment at sight of `amount` on 26/11/2025 15:48:41 with fiscal
    // document `document`, confirmed or not; returns what it stored.
    std::map<int32_t, std::string> Pay(const std::string& amount, const std::string& document,
                                       bool confirm = true) {
        Outcome outcome = Lib().Run(3, amount, {{"1"}, {"1"}}, "", document);
        EXPECT_EQ(outcome.status, 0);
        if (confirm) {
            EXPECT_EQ(Lib().finaliza_funcao(1, document.c_str(), "20251126", "154900", ""), 0);
        }
        return outcome.stored;
    }

    Outcome Cancel(const std::string& date, const std::string& nsu, const std::string& amount,
                   const std::string& document = "9000") {
        return Lib().Run(200, amount, {{date}, {nsu}, {amount}, {"0"}}, "", document);
    }
};

TEST_F(KnownTransactions, CancellationChecksTheDataAgainstAKnownPayment) {
    auto paid = Pay("189,23", "100");
    const std::string nsu_host = paid[134];
    struct Case {
        const char* name;
        std::string date, nsu, amount;
        int32_t status;
    };
    const Case refused[] = {
        {"unknown NSU", "26112025", "999999", "189,23", 13},
        {"another amount", "26112025", nsu_host, "189,24", 13},
        {"two days later", "28112025", nsu_host, "189,23", 13},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        // The confirmation question is never reached: the answers for it are left over.
        Outcome outcome = Lib().Run(200, c.amount, {{c.date}, {c.nsu}, {c.amount}});
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_TRUE(outcome.stored.empty());
    }
    // The UTC date of an evening payment is the next day; it is still found.
    Outcome cancelled = Cancel("27112025", nsu_host, "189,23");
    ASSERT_EQ(cancelled.status, 0);
    EXPECT_EQ(cancelled.Prompts(),
              (std::vector<std::pair<int32_t, int32_t>>{{30, 515}, {30, 516}, {30, 146}, {20, 0}}));
    EXPECT_EQ(cancelled.stored[100], paid[100]);
    EXPECT_EQ(cancelled.stored[2021], paid[2021]);
    EXPECT_NE(cancelled.stored[134], nsu_host);
    EXPECT_NE(cancelled.stored[121].find("CANCELAMENTO DE TRANSA\xC7\xC3O"), std::string::npos);
    EXPECT_NE(cancelled.stored[121].find("NSU ORIGINAL: " + nsu_host), std::string::npos);
}

TEST_F(KnownTransactions, APaymentIsCancelledOnceAndOnlyWhenTheCancellationIsConfirmed) {
    auto paid = Pay("50,00", "100");
    // The authoriser's own NSU (133) identifies the payment as well as the host's.
    ASSERT_EQ(Cancel("26112025", paid[133], "50,00", "201").status, 0);
    ASSERT_EQ(Lib().finaliza_funcao(0, "201", "20251126", "155000", ""), 0);  // undone
    ASSERT_EQ(Cancel("26112025", paid[133], "50,00", "202").status, 0);
    ASSERT_EQ(Lib().finaliza_funcao(1, "202", "20251126", "155100", ""), 0);
    EXPECT_EQ(Cancel("26112025", paid[133], "50,00", "203").status, 13);
}

TEST_F(KnownTransactions, AnUndonePaymentCannotBeCancelled) {
    auto paid = Pay("70,00", "100", false);
    ASSERT_EQ(Lib().finaliza_funcao(0, "100", "20251126", "154900", ""), 0);
    EXPECT_EQ(Cancel("26112025", paid[134], "70,00").status, 13);
}

TEST_F(KnownTransactions, CancellationAnsweredNoAtTheQuestionIsCancelledByTheOperator) {
    auto paid = Pay("70,00", "100");
    Outcome outcome = Lib().Run(200, "70,00", {{"26112025"}, {paid[134]}, {"70,00"}, {"1"}});
    EXPECT_EQ(outcome.status, -2);
    EXPECT_EQ(Cancel("26112025", paid[134], "70,00").status, 0);  // still cancellable
}

TEST_F(KnownTransactions, ReprintStoresTheReceiptsOfAKnownTransaction) {
    EXPECT_EQ(Lib().Run(114, "1,00", {}).status, 13);  // nothing to reprint yet
    auto first = Pay("10,00", "100");
    auto second = Pay("20,00", "101");
    struct Case {
        const char* name;
        int32_t function;
        std::vector<Answer> answers;
        std::map<int32_t, std::string>* from;
    };
    const Case cases[] = {
        {"last receipt", 114, {}, &second},
        {"menu, last receipt", 112, {{"1"}}, &second},
        {"specific receipt", 113, {{"26112025"}, {first[134]}}, &first},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome = Lib().Run(c.function, "1,00", {c.answers.begin(), c.answers.end()});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.stored[56], "1");
        EXPECT_EQ(outcome.stored[121], (*c.from)[121]);
        EXPECT_EQ(outcome.stored[122], (*c.from)[122]);
    }
    // A reprint is never waiting for a confirmation.
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 0);
}

TEST_F(KnownTransactions, ApprovedFunctionsArePendingUntilFinished) {
    Pay("10,00", "100", false);
    Pay("20,00", "101", false);
    EXPECT_EQ(Lib().obtem_pendentes("20251126", "100"), 1);
    EXPECT_EQ(Lib().obtem_pendentes("20251126", ""), 2);
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 2);
    EXPECT_EQ(Lib().obtem_pendentes("20251127", ""), 0);
    EXPECT_EQ(Lib().finaliza_transacao(1, "100", "20251126", "155000"), 0);
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 1);
    EXPECT_EQ(Lib().finaliza_funcao(0, "101", "20251126", "155000", ""), 0);
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 0);
    // Confirming what is not pending is out of order; undoing it does no harm.
    EXPECT_EQ(Lib().finaliza_funcao(1, "101", "20251126", "155000", ""), -12);
    EXPECT_EQ(Lib().finaliza_transacao(1, "555", "20251126", "155000"), -12);
    EXPECT_EQ(Lib().finaliza_funcao(0, "555", "20251126", "155000", ""), 0);
    EXPECT_EQ(LinesStartingWith(Journal(), "# no approved function of document \"555\"").size(),
              1u);
}

TEST_F(KnownTransactions, ARefusedConfirmationLeavesThePaymentPendingUntilUndone) {
    UseScenario(R"({"confirm_result": -7,
                    "script": [{"command": 0, "field": 133, "text": "${nsu}"},
                               {"status": 0, "record": "payment"}]})");
    ASSERT_EQ(Lib().Run(3, "10,00", {}, "", "100").status, 0);
    EXPECT_EQ(Lib().finaliza_funcao(1, "100", "20251126", "155000", ""), -7);
    EXPECT_EQ(Lib().obtem_pendentes("", "100"), 1);
    EXPECT_EQ(LinesStartingWith(Journal(), "# the confirmation was refused").size(), 1u);
    EXPECT_EQ(Lib().finaliza_funcao(0, "100", "20251126", "155000", ""), 0);
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 0);
    // Undone, it is gone: confirming it now is out of order.
    EXPECT_EQ(Lib().finaliza_funcao(1, "100", "20251126", "155000", ""), -12);
    EXPECT_EQ(LinesStartingWith(Journal(), "# the confirmation was refused").size(), 1u);
}

TEST_F(KnownTransactions, OneCallFinishesEveryFunctionOfTheDocument) {
    // The card payments of one sale share its fiscal document.
    auto first = Pay("10,00", "300", false);
    auto second = Pay("20,00", "300", false);
    Pay("5,00", "301", false);
    EXPECT_EQ(Lib().finaliza_transacao(1, "300", "20251126", "155000"), 0);
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 1);
    EXPECT_EQ(Lib().obtem_pendentes("", "301"), 1);
    // Both became known: either can be cancelled.
    EXPECT_EQ(Cancel("26112025", first[134], "10,00").status, 0);
    EXPECT_EQ(Cancel("26112025", second[134], "20,00", "9001").status, 0);
}

TEST_F(KnownTransactions, DeclinedAndCancelledFunctionsLeaveNothingPending) {
    EXPECT_EQ(Lib().Run(3, "10,51", {}, "", "100").status, 5);
    EXPECT_EQ(Lib().Run(3, "10,00", {Abort()}, "", "101").status, -2);
    EXPECT_EQ(Lib().obtem_pendentes("", ""), 0);
}

TEST_F(KnownTransactions, ScenarioPaymentsCanBeCancelled) {
    UseScenario(R"({
      "payments": [{"nsu": "4321", "date": "20240105", "amount": "99,90", "102": "PIX"}],
      "flows": {"cancel": [
        {"command": 30, "field": 515, "min": 8, "max": 8},
        {"command": 30, "field": 516, "min": 1, "max": 12},
        {"command": 30, "field": 146, "min": 1, "max": 12},
        {"match": "payment", "else": "none"},
        {"command": 0, "field": 102, "text": "${orig.102} ${orig.amount_br}"},
        {"status": 0, "record": "cancellation"},
        {"label": "none", "status": 13}]},
      "functions": {"200": "cancel"}
    })");
    Outcome outcome = Lib().Run(200, "99,90", {{"05012024"}, {"004321"}, {"99.9"}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.stored[102], "PIX 99,90");
}

}  // namespace
}  // namespace simtest
