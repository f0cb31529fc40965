// The records of requests with a request_id on a real store: what a lookup says while a
// request runs and after, and how an unfinished record is settled from what the payment
// library answers (here a stand-in for its two questions).
#include "requests/transaction_records.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace requests {
namespace {

using Kind = TTransactionRecords::TLookup::Kind;
using results::TRecordState;

class TransactionRecords : public ::testing::Test {
protected:
    TransactionRecords() { records_.Open(folder_ / "resultados.db", 30); }

    // A record left confirming by an operation that is over.
    void LeaveConfirming(const std::string& id) {
        ASSERT_EQ(records_.Begin(id), TTransactionRecords::TBegin::kStarted);
        ASSERT_TRUE(
            records_.Confirming(id, {"54321", "20251126", "235950"}, "approved", "unconfirmed"));
        records_.End();
    }

    qvtest::TempFolder folder_;
    std::vector<std::string> log_;
    TTransactionRecords records_{[this](const std::string& line) { log_.push_back(line); }};
};

TEST_F(TransactionRecords, TheRunningRequestIsNeverTakenForAnUnfinishedOne) {
    EXPECT_EQ(records_.Find("A").kind, Kind::kUnknown);
    ASSERT_EQ(records_.Begin("A"), TTransactionRecords::TBegin::kStarted);
    EXPECT_EQ(records_.Begin("A"), TTransactionRecords::TBegin::kRecorded);
    EXPECT_EQ(records_.Find("A").kind, Kind::kRunning);
    records_.Settle(nullptr);
    EXPECT_EQ(records_.Find("A").kind, Kind::kRunning);

    // Its operation ended without writing its outcome: now it is unfinished, and settled.
    records_.End();
    EXPECT_EQ(records_.Find("A").kind, Kind::kUnfinished);
    records_.Settle(nullptr);
    const TTransactionRecords::TLookup settled = records_.Find("A");
    EXPECT_EQ(settled.kind, Kind::kResult);
    EXPECT_EQ(settled.result, R"({"type":"result","status":"unauthorized","message":")"
                              R"(Transa\u00E7\u00E3o TEF n\u00E3o realizada."})");
    EXPECT_EQ(log_.back(), "Transação A interrompida: resultado \"unauthorized\" registrado.");

    // An outcome written from the state the record is in ends it; from another, nothing.
    ASSERT_EQ(records_.Begin("B"), TTransactionRecords::TBegin::kStarted);
    EXPECT_FALSE(records_.Finish("B", TRecordState::kConfirming, "x"));
    EXPECT_TRUE(records_.Finish("B", TRecordState::kRunning, "declined"));
    records_.End();
    EXPECT_EQ(records_.Find("B").result, "declined");
}

TEST_F(TransactionRecords, AConfirmationNeverSeenToEndIsSettledFromTheLibrarysAnswer) {
    struct Case {
        const char* what;
        std::function<int32_t()> pending;
        bool undo_fails;
        Kind kind;
        std::string result;  // when settled
        bool undone;
    } cases[] = {
        {"still pending: never confirmed", [] { return 1; }, false, Kind::kResult, "unconfirmed",
         true},
        {"still pending, and the undo fails", [] { return 2; }, true, Kind::kResult, "unconfirmed",
         true},
        {"nothing pending: confirmed", [] { return 0; }, false, Kind::kResult, "approved", false},
        {"no answer", [] { return -1; }, false, Kind::kUnfinished, "", false},
        {"the question fails", []() -> int32_t { throw std::runtime_error("sem biblioteca"); },
         false, Kind::kUnfinished, "", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string id = "C" + std::to_string(++n);
        LeaveConfirming(id);
        std::vector<std::string> asked, undone;
        const TTransactionRecords::TLibrary library{
            [&](const results::TFiscalFunction& f) {
                asked.push_back(f.document + "@" + f.date + " " + f.time);
                return c.pending();
            },
            [&](const results::TFiscalFunction& f) {
                undone.push_back(f.document + "@" + f.date + " " + f.time);
                if (c.undo_fails) throw std::runtime_error("recusado");
            }};
        // Without the library it cannot be told.
        records_.Settle(nullptr);
        EXPECT_EQ(records_.Find(id).kind, Kind::kUnfinished) << c.what;

        records_.Settle(&library);
        const TTransactionRecords::TLookup found = records_.Find(id);
        EXPECT_EQ(found.kind, c.kind) << c.what;
        EXPECT_EQ(found.result, c.result) << c.what;
        // Named as the library knows it: by its document and the moment it was started.
        EXPECT_EQ(asked, std::vector<std::string>{"54321@20251126 235950"}) << c.what;
        EXPECT_EQ(undone, c.undone ? std::vector<std::string>{"54321@20251126 235950"}
                                   : std::vector<std::string>{})
            << c.what;
        // Settled records are not asked about again; this one is done with either way.
        records_.Finish(id, TRecordState::kConfirming, "dropped");
    }
}

TEST_F(TransactionRecords, WithoutAStoreEveryRequestWithAnIdIsRefused) {
    std::vector<std::string> log;
    TTransactionRecords records([&](const std::string& line) { log.push_back(line); });
    records.Open(folder_ / "no-such-folder/resultados.db", 30);
    EXPECT_FALSE(records.Available());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Erro ao abrir o registro de resultados " +
                          folder_ /
                              "no-such-folder/resultados.db: unable to open database file. "
                              "Transações com request_id serão recusadas.");
    EXPECT_EQ(records.Begin("A"), TTransactionRecords::TBegin::kUnavailable);
    EXPECT_THROW(records.Find("A"), results::TResultStoreError);
    records.Settle(nullptr);  // nothing to do, nothing raised
}

}  // namespace
}  // namespace requests
