// Command lines as one text, the way the print queue writes and logs them, split into the
// argument list a program is started with. No shell is involved: nothing is expanded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Blanks (spaces, tabs) outside double quotes separate arguments. A double quote opens or
// closes a quoted run and is not part of the argument, so "a b" is one argument and ""
// an empty one. Backslashes are ordinary characters. An argument cannot itself hold a
// double quote.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

}  // namespace platform
