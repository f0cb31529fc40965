#include "scenario_parser.h"

#include <simdjson.h>

#include <algorithm>
#include <initializer_list>
#include <limits>

#include "amount_text.h"
#include "platform/code_page.h"
#include "platform/paths.h"

namespace clisitef_sim {

namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt16Max = std::numeric_limits<int16_t>::max();
constexpr int64_t kMaxPollMs = 60000;

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw ScenarioError(path.empty() ? what : path + ": " + what);
}

array AsArray(element value, const std::string& path) {
    array result;
    if (value.get(result) != simdjson::SUCCESS) Fail(path, "expected an array");
    return result;
}

// Texts of the file are UTF-8; the library speaks Windows-1252.
std::string AsText(element value, const std::string& path) {
    std::string_view text;
    if (value.get(text) != simdjson::SUCCESS) Fail(path, "expected a string");
    return platform::Utf8ToCp1252(text);
}

int64_t AsInteger(element value, const std::string& path, int64_t low, int64_t high) {
    int64_t number = 0;
    if (value.get(number) != simdjson::SUCCESS || number < low || number > high)
        Fail(path,
             "expected an integer from " + std::to_string(low) + " to " + std::to_string(high));
    return number;
}

// One JSON object of the scenario with its place in the file, for messages.
class Fields {
public:
    Fields(element value, std::string path) : path_(std::move(path)) {
        if (value.get(object_) != simdjson::SUCCESS) Fail(path_, "expected an object");
    }

    void Allow(std::initializer_list<std::string_view> keys) const {
        for (auto [key, value] : object_) {
            if (std::find(keys.begin(), keys.end(), key) == keys.end())
                Fail(path_, "unknown key \"" + std::string(key) + "\"");
        }
    }

    bool Has(std::string_view key) const { return object_[key].error() == simdjson::SUCCESS; }
    std::string Path(std::string_view key) const {
        return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
    }
    const std::string& path() const { return path_; }
    object raw() const { return object_; }

    element Get(std::string_view key) const {
        element value;
        if (object_[key].get(value) != simdjson::SUCCESS)
            Fail(path_, "missing key \"" + std::string(key) + "\"");
        return value;
    }

    std::string Text(std::string_view key) const { return AsText(Get(key), Path(key)); }
    Fields Object(std::string_view key) const { return Fields(Get(key), Path(key)); }

    int64_t Integer(std::string_view key, int64_t low, int64_t high) const {
        return AsInteger(Get(key), Path(key), low, high);
    }

    TextTemplate Template(std::string_view key) const {
        try {
            return TextTemplate::Parse(Text(key));
        } catch (const std::invalid_argument& e) {
            Fail(Path(key), e.what());
        }
    }

    // Readers of optional keys: `out` keeps its value when the key is absent.
    void Read(std::string_view key, std::string& out) const {
        if (Has(key)) out = Text(key);
    }
    void Read(std::string_view key, TextTemplate& out) const {
        if (Has(key)) out = Template(key);
    }
    template <typename Number>
    void Read(std::string_view key, Number& out, int64_t low = kInt32Min,
              int64_t high = kInt32Max) const {
        if (Has(key)) out = static_cast<Number>(Integer(key, low, high));
    }
    template <typename Number>
    void Read(std::string_view key, std::optional<Number>& out, int64_t low = kInt32Min,
              int64_t high = kInt32Max) const {
        if (Has(key)) out = static_cast<Number>(Integer(key, low, high));
    }

    // Refuses `key` on a step it means nothing to.
    void OnlyFor(std::string_view key, bool allowed, const char* what) const {
        if (Has(key) && !allowed) Fail(Path(key), std::string("only allowed on ") + what);
    }

    Variables AsVariables() const {
        Variables variables;
        for (auto [key, value] : object_) variables[std::string(key)] = Text(key);
        return variables;
    }

    Assignments AsAssignments() const {
        Assignments assignments;
        for (auto [key, value] : object_) assignments.emplace_back(std::string(key), Template(key));
        return assignments;
    }

private:
    std::string path_;
    object object_;
};

// Reads one step; jumps are checked later, once every flow is known.
class StepParser {
public:
    explicit StepParser(const Fields& fields) : f_(fields) {}

