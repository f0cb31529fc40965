// What the service remembers of the "/transaction" requests that carry a "request_id", on top
// of the durable result store (results/result_store.h, where the states are drawn): which
// request this process is running now, the moves of its record as the payment goes on, and
// the settling of records that no operation will finish any more (the service was killed, or a
// write failed).
//
// Settling an unfinished record:
//   running    → done with "unauthorized" ("Transação TEF não realizada."): the library was
//                never asked to confirm anything for it, and it undoes what it holds
//                unconfirmed. No library needed.
//   confirming → the library is asked how many functions of the record's fiscal document and
//                date it still holds pending. Some: it never confirmed; the function is undone
//                (named by its document, date and time) and the record done with the
//                not-confirmed ("canceled") result. None: it confirmed (or the start-up
//                recovery did, which runs before any settling): done with the approved result.
//                No answer (library not loaded, busy, failing): stays confirming until the next
//                settling.
//
// Store failures never escape except from Find: each is logged with SQLite's reason.
//
// Thread contract: Open before any other call, on one thread; afterwards every method may be
// called from any thread. One lock orders lookups, settling and the start and end of the
// running request, so a record found unfinished is never one that is just finishing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "results/result_store.h"

namespace requests {

class TTransactionRecords {
public:
    using Log = std::function<void(const std::string&)>;
    // `log` gets the lines for the service log.
    explicit TTransactionRecords(Log log);
    ~TTransactionRecords();

    // Opens the store at `path`, settles what an earlier run left running and deletes outcomes
    // last moved more than `retention_days` days ago. A store that cannot be opened is logged
    // and the records stay unavailable.
    void Open(const std::string& path, int retention_days);
    bool Available() const { return store_ != nullptr; }

    struct TLookup {
        enum class Kind {
            kUnknown,     // nothing recorded
            kResult,      // `result` is the message the client was (or is being) sent
            kRunning,     // this process runs it now
            kUnfinished,  // open, and no operation runs it: to be settled
        };
        Kind kind = Kind::kUnknown;
        std::string result;
    };
    // Raises results::TResultStoreError (logged) when the store fails or is unavailable.
    TLookup Find(const std::string& request_id);

    enum class TBegin { kStarted, kRecorded, kUnavailable };
    // Records `request_id` as running for the operation that starts now: kRecorded when it is
    // recorded already (nothing changed), kUnavailable when it cannot be recorded (logged).
    TBegin Begin(const std::string& request_id);
    // The running request's operation has ended, whatever its record says.
    void End();

    // The running request's approval, before the library is asked to confirm it: `function`
    // names it to the library, `approved` and `unconfirmed` are the two results it may end
    // with. False when it could not be recorded: then it must not be confirmed.
    bool Confirming(const std::string& request_id, const results::TFiscalFunction& function,
                    const std::string& approved, const std::string& unconfirmed);
    // The running request's result, from state `from`; false when the record is in another
    // state (it has moved on already) or the store failed (logged).
    bool Finish(const std::string& request_id, results::TRecordState from,
                const std::string& result);

    // What the payment library says of a confirmation that was never seen to end.
    struct TLibrary {
        // Functions of the function's fiscal document and date it holds pending; below 0 when
        // it gives no answer. May raise (no answer either).
        std::function<int32_t(const results::TFiscalFunction& function)> pending;
        // Undoes that function (its time is empty in a record of an earlier version).
        std::function<void(const results::TFiscalFunction& function)> undo;
    };
    // Settles every unfinished record; confirming ones only when `library` is given.
    void Settle(const TLibrary* library);

private:
    void SettleRecord(const results::TResultRecord& record, const TLibrary* library);
    // The unfinished record → done with `result`, logged as the outcome of an interrupted
    // request.
    void Conclude(const results::TResultRecord& record, const std::string& result,
                  const char* status);
    void LogFailure(const std::string& request_id, const std::exception& e);
    static int64_t Now();

    const Log log_;
    std::unique_ptr<results::TResultStore> store_;  // set by Open only
    std::mutex mutex_;
    std::optional<std::string> running_;  // guarded by mutex_
};

}  // namespace requests
