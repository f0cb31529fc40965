#include "dialogue.h"

#include <algorithm>
#include <utility>

#include "amount_text.h"
#include "platform/clock.h"
#include "statuses.h"

namespace clisitef_sim {

namespace {

// A scenario that jumps around this often without handing out a command is looping.
constexpr int kMaxStepsPerCall = 10000;

// A caller that answers a prompt with refused answers this often in a row gives the same
// answer automatically; asking on would never end.
constexpr int kMaxRefusals = 3;

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool HasFormat(AnswerFormat format, const std::string& answer) {
    switch (format) {
        case AnswerFormat::kDigits:
            return AllDigits(answer);
        case AnswerFormat::kAmount:
            return ParseCents(answer).has_value();
        case AnswerFormat::kDate:
            return answer.size() == 8 && AllDigits(answer) &&
                   platform::IsValidDate(std::stoi(answer.substr(4, 4)),
                                         std::stoi(answer.substr(2, 2)),
                                         std::stoi(answer.substr(0, 2)));
        case AnswerFormat::kMonthYear: {
            if (answer.size() != 4 || !AllDigits(answer)) return false;
            int month = std::stoi(answer.substr(0, 2));
            return month >= 1 && month <= 12;
        }
        case AnswerFormat::kAny:
            break;
    }
    return true;
}

// Field entries: the lengths of the prompt, then the step's format and range.
bool Acceptable(const Step& step, const std::string& answer) {
    auto length = static_cast<int64_t>(answer.size());
    if (length < step.min || (step.max > 0 && length > step.max)) return false;
    if (!HasFormat(step.format, answer)) return false;
    if (!step.range) return true;
    if (!AllDigits(answer) || answer.size() > 9) return false;
    int64_t value = std::stoll(answer);
    return value >= step.range->first && value <= step.range->second;
}

const MenuOption* FindOption(const Step& step, const std::string& code) {
    auto it = std::find_if(step.options.begin(), step.options.end(),
                           [&](const MenuOption& option) { return option.code == code; });
    return it == step.options.end() ? nullptr : &*it;
}

}  // namespace

Dialogue::Dialogue(std::shared_ptr<const Scenario> scenario, const Flow& flow, Variables variables,
                   const PaymentBook& book)
    : scenario_(std::move(scenario)),
      book_(book),
      variables_(std::move(variables)),
      pc_{&flow, 0} {}

Reply Dialogue::Continue(int32_t continuation, const std::string& answer) {
    if (awaiting_) {
        Position at = *awaiting_;
        awaiting_.reset();
        if (auto unmet = UnmetExpectation(at, continuation, answer)) return Fail(*unmet);
        if (continuation == -1) return Finish(scenario_->cancel_status, {}, RecordKind::kNone);
        if (auto reply = TakeAnswer(at, continuation, answer)) return *reply;
    }
    return Run();
}

std::optional<std::string> Dialogue::UnmetExpectation(Position at, int32_t continuation,
                                                      const std::string& answer) const {
    const Step& step = At(at);
    if (step.expect_continuation && *step.expect_continuation != continuation)
        return Describe(at) + " expected continuation " +
               std::to_string(*step.expect_continuation) + ", got " + std::to_string(continuation);
    if (step.expect && *step.expect != answer)
        return Describe(at) + " expected the answer \"" + *step.expect + "\", got \"" + answer +
               "\"";
    return std::nullopt;
}

std::optional<Reply> Dialogue::TakeAnswer(Position at, int32_t continuation,
                                          const std::string& answer) {
    const Step& step = At(at);
    if (step.IsWait()) {
        pc_ = at;  // the wait decides itself when it is over
        return std::nullopt;
    }
    if (!step.WaitsForAnswer()) {
        Next(at);
        return std::nullopt;
    }
    bool strict = at.flow->strict;
    if (continuation == 1 && !strict) {
        GoBack(at);
        return std::nullopt;
    }
    if (step.command == 21) return TakeChoice(at, answer);
    if (step.command == 20) return TakeYesNo(at, answer);
    if (!strict && !Acceptable(step, answer)) return Refuse(at, answer);
    Save(step, answer);
    Next(at);
    return std::nullopt;
}

// "0" is yes, "1" is no: no goes to the step's "no" jump, or cancels the function in a flow.
std::optional<Reply> Dialogue::TakeYesNo(Position at, const std::string& answer) {
    const Step& step = At(at);
    bool strict = at.flow->strict;
    if (answer != "0" && answer != "1" && !strict) return Refuse(at, answer);
    Save(step, answer);
    Next(at);
    if (answer != "1") return std::nullopt;
    if (!step.no_target.empty()) {
        Jump(step.no_target);
    } else if (!strict) {
        return Finish(scenario_->cancel_status, {}, RecordKind::kNone);
    }
    return std::nullopt;
}

std::optional<Reply> Dialogue::TakeChoice(Position at, const std::string& answer) {
    const Step& step = At(at);
    const MenuOption* option = FindOption(step, answer);
    if (option == nullptr && !step.options.empty() && !at.flow->strict) return Refuse(at, answer);
    Save(step, answer);
    Next(at);
    if (option == nullptr) return std::nullopt;
    Assign(option->assignments);
    if (!option->target.empty()) Jump(option->target);
    return std::nullopt;
}

void Dialogue::Save(const Step& step, const std::string& answer) {
    refusals_ = 0;
    variables_["answer"] = answer;
    if (step.field > 0) variables_[std::to_string(step.field)] = answer;
    if (!step.save.empty()) variables_[step.save] = answer;
}

// The same prompt once more (it is recorded again as shown when handed out), or the end of
// the function when the caller keeps sending answers that cannot be taken.
std::optional<Reply> Dialogue::Refuse(Position at, const std::string& answer) {
    if (++refusals_ >= kMaxRefusals) {
        Reply reply = Finish(kInvalidArgument, {}, RecordKind::kNone);
        reply.problem = Describe(at) + " refused the answer \"" + answer + "\" " +
                        std::to_string(kMaxRefusals) + " times in a row";
        return reply;
    }
    if (!shown_.empty()) shown_.pop_back();
    pc_ = at;
    return std::nullopt;
}

void Dialogue::GoBack(Position at) {
    refusals_ = 0;
    if (!shown_.empty()) shown_.pop_back();  // the prompt backed out of
    if (shown_.empty()) {
        pc_ = at;
        return;
    }
    pc_ = shown_.back();
    shown_.pop_back();
}

void Dialogue::Jump(const std::string& target) {
    if (target.front() == '@') {
        pc_ = {scenario_->FindFlow(target.substr(1)), 0};
    } else {
        pc_ = {pc_.flow, pc_.flow->labels.at(target)};
    }
}

void Dialogue::Assign(const Assignments& assignments) {
    for (const auto& [name, value] : assignments) variables_[name] = value.Expand(variables_);
}

bool Dialogue::Match(const Step& step) {
    const PaymentBook::Entry* entry = book_.Find(step.match, variables_);
    if (entry == nullptr) return false;
    for (const auto& [name, value] : entry->variables) variables_["orig." + name] = value;
    matched_ = entry->id;
    return true;
}

Reply Dialogue::Run() {
    for (int steps = 0; steps < kMaxStepsPerCall; ++steps) {
        if (pc_.index >= pc_.flow->steps.size())
            return Fail("flow \"" + pc_.flow->name + "\" ends without a status");
        const Step& step = At(pc_);
        if (!step.condition.Holds(variables_)) {
            Next(pc_);
            continue;
        }
        switch (step.kind) {
            case Step::Kind::kGoto:
                Jump(step.target);
                break;
            case Step::Kind::kSet:
                Assign(step.assignments);
                Next(pc_);
                break;
            case Step::Kind::kMatch:
                if (Match(step)) {
                    Next(pc_);
                } else {
                    Jump(step.target);
                }
                break;
            case Step::Kind::kStatus:
                return Finish(step.status, step.text.Expand(variables_), step.record);
            case Step::Kind::kCommand:
                if (step.IsWait() && step.times && waits_handed_out_ >= *step.times) {
                    waits_handed_out_ = 0;
                    Next(pc_);
                    break;
                }
                return Emit(step);
        }
    }
    return Fail("flow \"" + pc_.flow->name + "\" jumps " + std::to_string(kMaxStepsPerCall) +
                " times without handing out a command");
}

Reply Dialogue::Emit(const Step& step) {
    Reply reply;
    reply.command = step.command;
    reply.field = step.field;
    reply.min = step.min;
    reply.max = step.max;
    if (step.options.empty()) {
        reply.text = step.text.Expand(variables_);
    } else {
        for (const MenuOption& option : step.options)
            reply.text += option.code + ":" + option.text.Expand(variables_) + ";";
    }
    if (step.command == 0 && step.field > 0) variables_[std::to_string(step.field)] = reply.text;
    if (step.IsWait()) {
        ++waits_handed_out_;
        reply.delay_ms = step.poll_ms;
    }
    if (step.WaitsForAnswer() && !pc_.flow->strict) shown_.push_back(pc_);
    awaiting_ = pc_;
    return reply;
}

Reply Dialogue::Finish(int32_t status, std::string text, RecordKind record) {
    ended_ = true;
    record_ = status == 0 ? record : RecordKind::kNone;
    Reply reply;
    reply.status = status;
    reply.text = std::move(text);
    return reply;
}

Reply Dialogue::Fail(std::string problem) {
    Reply reply = Finish(kScenarioFault, {}, RecordKind::kNone);
    reply.problem = std::move(problem);
    return reply;
}

std::string Dialogue::Describe(Position position) const {
    return "flow \"" + position.flow->name + "\" step " + std::to_string(position.index);
}

}  // namespace clisitef_sim
