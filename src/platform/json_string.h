// A UTF-8 text as a JSON string, quotes included: for the few files written below the request
// layer (the browsers' policy files, the simulated library's state), which cannot use its
// writer. Quotes, backslashes and control characters are escaped; the rest is copied as is.
#pragma once

#include <string>
#include <string_view>

namespace platform {

void AppendJsonString(std::string& out, std::string_view utf8);

}  // namespace platform
