// One running function: walks the steps of its flow, hands out one command per call and takes
// the caller's answer to it on the next call. Continuation 1 on a prompt goes back to the
// prompt before it (in flows, not in scripts); -1 ends the function with the scenario's cancel
// status. Answers are checked as the step asks (length, format, range, menu codes) and a
// refused answer brings the same prompt again, up to three times in a row, after which the
// function ends with kInvalidArgument. Not thread-safe; the simulator's lock guards it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "payment_book.h"
#include "scenario.h"

namespace clisitef_sim {

// What one call hands back to the caller.
struct Reply {
    int32_t status = 10000;
    int32_t command = 0;
    int32_t field = 0;
    int16_t min = 0;
    int16_t max = 0;
    std::string text;     // Windows-1252, for the caller's buffer
    int delay_ms = 0;     // how long the call blocks before it returns (waits)
    std::string problem;  // a fault of the scenario or of the caller's answers, for the logs
};

class Dialogue {
public:
    // `book` must outlive the dialogue.
    Dialogue(std::shared_ptr<const Scenario> scenario, const Flow& flow, Variables variables,
             const PaymentBook& book);

    // The caller's continuation and answer to the previous command (ignored on the first
    // call), and the next command or the final status.
    Reply Continue(int32_t continuation, const std::string& answer);

    bool ended() const { return ended_; }
    // Valid once ended with status 0.
    RecordKind record() const { return record_; }
    const Variables& variables() const { return variables_; }
    std::optional<int> matched() const { return matched_; }

private:
    struct Position {
        const Flow* flow;
        size_t index;
    };

    const Step& At(Position position) const { return position.flow->steps[position.index]; }
    Reply Run();
    Reply Emit(const Step& step);
    Reply Finish(int32_t status, std::string text, RecordKind record);
    Reply Fail(std::string problem);
    std::optional<std::string> UnmetExpectation(Position at, int32_t continuation,
                                                const std::string& answer) const;
    std::optional<Reply> TakeAnswer(Position at, int32_t continuation, const std::string& answer);
    std::optional<Reply> TakeChoice(Position at, const std::string& answer);
    std::optional<Reply> TakeYesNo(Position at, const std::string& answer);
    void Save(const Step& step, const std::string& answer);
    std::optional<Reply> Refuse(Position at, const std::string& answer);
    void GoBack(Position at);
    void Next(Position at) { pc_ = {at.flow, at.index + 1}; }
    void Jump(const std::string& target);
    void Assign(const Assignments& assignments);
    bool Match(const Step& step);
    std::string Describe(Position position) const;

    std::shared_ptr<const Scenario> scenario_;
    const PaymentBook& book_;
    Variables variables_;
    Position pc_;
    std::optional<Position> awaiting_;  // the step whose answer the next call brings
    std::vector<Position> shown_;       // prompts handed out, for going back
    int waits_handed_out_ = 0;
    int refusals_ = 0;  // answers refused in a row
    bool ended_ = false;
    RecordKind record_ = RecordKind::kNone;
    std::optional<int> matched_;
};

}  // namespace clisitef_sim
