// The only code that talks to SQLite. Statements are prepared once with placeholders and bound
// for every use; their texts are constants.
#include "results/result_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <string_view>

#include "card_data/card_mask.h"

namespace results {
namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS transaction_result (
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
CREATE INDEX IF NOT EXISTS transaction_result_state ON transaction_result (state, updated_at);
)sql";

// Step i brings the table from schema version i (PRAGMA user_version) to i + 1. A database of
// an earlier version is upgraded in place, every record kept; a new one takes every step.
constexpr const char* kMigrations[] = {
    // 1: the time of day the library's function was started with, which names it together
    // with its document and date (records of version 0 have it empty: unknown).
    "ALTER TABLE transaction_result ADD COLUMN fiscal_time TEXT NOT NULL DEFAULT ''",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

constexpr const char* kColumns =
    "request_id, state, document, fiscal_date, approved, unconfirmed, result, started_at, "
    "updated_at, fiscal_time";

// A busy database (another program holding a lock) is waited for this long.
constexpr int kBusyTimeoutMs = 2000;

const char* StateName(TRecordState state) {
    switch (state) {
        case TRecordState::kRunning:
            return "running";
        case TRecordState::kConfirming:
            return "confirming";
        case TRecordState::kDone:
            break;
    }
    return "done";
}

TRecordState StateFromName(std::string_view name) {
    if (name == "running") return TRecordState::kRunning;
    if (name == "confirming") return TRecordState::kConfirming;
    return TRecordState::kDone;  // the table's check admits nothing else
}

[[noreturn]] void Fail(sqlite3* db) { throw TResultStoreError(sqlite3_errmsg(db)); }

class Connection;
void Prepare(Connection& c);

// The connection, set up and proven usable (see Prepare); closed last, after every statement.
class Connection {
public:
    explicit Connection(const std::string& path) {
        const int rc = sqlite3_open_v2(
            path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
            nullptr);
        try {
            if (rc != SQLITE_OK)
                throw TResultStoreError(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
            Prepare(*this);
        } catch (...) {
            sqlite3_close_v2(db_);
            throw;
        }
    }
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* get() const { return db_; }

    // Runs constant SQL text without parameters.
    void Execute(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db_);
    }

private:
    sqlite3* db_ = nullptr;
};

// A prepared statement. Each use binds its parameters, steps, and ends with Reset, so that no
// read stays open between calls (an open read would hold back the log's checkpoints).
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db) {
        if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) !=
            SQLITE_OK)
            Fail(db);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, const std::string& text) {
        Check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement& Bind(int index, int64_t value) {
        Check(sqlite3_bind_int64(stmt_, index, value));
        return *this;
    }
    // True while it yields a row.
    bool Step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) Fail(db_);
        return false;
    }
    // Steps a statement that changes rows; how many it changed.
    int Change() {
        Step();
        return sqlite3_changes(db_);
    }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text == nullptr ? std::string()
                               : std::string(text, sqlite3_column_bytes(stmt_, column));
    }
    int64_t Integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

private:
    void Check(int rc) {
        if (rc != SQLITE_OK) Fail(db_);
    }

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Resets a statement when its use ends, however it ends.
class Use {
public:
    explicit Use(Statement& statement) : statement_(statement) {}
    ~Use() { statement_.Reset(); }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    Statement* operator->() { return &statement_; }

private:
    Statement& statement_;
};

TResultRecord ReadRecord(const Statement& s) {
    TResultRecord r;
    r.request_id = s.Text(0);
    r.state = StateFromName(s.Text(1));
    r.document = s.Text(2);
    r.fiscal_date = s.Text(3);
    r.approved = s.Text(4);
    r.unconfirmed = s.Text(5);
    r.result = s.Text(6);
    r.started_at = s.Integer(7);
    r.updated_at = s.Integer(8);
    r.fiscal_time = s.Text(9);
    return r;
}

// The first value a PRAGMA answers.
std::string PragmaValue(Connection& c, const char* sql) {
    Statement pragma(c.get(), sql);
    return pragma.Step() ? pragma.Text(0) : std::string();
}

// Creates the table or brings it to the current schema; inside the caller's transaction, so an
// upgrade that fails leaves the file as it was.
void CreateOrUpgrade(Connection& c) {
    c.Execute(kSchema);
    const int version = std::stoi("0" + PragmaValue(c, "PRAGMA user_version"));
    // A newer service's database is used as it stands: its columns include ours.
    if (version >= kSchemaVersion) return;
    for (int step = version; step < kSchemaVersion; ++step) c.Execute(kMigrations[step]);
    c.Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
}

