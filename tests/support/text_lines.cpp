#include "support/text_lines.h"

#include "platform/file_system.h"

namespace qvtest {

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    auto text = platform::ReadFile(path);
    if (!text) return lines;
    for (size_t start = 0; start < text->size();) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool HoldsNumber(const std::string& text, const std::string& number) {
    const auto digit = [&](size_t at) {
        return at < text.size() && text[at] >= '0' && text[at] <= '9';
    };
    for (size_t at = text.find(number); at != std::string::npos; at = text.find(number, at + 1)) {
        if ((at == 0 || !digit(at - 1)) && !digit(at + number.size())) return true;
    }
    return false;
}

}  // namespace qvtest