    Step Parse() {
        f_.Read("label", step_.label);
        if (f_.Has("if")) step_.condition = Condition::Parse(f_.Text("if"));
        if (f_.Has("command")) {
            ReadCommand();
        } else if (f_.Has("goto")) {
            f_.Allow({"label", "if", "goto"});
            step_.kind = Step::Kind::kGoto;
            step_.target = f_.Text("goto");
        } else if (f_.Has("set")) {
            f_.Allow({"label", "if", "set"});
            step_.kind = Step::Kind::kSet;
            step_.assignments = f_.Object("set").AsAssignments();
        } else if (f_.Has("match")) {
            ReadMatch();
        } else if (f_.Has("status")) {
            ReadStatus();
        } else {
            Fail(f_.path(), "a step needs \"command\", \"goto\", \"set\", \"match\" or \"status\"");
        }
        return std::move(step_);
    }

private:
    void ReadCommand() {
        f_.Allow({"label", "if", "command", "field", "min", "max", "text", "options", "save",
                  "format", "range", "no", "times", "poll_ms", "expect", "expect_continua"});
        step_.kind = Step::Kind::kCommand;
        step_.command = static_cast<int32_t>(f_.Integer("command", 0, kInt32Max));
        f_.Read("field", step_.field);
        f_.Read("min", step_.min, 0, kInt16Max);
        f_.Read("max", step_.max, 0, kInt16Max);
        if (step_.max > 0 && step_.min > step_.max) Fail(f_.path(), "\"min\" is above \"max\"");
        f_.Read("text", step_.text);
        f_.Read("save", step_.save);
        f_.OnlyFor("options", step_.command == 21, "menus (command 21)");
        if (f_.Has("options")) ReadOptions();
        f_.OnlyFor("no", step_.command == 20, "questions (command 20)");
        f_.Read("no", step_.no_target);
        f_.OnlyFor("times", step_.IsWait(), "waits (command 23)");
        f_.OnlyFor("poll_ms", step_.IsWait(), "waits (command 23)");
        f_.Read("times", step_.times, 0, kInt32Max);
        f_.Read("poll_ms", step_.poll_ms, 0, kMaxPollMs);
        ReadAnswerChecks();
    }

    void ReadOptions() {
        size_t index = 0;
        for (element value : AsArray(f_.Get("options"), f_.Path("options"))) {
            Fields option(value, f_.Path("options") + "[" + std::to_string(index++) + "]");
            option.Allow({"code", "text", "goto", "set"});
            MenuOption menu_option;
            menu_option.code = option.Text("code");
            menu_option.text = option.Template("text");
            option.Read("goto", menu_option.target);
            if (option.Has("set")) menu_option.assignments = option.Object("set").AsAssignments();
            step_.options.push_back(std::move(menu_option));
        }
        if (step_.options.empty()) Fail(f_.Path("options"), "a menu needs at least one option");
    }

    void ReadAnswerChecks() {
        bool answered = step_.WaitsForAnswer();
        bool entry = answered && step_.command != 20 && step_.command != 21;
        f_.OnlyFor("expect", answered, "commands that wait for an answer");
        f_.OnlyFor("format", entry, "field entries");
        f_.OnlyFor("range", entry, "field entries");
        if (f_.Has("format")) step_.format = ReadFormat(f_.Text("format"));
        if (f_.Has("range")) ReadRange();
        if (f_.Has("expect")) step_.expect = f_.Text("expect");
        f_.Read("expect_continua", step_.expect_continuation, -1, 1);
    }

    void ReadRange() {
        array bounds = AsArray(f_.Get("range"), f_.Path("range"));
        if (bounds.size() != 2) Fail(f_.Path("range"), "expected [lowest, highest]");
        int64_t low = AsInteger(bounds.at(0).value(), f_.Path("range"), 0, kInt32Max);
        int64_t high = AsInteger(bounds.at(1).value(), f_.Path("range"), low, kInt32Max);
        step_.range = std::make_pair(low, high);
    }

    AnswerFormat ReadFormat(const std::string& name) const {
        if (name == "any") return AnswerFormat::kAny;
        if (name == "digits") return AnswerFormat::kDigits;
        if (name == "amount") return AnswerFormat::kAmount;
        if (name == "ddmmyyyy") return AnswerFormat::kDate;
        if (name == "mmyy") return AnswerFormat::kMonthYear;
        Fail(f_.Path("format"),
             "expected \"any\", \"digits\", \"amount\", \"ddmmyyyy\" or \"mmyy\"");
    }

    void ReadMatch() {
        f_.Allow({"label", "if", "match", "else"});
        step_.kind = Step::Kind::kMatch;
        std::string kind = f_.Text("match");
        if (kind == "payment") {
            step_.match = MatchKind::kPayment;
        } else if (kind == "receipt") {
            step_.match = MatchKind::kReceipt;
        } else if (kind == "last") {
            step_.match = MatchKind::kLast;
        } else {
            Fail(f_.Path("match"), "expected \"payment\", \"receipt\" or \"last\"");
        }
        step_.target = f_.Text("else");
    }

