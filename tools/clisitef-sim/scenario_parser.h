// Reads a scenario from its JSON text (UTF-8) and checks it whole: unknown keys, values out of
// range, jumps to labels or flows that do not exist and malformed placeholders are refused, so
// that a typo shows when the scenario is loaded rather than in the middle of a payment.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "scenario.h"

namespace clisitef_sim {

// Carries "<where in the file>: <what is wrong>".
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ScenarioParser {
public:
    // `source` names the scenario in messages; relative paths in it are taken from `base_dir`
    // (with a trailing separator). Throws ScenarioError.
    static std::shared_ptr<const Scenario> Parse(std::string_view json, const std::string& source,
                                                 const std::string& base_dir);
};

}  // namespace clisitef_sim
