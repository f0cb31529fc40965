#include "text_template.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace clisitef_sim {

namespace {

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.';
}

}  // namespace

TextTemplate TextTemplate::Parse(std::string_view text) {
    TextTemplate result;
    std::string literal;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text.compare(pos, 2, "$$") == 0) {
            literal += '$';
            pos += 2;
        } else if (text.compare(pos, 2, "${") == 0) {
            size_t close = text.find('}', pos + 2);
            if (close == std::string_view::npos)
                throw std::invalid_argument("unterminated \"${\" in \"" + std::string(text) + "\"");
            if (!literal.empty()) result.pieces_.push_back({std::move(literal), {}, Filter::kNone});
            literal.clear();
            result.pieces_.push_back(ParsePlaceholder(text.substr(pos + 2, close - pos - 2)));
            pos = close + 1;
        } else {
            literal += text[pos++];
        }
    }
    if (!literal.empty()) result.pieces_.push_back({std::move(literal), {}, Filter::kNone});
    return result;
}

TextTemplate::Piece TextTemplate::ParsePlaceholder(std::string_view inside) {
    size_t bar = inside.find('|');
    std::string_view name = inside.substr(0, bar);
    if (name.empty() || !std::all_of(name.begin(), name.end(), IsNameChar))
        throw std::invalid_argument("bad variable name in \"${" + std::string(inside) + "}\"");
    Piece piece{{}, std::string(name), Filter::kNone};
    if (bar == std::string_view::npos) return piece;
    std::string_view filter = inside.substr(bar + 1);
    if (filter == "mask") {
        piece.filter = Filter::kMask;
    } else if (filter == "last4") {
        piece.filter = Filter::kLast4;
    } else {
        throw std::invalid_argument("unknown filter \"" + std::string(filter) + "\"");
    }
    return piece;
}

std::string TextTemplate::Apply(Filter filter, const std::string& value) {
    switch (filter) {
        case Filter::kMask:
            if (value.size() <= 10) return value;
            return value.substr(0, 6) + std::string(value.size() - 10, '*') +
                   value.substr(value.size() - 4);
        case Filter::kLast4:
            return value.size() <= 4 ? value : value.substr(value.size() - 4);
        case Filter::kNone:
            break;
    }
    return value;
}

std::string TextTemplate::Expand(const Variables& variables) const {
    std::string out;
    for (const Piece& piece : pieces_) {
        if (piece.variable.empty()) {
            out += piece.literal;
            continue;
        }
        auto found = variables.find(piece.variable);
        if (found != variables.end()) out += Apply(piece.filter, found->second);
    }
    return out;
}

}  // namespace clisitef_sim
