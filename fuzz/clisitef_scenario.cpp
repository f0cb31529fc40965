// The simulated library's scenario reader: any text as a scenario file. A scenario it accepts
// must hold together the way the dialogue relies on: every jump lands on a label or flow that
// exists, every function code and the track-3 read name an existing flow, and every text
// expands.
#include <cstdint>

#include "scenario_parser.h"
#include "support/require.h"

namespace {

using clisitef_sim::Flow;
using clisitef_sim::Scenario;
using qvfuzz::Require;

bool Lands(const Scenario& scenario, const Flow& flow, const std::string& target) {
    if (target.empty()) return true;
    if (target.front() == '@') return scenario.FindFlow(target.substr(1)) != nullptr;
    return flow.labels.count(target) > 0;
}

void CheckFlow(const Scenario& scenario, const Flow& flow) {
    Require(!flow.steps.empty(), "a flow has steps");
    for (const auto& step : flow.steps) {
        step.condition.Holds(scenario.variables);
        step.text.Expand(scenario.variables);
        Require(Lands(scenario, flow, step.target) && Lands(scenario, flow, step.no_target),
                "every jump lands");
        for (const auto& option : step.options) {
            option.text.Expand(scenario.variables);
            Require(Lands(scenario, flow, option.target), "every menu jump lands");
        }
        for (const auto& [name, text] : step.assignments) text.Expand(scenario.variables);
    }
}

void CheckScenario(const Scenario& scenario) {
    for (const auto& [name, flow] : scenario.flows) CheckFlow(scenario, flow);
    for (const auto& [code, flow] : scenario.functions)
        Require(scenario.FlowForFunction(code) != nullptr, "every function code has its flow");
    Require(scenario.track3_flow.empty() || scenario.FindFlow(scenario.track3_flow) != nullptr,
            "the track-3 flow exists");
    for (const auto& payment : scenario.payments)
        Require(!payment.at("nsu").empty() && !payment.at("amount_cents").empty(),
                "a known payment has its number and amount");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        CheckScenario(*clisitef_sim::ScenarioParser::Parse(qvfuzz::AsText(data, size),
                                                           "scenario.json", "/tmp/"));
    } catch (const clisitef_sim::ScenarioError&) {
        // Refused with a message: what a broken scenario gets.
    }
    return 0;
}
