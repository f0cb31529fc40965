// The origin of a point-of-sale page as the browsers' policies and the service's
// allowed_origins both take it: https://host[:port], written the way the service compares
// origins (lower case, no trailing slash, no :443).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace browser_policy {

class OriginError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The origin `text` names, normalized; raises OriginError saying what is wrong with it. Plain
// HTTP is refused: Chromium-based browsers let no such page reach a service on the machine,
// allow-listed or not.
std::string ParsePageOrigin(std::string_view text);

}  // namespace browser_policy
