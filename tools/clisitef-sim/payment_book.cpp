#include "payment_book.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "amount_text.h"
#include "platform/clock.h"

namespace clisitef_sim {

namespace {

std::string Get(const Variables& variables, const std::string& name) {
    auto found = variables.find(name);
    return found == variables.end() ? std::string() : found->second;
}

std::string WithoutLeadingZeros(const std::string& digits) {
    size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string() : digits.substr(first);
}

// Day count of "YYYYMMDD" (payments) or "DDMMYYYY" (answers), or nullopt when it is no date.
std::optional<long> DayNumber(const std::string& text, bool day_first) {
    if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int year = std::stoi(day_first ? text.substr(4, 4) : text.substr(0, 4));
    int month = std::stoi(day_first ? text.substr(2, 2) : text.substr(4, 2));
    int day = std::stoi(day_first ? text.substr(0, 2) : text.substr(6, 2));
    if (!platform::IsValidDate(year, month, day)) return std::nullopt;
    platform::LocalDateTime date{year, month, day};
    return static_cast<long>(platform::ToDateTime(date));
}

}  // namespace

void PaymentBook::AddKnown(Variables variables) {
    known_.push_back({next_id_++, RecordKind::kPayment, std::move(variables), false});
}

bool PaymentBook::Matches(const Entry& entry, const Variables& answers) {
    std::string nsu = WithoutLeadingZeros(Get(answers, "516"));
    if (nsu.empty()) return false;
    if (nsu != WithoutLeadingZeros(Get(entry.variables, "nsu")) &&
        nsu != WithoutLeadingZeros(Get(entry.variables, "nsu_host")))
        return false;
    std::string date = Get(answers, "515");
    if (!date.empty()) {
        auto asked = DayNumber(date, true);
        auto made = DayNumber(Get(entry.variables, "date"), false);
        if (!asked || !made || std::labs(*asked - *made) > 1) return false;
    }
    std::string amount = Get(answers, "146");
    if (!amount.empty()) {
        auto cents = ParseCents(amount);
        if (!cents || std::to_string(*cents) != Get(entry.variables, "amount_cents")) return false;
    }
    return true;
}

const PaymentBook::Entry* PaymentBook::Find(MatchKind kind, const Variables& answers) const {
    if (kind == MatchKind::kLast) return known_.empty() ? nullptr : &known_.back();
    for (auto it = known_.rbegin(); it != known_.rend(); ++it) {
        if (kind == MatchKind::kPayment && (it->kind != RecordKind::kPayment || it->cancelled))
            continue;
        if (Matches(*it, answers)) return &*it;
    }
    return nullptr;
}

void PaymentBook::AddPending(RecordKind kind, Variables variables, std::optional<int> target) {
    pending_.push_back({kind, std::move(variables), target});
}

bool PaymentBook::Finish(const std::string& document, const std::string& date, bool confirm) {
    auto named = [&](const Pending& p) {
        return Get(p.variables, "doc") == document && Get(p.variables, "date") == date;
    };
    const bool this_run = std::any_of(pending_.begin(), pending_.end(), [&](const Pending& p) {
        return named(p) && !p.earlier_run;
    });
    auto finished = [&](const Pending& p) { return named(p) && p.earlier_run != this_run; };
    auto first_done = std::stable_partition(pending_.begin(), pending_.end(),
                                            [&](const Pending& p) { return !finished(p); });
    if (first_done == pending_.end()) return false;
    std::vector<Pending> done(std::make_move_iterator(first_done),
                              std::make_move_iterator(pending_.end()));
    pending_.erase(first_done, pending_.end());
    if (confirm) {
        for (Pending& p : done) Confirm(std::move(p));
    }
    return true;
}

void PaymentBook::Confirm(Pending done) {
    if (done.kind == RecordKind::kCancellation && done.target) {
        if (Entry* target = FindById(*done.target)) target->cancelled = true;
    }
    known_.push_back({next_id_++, done.kind, std::move(done.variables), false});
}

void PaymentBook::Restore(std::vector<Pending> left) {
    for (Pending& p : left) {
        p.earlier_run = true;
        p.target.reset();
        pending_.push_back(std::move(p));
    }
}

std::vector<std::string> PaymentBook::UndoEarlierRun(const std::string& document,
                                                     const std::string& date) {
    std::vector<std::string> undone;
    std::erase_if(pending_, [&](const Pending& p) {
        const std::string doc = Get(p.variables, "doc"), day = Get(p.variables, "date");
        if (!p.earlier_run || (doc == document && day == date)) return false;
        undone.push_back(doc + " " + day);
        return true;
    });
    return undone;
}

int PaymentBook::CountPending(const std::string& date, const std::string& document) const {
    return static_cast<int>(std::count_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
        return (date.empty() || Get(p.variables, "date") == date) &&
               (document.empty() || Get(p.variables, "doc") == document);
    }));
}

PaymentBook::Entry* PaymentBook::FindById(int id) {
    auto it =
        std::find_if(known_.begin(), known_.end(), [id](const Entry& e) { return e.id == id; });
    return it == known_.end() ? nullptr : &*it;
}

}  // namespace clisitef_sim
