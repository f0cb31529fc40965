#include "platform/command_line.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
    std::vector<std::string> args;
    std::string current;
    bool in_argument = false;  // also true for an argument that is only ""
    bool quoted = false;
    for (char c : command_line) {
        if (c == '"') {
            quoted = !quoted;
            in_argument = true;
        } else if (IsBlank(c) && !quoted) {
            if (in_argument) args.push_back(std::move(current));
            current.clear();
            in_argument = false;
        } else {
            current += c;
            in_argument = true;
        }
    }
    if (in_argument) args.push_back(std::move(current));
    return args;
}

}  // namespace platform