    void ReadStatus() {
        f_.Allow({"label", "if", "status", "text", "record"});
        step_.kind = Step::Kind::kStatus;
        step_.status = static_cast<int32_t>(f_.Integer("status", kInt32Min, kInt32Max));
        if (step_.status == 10000) Fail(f_.Path("status"), "10000 is not a final status");
        f_.Read("text", step_.text);
        std::string record = "none";
        f_.Read("record", record);
        if (record == "payment") {
            step_.record = RecordKind::kPayment;
        } else if (record == "cancellation") {
            step_.record = RecordKind::kCancellation;
        } else if (record != "none") {
            Fail(f_.Path("record"), "expected \"payment\", \"cancellation\" or \"none\"");
        }
        if (step_.record != RecordKind::kNone && step_.status != 0)
            Fail(f_.Path("record"), "only an approval (status 0) leaves a record");
    }

    const Fields& f_;
    Step step_;
};

Flow ParseFlow(const std::string& name, element value, const std::string& path, bool strict) {
    Flow flow;
    flow.name = name;
    flow.strict = strict;
    for (element step_value : AsArray(value, path)) {
        size_t index = flow.steps.size();
        Fields fields(step_value, path + "[" + std::to_string(index) + "]");
        Step step = StepParser(fields).Parse();
        if (!step.label.empty() && !flow.labels.emplace(step.label, index).second)
            Fail(fields.path(), "label \"" + step.label + "\" appears twice");
        flow.steps.push_back(std::move(step));
    }
    if (flow.steps.empty()) Fail(path, "a flow needs at least one step");
    return flow;
}

// Checks every jump of every flow: "@name" starts a flow, anything else is a label of the
// same flow.
class TargetChecker {
public:
    explicit TargetChecker(const Scenario& scenario) : scenario_(scenario) {}

    void CheckAll() const {
        for (const auto& [name, flow] : scenario_.flows) {
            for (size_t i = 0; i < flow.steps.size(); ++i) CheckStep(flow, flow.steps[i], i);
        }
    }

private:
    void CheckStep(const Flow& flow, const Step& step, size_t index) const {
        std::string path = "flow \"" + flow.name + "\" step " + std::to_string(index);
        Check(flow, step.target, path);
        Check(flow, step.no_target, path);
        for (const MenuOption& option : step.options) Check(flow, option.target, path);
    }

    void Check(const Flow& flow, const std::string& target, const std::string& path) const {
        if (target.empty()) return;
        bool known = target.front() == '@' ? scenario_.FindFlow(target.substr(1)) != nullptr
                                           : flow.labels.count(target) > 0;
        if (!known) Fail(path, "jump to unknown \"" + target + "\"");
    }

    const Scenario& scenario_;
};

class ScenarioReader {
public:
    ScenarioReader(const std::string& source, const std::string& base_dir) : base_dir_(base_dir) {
        scenario_->source = source;
    }

    std::shared_ptr<const Scenario> Read(element root) {
        Fields top(root, "");
        top.Allow({"journal", "configure_result", "pinpad_present", "pinpad_message_result",
                   "pending_transactions", "pending_answers", "confirm_result", "state", "track3",
                   "card_direct", "cancel_status", "first_nsu", "vars", "payments", "functions",
                   "flows", "scripts", "script"});
        ReadSettings(top);
        ReadFlows(top);
        ReadFunctions(top);
        ReadPayments(top);
        TargetChecker(*scenario_).CheckAll();
        return scenario_;
    }

private:
    void ReadSettings(const Fields& top) {
        Scenario& s = *scenario_;
        s.journal_path = PathOption(top, "journal");
        s.state_path = PathOption(top, "state");
        top.Read("configure_result", s.configure_result);
        top.Read("pinpad_present", s.pinpad_present);
        top.Read("pinpad_message_result", s.pinpad_message_result);
        top.Read("pending_transactions", s.pending_transactions);
        if (top.Has("pending_answers")) {
            for (element value : AsArray(top.Get("pending_answers"), "pending_answers"))
                s.pending_answers.push_back(static_cast<int32_t>(
                    AsInteger(value, "pending_answers", kInt32Min, kInt32Max)));
        }
        top.Read("confirm_result", s.confirm_result);
        top.Read("cancel_status", s.cancel_status);
        top.Read("first_nsu", s.first_nsu, 1, 99999999);
        if (top.Has("vars")) s.variables = top.Object("vars").AsVariables();
        if (top.Has("track3")) ReadTrack3(top.Object("track3"));
        if (top.Has("card_direct")) ReadCardDirect(top.Object("card_direct"));
    }

