#include "support/sim_journal.h"

#include "support/text_lines.h"

namespace qvtest {

std::vector<std::string> JournalCalls(const std::string& path) {
    std::vector<std::string> lines;
    for (auto& line : ReadLines(path)) {
        if (!line.starts_with("#")) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> JournalCalls(const std::string& path, const std::string& exportName) {
    std::vector<std::string> lines;
    for (auto& line : JournalCalls(path)) {
        if (line.starts_with(exportName + " ")) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> JournalFinishes(const std::string& path) {
    std::vector<std::string> finishes;
    for (const std::string& line : JournalCalls(path, "FinalizaFuncaoSiTefInterativo")) {
        finishes.push_back(JournalValue(line, "confirma") + " " +
                           JournalValue(line, "cupomFiscal") + " -> " +
                           line.substr(line.find(" -> ") + 4));
    }
    return finishes;
}

std::vector<std::string> JournalAnswers(const std::string& path) {
    std::vector<std::string> answers;
    for (auto& line : JournalCalls(path, "ContinuaFuncaoSiTefInterativo")) {
        answers.push_back(JournalValue(line, "continua") + ":" + JournalValue(line, "buffer"));
    }
    return answers;
}

std::string JournalValue(const std::string& line, const std::string& name) {
    const std::string key = " " + name + "=";
    size_t start = line.find(key);
    if (start == std::string::npos) return "<none>";
    start += key.size();
    if (line[start] != '"') return line.substr(start, line.find(' ', start) - start);
    std::string value;
    for (size_t i = start + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) value += line[i++];
        value += line[i];
    }
    return value;
}

std::string JournalResult(const std::string& line, const std::string& name) {
    const size_t arrow = line.find(" -> ");
    return arrow == std::string::npos ? "<none>" : JournalValue(line.substr(arrow), name);
}

}  // namespace qvtest