// Sets the connection up and proves the file usable before anything relies on it: SQLite
// opens a damaged or foreign file without complaint and only fails at its first use.
void Prepare(Connection& c) {
    sqlite3_busy_timeout(c.get(), kBusyTimeoutMs);
    std::string check = PragmaValue(c, "PRAGMA quick_check");
    if (check != "ok") {
        std::replace(check.begin(), check.end(), '\n', ' ');
        throw TResultStoreError(std::string(sqlite3_errstr(SQLITE_CORRUPT)) + ": " + check);
    }
    // A file SQLite may only read (by its permissions, or a header it may not write) opens
    // without complaint; every write would fail. Asked before the journal mode is set, which
    // would rewrite the header.
    if (sqlite3_db_readonly(c.get(), "main") == 1)
        throw TResultStoreError(sqlite3_errstr(SQLITE_READONLY));
    // FULL: in write-ahead mode only this syncs the log at every commit (an upgrade's too).
    c.Execute("PRAGMA synchronous = FULL");
    c.Execute("BEGIN IMMEDIATE");
    try {
        CreateOrUpgrade(c);
        c.Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(c.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    const std::string mode = PragmaValue(c, "PRAGMA journal_mode = WAL");
    if (mode != "wal")
        throw TResultStoreError("write-ahead logging unavailable (journal mode " + mode + ")");
}

std::string Select(const char* where) {
    return std::string("SELECT ") + kColumns + " FROM transaction_result " + where;
}

}  // namespace

class TResultStore::Database {
public:
    explicit Database(const std::string& path) : connection(path) {}

    Connection connection;  // first in, last out
    Statement find{connection.get(), Select("WHERE request_id = ?1")};
    Statement begin{connection.get(),
                    "INSERT INTO transaction_result (request_id, state, started_at, updated_at) "
                    "VALUES (?1, 'running', ?2, ?2) ON CONFLICT (request_id) DO NOTHING"};
    Statement confirming{connection.get(),
                         "UPDATE transaction_result SET state = 'confirming', document = ?2, "
                         "fiscal_date = ?3, fiscal_time = ?4, approved = ?5, unconfirmed = ?6, "
                         "updated_at = ?7 WHERE request_id = ?1 AND state = 'running'"};
    Statement finish{connection.get(),
                     "UPDATE transaction_result SET state = 'done', result = ?3, approved = '', "
                     "unconfirmed = '', updated_at = ?4 WHERE request_id = ?1 AND state = ?2"};
    Statement unfinished{connection.get(),
                         Select("WHERE state <> 'done' ORDER BY started_at, request_id")};
    Statement purge{connection.get(),
                    "DELETE FROM transaction_result WHERE state = 'done' AND updated_at < ?1"};
};

TResultStore::TResultStore(const std::string& path) : db_(std::make_unique<Database>(path)) {}

TResultStore::~TResultStore() = default;

std::optional<TResultRecord> TResultStore::Find(const std::string& request_id) {
    std::lock_guard lock(mutex_);
    Use find(db_->find);
    if (!find->Bind(1, request_id).Step()) return std::nullopt;
    return ReadRecord(db_->find);
}

bool TResultStore::Begin(const std::string& request_id, int64_t now) {
    std::lock_guard lock(mutex_);
    Use begin(db_->begin);
    return begin->Bind(1, request_id).Bind(2, now).Change() == 1;
}

bool TResultStore::MarkConfirming(const std::string& request_id, const TFiscalFunction& function,
                                  const std::string& approved, const std::string& unconfirmed,
                                  int64_t now) {
    std::lock_guard lock(mutex_);
    Use confirming(db_->confirming);
    confirming->Bind(1, request_id).Bind(2, function.document);
    confirming->Bind(3, function.date).Bind(4, function.time);
    // Bound copies (SQLITE_TRANSIENT): the masked texts need not outlive the call.
    confirming->Bind(5, card_data::MaskedCardNumbers(approved));
    confirming->Bind(6, card_data::MaskedCardNumbers(unconfirmed));
    return confirming->Bind(7, now).Change() == 1;
}

bool TResultStore::Finish(const std::string& request_id, TRecordState from,
                          const std::string& result, int64_t now) {
    std::lock_guard lock(mutex_);
    Use finish(db_->finish);
    finish->Bind(1, request_id).Bind(2, std::string(StateName(from)));
    return finish->Bind(3, card_data::MaskedCardNumbers(result)).Bind(4, now).Change() == 1;
}

std::vector<TResultRecord> TResultStore::Unfinished() {
    std::lock_guard lock(mutex_);
    Use unfinished(db_->unfinished);
    std::vector<TResultRecord> records;
    while (unfinished->Step()) records.push_back(ReadRecord(db_->unfinished));
    return records;
}

int TResultStore::DeleteDoneBefore(int64_t cutoff) {
    std::lock_guard lock(mutex_);
    Use purge(db_->purge);
    return purge->Bind(1, cutoff).Change();
}

}  // namespace results
