// A text of the scenario with ${name} placeholders, filled from the variables of the running
// function. "${name|mask}" keeps the first six and last four characters and stars the rest
// (card numbers), "${name|last4}" keeps the last four; "$$" is a dollar sign. A variable that
// is not set expands to nothing.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace clisitef_sim {

// Values are Windows-1252 text, like everything that crosses the library's boundary.
using Variables = std::map<std::string, std::string>;

class TextTemplate {
public:
    TextTemplate() = default;

    // Throws std::invalid_argument for an unterminated placeholder, an empty or malformed
    // variable name or an unknown filter.
    static TextTemplate Parse(std::string_view text);

    std::string Expand(const Variables& variables) const;

private:
    enum class Filter { kNone, kMask, kLast4 };
    struct Piece {
        std::string literal;  // used when `variable` is empty
        std::string variable;
        Filter filter = Filter::kNone;
    };

    static Piece ParsePlaceholder(std::string_view inside);
    static std::string Apply(Filter filter, const std::string& value);

    std::vector<Piece> pieces_;
};

}  // namespace clisitef_sim
