// Results the simulated library gives besides those the scenario chooses.
#pragma once

#include <cstdint>

namespace clisitef_sim {

inline constexpr int32_t kNotConfigured = -1;     // no successful configuration yet
inline constexpr int32_t kInvalidFunction = -3;   // function code without a flow
inline constexpr int32_t kOutOfOrder = -12;       // nothing running, or nothing to finish
inline constexpr int32_t kInvalidArgument = -20;  // NULL pointer, bad size, unterminated answer
inline constexpr int32_t kScenarioFault = -100;   // unmet expectation or a scenario that loops

}  // namespace clisitef_sim
