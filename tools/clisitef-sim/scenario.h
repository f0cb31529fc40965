// What the simulated library does, as read from a scenario file: the answers of the simple
// exports, the function-code → flow table and the flows, each a list of steps that the
// dialogue of a running function walks through. Immutable once parsed; the format is described
// in README.md. Every text here is already Windows-1252.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "text_template.h"

namespace clisitef_sim {

// "name", "!name", "name=value" or "name!=value"; an empty condition always holds. A variable
// counts as set when it has a non-empty value.
struct Condition {
    enum class Kind { kAlways, kSet, kUnset, kEqual, kNotEqual };
    Kind kind = Kind::kAlways;
    std::string variable;
    std::string value;

    static Condition Parse(const std::string& text);
    bool Holds(const Variables& variables) const;
};

using Assignments = std::vector<std::pair<std::string, TextTemplate>>;

struct MenuOption {
    std::string code;
    TextTemplate text;
    std::string target;  // empty: the step after the menu
    Assignments assignments;
};

// What an answer to a field entry must look like to be accepted.
enum class AnswerFormat { kAny, kDigits, kAmount, kDate, kMonthYear };

// Which known transaction a "match" step looks for.
enum class MatchKind { kPayment, kReceipt, kLast };

// What an approved function leaves behind until the caller finishes it.
enum class RecordKind { kNone, kPayment, kCancellation };

struct Step {
    enum class Kind { kCommand, kGoto, kSet, kMatch, kStatus };
    Kind kind = Kind::kCommand;
    std::string label;
    Condition condition;

    // kCommand: one command handed to the caller.
    int32_t command = 0;
    int32_t field = 0;
    int16_t min = 0;
    int16_t max = 0;
    TextTemplate text;
    std::vector<MenuOption> options;  // menus: the buffer is built from them
    std::string save;                 // extra variable that receives the answer
    AnswerFormat format = AnswerFormat::kAny;
    std::optional<std::pair<int64_t, int64_t>> range;
    std::string no_target;     // question answered "no"; empty: the function is cancelled
    std::optional<int> times;  // waits: how often the wait is handed out; none: until interrupted
    int poll_ms = 0;           // waits: how long each call blocks before it returns
    std::optional<std::string> expect;           // the answer the caller must send
    std::optional<int32_t> expect_continuation;  // the continuation the caller must send

    // kGoto and kMatch ("else").
    std::string target;
    // kSet.
    Assignments assignments;
    // kMatch.
    MatchKind match = MatchKind::kPayment;
    // kStatus: the final status, the buffer text handed out with it, and the record left.
    int32_t status = 0;
    RecordKind record = RecordKind::kNone;

    bool WaitsForAnswer() const;
    bool IsWait() const { return kind == Kind::kCommand && command == 23; }
};

struct Flow {
    std::string name;
    bool strict = false;  // a script: no back navigation, no answer checks but `expect`
    std::vector<Step> steps;
    std::map<std::string, size_t> labels;
};

struct Scenario {
    std::string source;        // the file it came from, or "built-in"
    std::string journal_path;  // absolute, or empty for none
    std::string state_path;    // absolute, or empty: pending functions die with the process
    std::optional<int32_t> configure_result;
    int32_t pinpad_present = 1;
    int32_t pinpad_message_result = 0;
    std::optional<int32_t> pending_transactions;
    // Answers to the first pending-count questions after the scenario is loaded, in order
    // (below 0: the library cannot say); afterwards the count.
    std::vector<int32_t> pending_answers;
    // The answer to confirming a pending function; anything but 0 refuses the confirmation.
    std::optional<int32_t> confirm_result;
    int32_t track3_result = 0;
    std::string track3_area;
    std::string track3_flow;
    int32_t card_direct_result = 0;
    std::string card_direct_a25, card_direct_a129, card_direct_b129;
    int32_t cancel_status = -2;
    int64_t first_nsu = 1;
    Variables variables;
    std::vector<Variables> payments;
    std::map<int32_t, std::string> functions;
    std::string fallback_flow;  // runs every function code the table does not name
    std::map<std::string, Flow> flows;

    // The flow for `function`, or nullptr when the scenario has none for it.
    const Flow* FlowForFunction(int32_t function) const;
    const Flow* FindFlow(const std::string& name) const;
};

}  // namespace clisitef_sim
