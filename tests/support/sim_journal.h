// Reading the simulated payment library's journal (tools/clisitef-sim/README.md): one line per
// call, "<Export> name=value ... -> result name=value ...".
#pragma once

#include <string>
#include <vector>

namespace qvtest {

// The journal's call lines (the simulator's "#" notes left out), and those of one export.
std::vector<std::string> JournalCalls(const std::string& path);
std::vector<std::string> JournalCalls(const std::string& path, const std::string& exportName);

// "<confirma> <cupomFiscal> -> <result>" of every FinalizaFuncaoSiTefInterativo call, in order.
std::vector<std::string> JournalFinishes(const std::string& path);

// What the engine answered each ContinuaFuncaoSiTefInterativo call with, as
// "<continua>:<buffer>", in order.
std::vector<std::string> JournalAnswers(const std::string& path);

// The value of `name="..."` or `name=...` in a journal line (text values unquoted, escapes
// left as they are); "<none>" when absent.
std::string JournalValue(const std::string& line, const std::string& name);
// The same for what the call handed back (after " -> ").
std::string JournalResult(const std::string& line, const std::string& name);

}  // namespace qvtest
