// The result store on real files: its states and the only moves it allows, what survives a
// close, retention, and files it must refuse with SQLite's reason.
#include "results/result_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/file_system.h"
#include "support/process_probe.h"
#include "support/sqlite_file.h"
#include "support/temp_folder.h"

namespace results {
namespace {

namespace fs = std::filesystem;
using qvtest::SqliteRows;

constexpr const char* kApproved = R"({"type":"result","status":"approved","transaction_data":[]})";
constexpr const char* kUnconfirmed = R"({"type":"result","status":"canceled"})";

class ResultStore : public ::testing::Test {
protected:
    std::string Path() const { return dir_ + "resultados.db"; }
    std::unique_ptr<TResultStore> Open() { return std::make_unique<TResultStore>(Path()); }

    // Overwrites `bytes` at `offset` of the database file.
    void Patch(std::streamoff offset, const std::string& bytes) {
        std::fstream file(Path(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(offset);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    qvtest::TempFolder folder_;
    std::string dir_ = folder_.path();
};

TEST_F(ResultStore, ARecordMovesOnlyForwardThroughItsStates) {
    auto store = Open();
    EXPECT_FALSE(store->Find("A-1"));
    EXPECT_TRUE(store->Begin("A-1", 100));
    EXPECT_FALSE(store->Begin("A-1", 101));  // a second request with the same id starts nothing
    EXPECT_EQ(store->Find("A-1")->state, TRecordState::kRunning);
    EXPECT_EQ(store->Find("A-1")->started_at, 100);

    // Only a running record becomes confirming, and only from the state it is in is it done.
    EXPECT_FALSE(store->Finish("A-1", TRecordState::kConfirming, "x", 102));
    EXPECT_TRUE(store->MarkConfirming("A-1", {"54321", "20251126", "235950"}, kApproved,
                                      kUnconfirmed, 103));
    EXPECT_FALSE(store->MarkConfirming("A-1", {"1", "20251127", "235950"}, "y", "z", 104));
    const TResultRecord confirming = *store->Find("A-1");
    EXPECT_EQ(confirming.state, TRecordState::kConfirming);
    EXPECT_EQ(confirming.document, "54321");
    EXPECT_EQ(confirming.fiscal_date, "20251126");
    EXPECT_EQ(confirming.fiscal_time, "235950");
    EXPECT_EQ(confirming.approved, kApproved);
    EXPECT_EQ(confirming.unconfirmed, kUnconfirmed);
    EXPECT_EQ(confirming.updated_at, 103);

    EXPECT_FALSE(store->Finish("A-1", TRecordState::kRunning, "x", 105));
    EXPECT_TRUE(store->Finish("A-1", TRecordState::kConfirming, kApproved, 106));
    EXPECT_FALSE(store->Finish("A-1", TRecordState::kConfirming, kUnconfirmed, 107));
    const TResultRecord done = *store->Find("A-1");
    EXPECT_EQ(done.state, TRecordState::kDone);
    EXPECT_EQ(done.result, kApproved);
    EXPECT_EQ(done.document, "54321");
    EXPECT_EQ(done.approved, "");  // the candidates go once one of them is the result
    EXPECT_EQ(done.updated_at, 106);

    // A request that ended without an approval goes from running straight to done.
    EXPECT_TRUE(store->Begin("A-2", 110));
    EXPECT_FALSE(store->MarkConfirming("A-3", {"1", "20251126", "235950"}, "y", "z", 111));
    EXPECT_TRUE(store->Finish("A-2", TRecordState::kRunning, "declined", 112));
    EXPECT_EQ(store->Find("A-2")->result, "declined");
}

TEST_F(ResultStore, WhatWasCommittedIsThereAfterAReopenByteForByte) {
    // Identifiers and texts are bound, never spliced into SQL.
    const std::string ids[] = {"'; DROP TABLE transaction_result; --", R"(a"b\c)", "x%_*?"};
    const std::string result = std::string(kApproved) + "\\u00E7 '\" ;--";
    {
        auto store = Open();
        for (const std::string& id : ids) ASSERT_TRUE(store->Begin(id, 1));
        ASSERT_TRUE(
            store->MarkConfirming(ids[0], {"7", "20251126", "235950"}, result, kUnconfirmed, 2));
        ASSERT_TRUE(store->Finish(ids[1], TRecordState::kRunning, result, 3));
    }
    auto store = Open();
    EXPECT_EQ(store->Find(ids[0])->approved, result);
    EXPECT_EQ(store->Find(ids[1])->result, result);
    EXPECT_EQ(store->Find(ids[2])->state, TRecordState::kRunning);
    EXPECT_FALSE(store->Find("x%"));
    // The file is in write-ahead-log mode (format versions 2 in the header).
    const std::string header = platform::ReadFile(Path()).value_or("").substr(0, 20);
    ASSERT_EQ(header.size(), 20u);
    EXPECT_EQ(header.substr(18, 2), std::string("\x02\x02", 2));
}

TEST_F(ResultStore, CardNumbersNeverReachTheFiles) {
    const std::string approved = R"({"card_number":"4111111111111111","nsu_code":"000001",)"
                                 R"("data":["CARTAO 3782 822463 10005"]})";
    {
        auto store = Open();
        ASSERT_TRUE(store->Begin("A-1", 1));
        ASSERT_TRUE(
            store->MarkConfirming("A-1", {"7", "20251126", "235950"}, approved, approved, 2));
        ASSERT_TRUE(store->Begin("A-2", 1));
        ASSERT_TRUE(store->Finish("A-2", TRecordState::kRunning, approved, 3));
        const std::string masked = R"({"card_number":"411111******1111","nsu_code":"000001",)"
                                   R"("data":["CARTAO 3782 82**** *0005"]})";
        EXPECT_EQ(store->Find("A-1")->approved, masked);
        EXPECT_EQ(store->Find("A-1")->unconfirmed, masked);
        EXPECT_EQ(store->Find("A-2")->result, masked);
    }
    for (const fs::directory_entry& file : fs::directory_iterator(dir_)) {
        const std::string bytes = platform::ReadFile(file.path().string()).value_or("");
        EXPECT_EQ(bytes.find("4111111111111111"), std::string::npos) << file.path();
        EXPECT_EQ(bytes.find("3782 822463 10005"), std::string::npos) << file.path();
    }
}

TEST_F(ResultStore, UnfinishedRecordsOldestFirstAndRetentionOfDoneOnes) {
    auto store = Open();
    ASSERT_TRUE(store->Begin("old-done", 10));
    ASSERT_TRUE(store->Finish("old-done", TRecordState::kRunning, "r", 20));
    ASSERT_TRUE(store->Begin("recent-done", 30));
    ASSERT_TRUE(store->Finish("recent-done", TRecordState::kRunning, "r", 40));
    ASSERT_TRUE(store->Begin("old-confirming", 5));
    ASSERT_TRUE(store->MarkConfirming("old-confirming", {"1", "20251126", "235950"}, "a", "u", 6));
    ASSERT_TRUE(store->Begin("old-running", 7));

    std::vector<std::string> unfinished;
    for (const TResultRecord& r : store->Unfinished()) unfinished.push_back(r.request_id);
    EXPECT_EQ(unfinished, (std::vector<std::string>{"old-confirming", "old-running"}));

    // Only outcomes go, by the time they were reached; what is still open stays.
    EXPECT_EQ(store->DeleteDoneBefore(40), 1);
    EXPECT_FALSE(store->Find("old-done"));
    EXPECT_TRUE(store->Find("recent-done"));
    EXPECT_TRUE(store->Find("old-confirming"));
    EXPECT_TRUE(store->Find("old-running"));
    EXPECT_EQ(store->DeleteDoneBefore(40), 0);
}

// A database as the service wrote it before it kept the time a function was started with: the
// table of that version, in write-ahead-log mode, a record in each state.
constexpr const char* kVersion0 = R"sql(
PRAGMA journal_mode = WAL;
CREATE TABLE transaction_result (
    request_id  TEXT PRIMARY KEY NOT NULL,
    state       TEXT NOT NULL CHECK (state IN ('running', 'confirming', 'done')),
    document    TEXT NOT NULL DEFAULT '',
    fiscal_date TEXT NOT NULL DEFAULT '',
    approved    TEXT NOT NULL DEFAULT '',
    unconfirmed TEXT NOT NULL DEFAULT '',
    result      TEXT NOT NULL DEFAULT '',
    started_at  INTEGER NOT NULL,
    updated_at  INTEGER NOT NULL
);
CREATE INDEX transaction_result_state ON transaction_result (state, updated_at);
INSERT INTO transaction_result VALUES ('old-running', 'running', '', '', '', '', '', 10, 10);
INSERT INTO transaction_result VALUES ('old-confirming', 'confirming', '86390', '20251126',
    '{"status":"approved"}', '{"status":"canceled"}', '', 11, 12);
INSERT INTO transaction_result VALUES ('old-done', 'done', '86391', '20251126', '', '',
    '{"status":"approved","x":"\u00E7 ''"}', 13, 14);
)sql";

TEST_F(ResultStore, ADatabaseOfTheEarlierVersionIsUpgradedInPlaceKeepingEveryRecord) {
    SqliteRows(Path(), kVersion0);
    const char* kOldColumns =
        "SELECT request_id, state, document, fiscal_date, approved, unconfirmed, result, "
        "started_at, updated_at FROM transaction_result ORDER BY request_id";
    const std::vector<std::string> before = SqliteRows(Path(), kOldColumns);
    ASSERT_EQ(before.size(), 3u);
    {
        auto store = Open();
        // Every record as it was, with no time for what was recorded without one.
        const TResultRecord confirming = *store->Find("old-confirming");
        EXPECT_EQ(confirming.state, TRecordState::kConfirming);
        EXPECT_EQ(confirming.document, "86390");
        EXPECT_EQ(confirming.fiscal_date, "20251126");
        EXPECT_EQ(confirming.fiscal_time, "");
        EXPECT_EQ(confirming.approved, R"({"status":"approved"})");
        EXPECT_EQ(store->Find("old-done")->result, R"({"status":"approved","x":"\u00E7 '"})");
        std::vector<std::string> unfinished;
        for (const TResultRecord& r : store->Unfinished()) unfinished.push_back(r.request_id);
        EXPECT_EQ(unfinished, (std::vector<std::string>{"old-running", "old-confirming"}));
        // The old records move on as usual, and new ones keep their time.
        EXPECT_TRUE(store->Finish("old-confirming", TRecordState::kConfirming, "r", 15));
        EXPECT_TRUE(
            store->MarkConfirming("old-running", {"36000", "20251127", "100000"}, "a", "u", 16));
    }
    EXPECT_EQ(SqliteRows(Path(), "PRAGMA user_version"), std::vector<std::string>{"1"});
    EXPECT_EQ(SqliteRows(Path(), "PRAGMA journal_mode"), std::vector<std::string>{"wal"});
    EXPECT_EQ(SqliteRows(Path(), "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    // The upgraded file opens again (its upgrade is not repeated) with everything kept.
    auto store = Open();
    EXPECT_EQ(store->Find("old-running")->fiscal_time, "100000");
    EXPECT_EQ(store->Find("old-confirming")->result, "r");
    const std::vector<std::string> after = SqliteRows(Path(), kOldColumns);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[1], before[1]);  // old-done, which nothing moved
}

TEST_F(ResultStore, ConcurrentBeginsOfOneRequestStartItOnce) {
    auto store = Open();
    std::atomic<int> started{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) started += store->Begin("id-" + std::to_string(i), 1);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(started.load(), 50);
}

TEST_F(ResultStore, FilesItCannotUseAreRefusedWithSQLitesReason) {
    struct Case {
        const char* what;
        std::function<void()> spoil;
        const char* reason;
        bool needs_permissions = false;  // the super-user writes whatever they say
    } cases[] = {
        {"not a database",
         [this] { ASSERT_TRUE(platform::WriteFile(Path(), std::string(8192, 'x'))); },
         "file is not a database"},
        {"damaged pages",
         [this] {
             {
                 auto store = Open();
                 for (int i = 0; i < 20; ++i)
                     store->Begin(std::string(400, static_cast<char>('a' + i)), i);
             }
             Patch(4096, std::string(8192, '\xA5'));
         },
         "database disk image is malformed: *** in database main ***"},
        {"read-only for SQLite (a newer write format)",
         [this] {
             Open().reset();
             Patch(18, "\x03");
         },
         "attempt to write a readonly database"},
        {"read-only for the system",
         [this] {
             Open().reset();
             fs::permissions(Path(), fs::perms::owner_read | fs::perms::group_read);
         },
         "attempt to write a readonly database", true},
        {"its folder missing", [this] { fs::remove_all(dir_); }, "unable to open database file"},
    };
    int n = 0;
    for (const Case& c : cases) {
        if (c.needs_permissions && qvtest::IgnoresFilePermissions()) continue;
        dir_ = folder_ / ("case" + std::to_string(++n) + "/");
        fs::create_directories(dir_);
        c.spoil();
        try {
            Open();
            ADD_FAILURE() << c.what << ": opened";
        } catch (const TResultStoreError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

}  // namespace
}  // namespace results
