#include "scenario.h"

namespace clisitef_sim {

Condition Condition::Parse(const std::string& text) {
    Condition condition;
    if (text.empty()) return condition;
    size_t equals = text.find('=');
    if (equals == std::string::npos) {
        bool negated = text.front() == '!';
        condition.kind = negated ? Kind::kUnset : Kind::kSet;
        condition.variable = negated ? text.substr(1) : text;
        return condition;
    }
    bool not_equal = equals > 0 && text[equals - 1] == '!';
    condition.kind = not_equal ? Kind::kNotEqual : Kind::kEqual;
    condition.variable = text.substr(0, not_equal ? equals - 1 : equals);
    condition.value = text.substr(equals + 1);
    return condition;
}

bool Condition::Holds(const Variables& variables) const {
    auto found = variables.find(variable);
    const std::string value_now = found == variables.end() ? std::string() : found->second;
    switch (kind) {
        case Kind::kSet:
            return !value_now.empty();
        case Kind::kUnset:
            return value_now.empty();
        case Kind::kEqual:
            return value_now == value;
        case Kind::kNotEqual:
            return value_now != value;
        case Kind::kAlways:
            break;
    }
    return true;
}

bool Step::WaitsForAnswer() const {
    if (kind != Kind::kCommand) return false;
    switch (command) {
        case 20:  // question
        case 21:  // menu
        case 30:  // field entry
        case 31:  // cheque entry
        case 34:  // amount entry
        case 35:  // bar code
            return true;
        default:
            return false;
    }
}

const Flow* Scenario::FlowForFunction(int32_t function) const {
    auto mapped = functions.find(function);
    if (mapped != functions.end()) return FindFlow(mapped->second);
    return fallback_flow.empty() ? nullptr : FindFlow(fallback_flow);
}

const Flow* Scenario::FindFlow(const std::string& name) const {
    auto found = flows.find(name);
    return found == flows.end() ? nullptr : &found->second;
}

}  // namespace clisitef_sim
