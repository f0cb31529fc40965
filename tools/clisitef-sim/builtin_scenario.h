// The demonstration scenario compiled into the library, used when no scenario file is given.
#pragma once

#include <string_view>

namespace clisitef_sim {

std::string_view BuiltInScenario();

}  // namespace clisitef_sim
