// The durable record of "/transaction" requests that carry a client's "request_id": one row
// per request, in an SQLite database file (write-ahead log, every commit synced to the disk
// before the call returns), so that the outcome of a payment survives a lost reply, a dropped
// connection or a crash of the service.
//
// States of a record and what moves it (each move is one synced commit):
//
//   running ──(the library approved; before it is asked to confirm)──▶ confirming
//   running ──(the operation ended without an approval, or failed)──▶ done
//   confirming ──(the library confirmed, or refused: the result the client gets)──▶ done
//   running, confirming ──(found unfinished after a crash, settled)──▶ done
//
// "running" holds only the request; "confirming" adds the fiscal document, date and time the
// library knows the function by and the two results it may end with (approved, or not
// confirmed); "done" holds the one result message the client gets, byte for byte but for card
// numbers, which the store never keeps: every result text is stored with them masked
// (card_data/card_mask.h). Records never go back.
//
// Thread contract: every method may be called from any thread; one lock serialises them.
// Failures raise TResultStoreError carrying SQLite's reason.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace results {

class TResultStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TRecordState { kRunning, kConfirming, kDone };

// How the payment library knows a function: its fiscal document and the date (yyyymmdd) and
// time (hhnnss) it was started with.
struct TFiscalFunction {
    std::string document;
    std::string date;
    std::string time;
};

struct TResultRecord {
    std::string request_id;
    TRecordState state = TRecordState::kRunning;
    // From "confirming" on: the library's fiscal document, its date (yyyymmdd) and time
    // (hhnnss; empty in records of a database from before the time was kept).
    std::string document;
    std::string fiscal_date;
    std::string fiscal_time;
    // "confirming": the result when the library confirmed, and when it did not.
    std::string approved;
    std::string unconfirmed;
    // "done": the result message.
    std::string result;
    int64_t started_at = 0;  // Unix seconds
    int64_t updated_at = 0;  // of the last move
};

class TResultStore {
public:
    // Opens the database at `path`, creating the file when missing (not its folder), checks
    // that it is whole and writable and creates the table, or upgrades the table of an earlier
    // version in place (one synced transaction; every record kept). Raises TResultStoreError
    // with SQLite's reason (a file that is not a database, damaged, read-only, unreachable).
    explicit TResultStore(const std::string& path);
    ~TResultStore();
    TResultStore(const TResultStore&) = delete;
    TResultStore& operator=(const TResultStore&) = delete;

    std::optional<TResultRecord> Find(const std::string& request_id);

    // Records `request_id` as running; false (nothing changed) when it is already recorded.
    bool Begin(const std::string& request_id, int64_t now);
    // running → confirming; false when the record is not running.
    bool MarkConfirming(const std::string& request_id, const TFiscalFunction& function,
                        const std::string& approved, const std::string& unconfirmed, int64_t now);
    // `from` → done with `result`; false when the record is not in state `from`.
    bool Finish(const std::string& request_id, TRecordState from, const std::string& result,
                int64_t now);

    // The running and confirming records, oldest first.
    std::vector<TResultRecord> Unfinished();
    // Deletes the done records last moved before `cutoff`; how many went.
    int DeleteDoneBefore(int64_t cutoff);

private:
    class Database;
    std::mutex mutex_;
    std::unique_ptr<Database> db_;  // guarded by mutex_
};

}  // namespace results
