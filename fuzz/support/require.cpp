#include "support/require.h"

#include <cstdio>
#include <cstdlib>

namespace qvfuzz {

void Require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

std::pair<std::string_view, std::string_view> SplitAtNul(std::string_view input) {
    const size_t nul = input.find('\0');
    if (nul == std::string_view::npos) return {input, {}};
    return {input.substr(0, nul), input.substr(nul + 1)};
}

}  // namespace qvfuzz
