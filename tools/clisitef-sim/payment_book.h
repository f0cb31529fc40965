// The transactions the simulated authoriser knows: payments approved and confirmed (or given
// by the scenario), the cancellations of them, and the functions approved but not yet
// confirmed or undone by the caller (pending). A pending function is known by its fiscal
// document and the date it was started with, as the library's callers name it. Pending
// functions an earlier run of the process left (restored from the state file) are the
// library's memory of an interrupted sale: a finishing call reaches them only when no function
// of this run is pending under the same document and date, and the next function started for
// another document or date undoes them. Not thread-safe; the simulator's lock guards it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scenario.h"
#include "text_template.h"

namespace clisitef_sim {

class PaymentBook {
public:
    // A transaction as the function that made it left its variables (nsu, amount_cents, date,
    // the receipts under "121" and "122" ...).
    struct Entry {
        int id = 0;
        RecordKind kind = RecordKind::kPayment;
        Variables variables;
        bool cancelled = false;
    };

    void AddKnown(Variables variables);

    // The entry a function is looking for from the answers it collected: "516" (NSU, the
    // authoriser's or the host's), and when given "515" (date DDMMYYYY, one day either side
    // accepted because callers often send the UTC date) and "146" (amount). kPayment takes only
    // payments not cancelled yet; kReceipt any entry; kLast the latest entry.
    const Entry* Find(MatchKind kind, const Variables& answers) const;

    // An approved function waiting for FinalizaFuncaoSiTefInterativo. `target` is the payment a
    // cancellation cancels.
    void AddPending(RecordKind kind, Variables variables, std::optional<int> target);

    // Confirms (the entry becomes known, a cancellation cancels its target) or undoes every
    // pending function of fiscal document `document` started on `date` (YYYYMMDD), in the
    // order they were approved (a sale paid with several cards shares one document); those of
    // an earlier run only when this run has none. False when none is pending under that name.
    bool Finish(const std::string& document, const std::string& date, bool confirm);

    // Pending functions of date `date` (YYYYMMDD) and fiscal document `document`; an empty
    // argument matches every value.
    int CountPending(const std::string& date, const std::string& document) const;

    // A pending function as the state file keeps it.
    struct Pending {
        RecordKind kind = RecordKind::kPayment;
        Variables variables;
        std::optional<int> target;  // this run only: known entries are not kept
        bool earlier_run = false;
    };
    const std::vector<Pending>& pending() const { return pending_; }
    // Adds functions an earlier run left pending.
    void Restore(std::vector<Pending> left);
    // Undoes the functions an earlier run left pending under another document or date than
    // `document` and `date`; the "<document> <date>" of each.
    std::vector<std::string> UndoEarlierRun(const std::string& document, const std::string& date);

private:

    static bool Matches(const Entry& entry, const Variables& answers);
    void Confirm(Pending done);
    Entry* FindById(int id);

    std::vector<Entry> known_;
    std::vector<Pending> pending_;
    int next_id_ = 1;
};

}  // namespace clisitef_sim