    // A file named by `key`, relative to the scenario's folder; empty when not given.
    std::string PathOption(const Fields& top, std::string_view key) const {
        std::string path;
        top.Read(key, path);
        return path.empty() || platform::IsAbsolutePath(path) ? path : base_dir_ + path;
    }

    void ReadTrack3(const Fields& fields) {
        fields.Allow({"result", "area", "flow"});
        Scenario& s = *scenario_;
        fields.Read("area", s.track3_area);
        fields.Read("flow", s.track3_flow);
        // Without a dialogue to run, the read simply succeeds.
        s.track3_result = s.track3_flow.empty() ? 0 : 10000;
        fields.Read("result", s.track3_result);
        if (s.track3_result == 10000 && s.track3_flow.empty())
            Fail(fields.path(), "result 10000 needs a \"flow\" for the dialogue that follows");
    }

    void ReadCardDirect(const Fields& fields) {
        fields.Allow({"result", "a25", "a129", "b129"});
        Scenario& s = *scenario_;
        fields.Read("result", s.card_direct_result);
        fields.Read("a25", s.card_direct_a25);
        fields.Read("a129", s.card_direct_a129);
        fields.Read("b129", s.card_direct_b129);
    }

    void ReadFlows(const Fields& top) {
        if (top.Has("flows")) ReadFlowTable(top.Object("flows"), false);
        if (top.Has("scripts")) ReadFlowTable(top.Object("scripts"), true);
        if (top.Has("script")) {
            AddFlow(ParseFlow("script", top.Get("script"), "script", true), "script");
            scenario_->fallback_flow = "script";
        }
        const std::string& track3 = scenario_->track3_flow;
        if (!track3.empty() && scenario_->FindFlow(track3) == nullptr)
            Fail("track3.flow", "unknown flow \"" + track3 + "\"");
    }

    void ReadFlowTable(const Fields& table, bool strict) {
        for (auto [key, steps] : table.raw()) {
            std::string name(key);
            AddFlow(ParseFlow(name, steps, table.Path(name), strict), table.Path(name));
        }
    }

    void AddFlow(Flow flow, const std::string& path) {
        std::string name = flow.name;
        if (!scenario_->flows.emplace(name, std::move(flow)).second)
            Fail(path, "a flow named \"" + name + "\" exists already");
    }

    void ReadFunctions(const Fields& top) {
        if (!top.Has("functions")) return;
        Fields table = top.Object("functions");
        for (auto [key, value] : table.raw()) {
            std::string code(key);
            bool digits = !code.empty() && code.size() <= 9 &&
                          code.find_first_not_of("0123456789") == std::string::npos;
            if (!digits) Fail(table.Path(code), "a function code is a decimal number");
            std::string flow = table.Text(code);
            if (scenario_->FindFlow(flow) == nullptr)
                Fail(table.Path(code), "unknown flow \"" + flow + "\"");
            scenario_->functions[std::stoi(code)] = flow;
        }
    }

    void ReadPayments(const Fields& top) {
        if (!top.Has("payments")) return;
        for (element value : AsArray(top.Get("payments"), "payments")) {
            Fields fields(value, "payments[" + std::to_string(scenario_->payments.size()) + "]");
            Variables payment = fields.AsVariables();
            if (payment["nsu"].empty()) Fail(fields.path(), "a payment needs \"nsu\"");
            auto cents = ParseCents(payment["amount"]);
            if (!cents) Fail(fields.Path("amount"), "expected an amount such as \"189,23\"");
            AddAmountVariables(payment, *cents);
            scenario_->payments.push_back(std::move(payment));
        }
    }

    std::string base_dir_;
    std::shared_ptr<Scenario> scenario_ = std::make_shared<Scenario>();
};

}  // namespace

std::shared_ptr<const Scenario> ScenarioParser::Parse(std::string_view json,
                                                      const std::string& source,
                                                      const std::string& base_dir) {
    simdjson::dom::parser parser;
    simdjson::padded_string text(json);
    element root;
    simdjson::error_code error = parser.parse(text).get(root);
    if (error != simdjson::SUCCESS)
        throw ScenarioError(source + ": not valid JSON: " + simdjson::error_message(error));
    try {
        return ScenarioReader(source, base_dir).Read(root);
    } catch (const ScenarioError& e) {
        throw ScenarioError(source + ": " + e.what());
    }
}

}  // namespace clisitef_sim
