// The journal of the simulated library: one line per call of an export, appended to a file so
// that tests can check exactly what their caller sent and got. Format of a line:
//
//   <Export> <name>=<value> ... -> <result> [<name>=<value> ...]
//
// Numbers are written bare, texts in double quotes, converted from Windows-1252 to UTF-8 with
// \\ \" \n \r \t and \xHH (other control bytes and the five bytes the code page leaves
// undefined) escaped; a NULL pointer is written NULL. Lines starting with "#" are notes of the
// simulator itself (scenario loaded, faults). Not thread-safe; the simulator's lock guards it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace clisitef_sim {

class JournalLine {
public:
    explicit JournalLine(std::string_view export_name);

    JournalLine& Text(std::string_view name, const char* value);
    JournalLine& Text(std::string_view name, std::string_view value);
    JournalLine& Number(std::string_view name, int64_t value);
    // A bare word, for values that are not texts (UNTERMINATED).
    JournalLine& Word(std::string_view name, std::string_view word);
    // Everything after this is what the call handed back.
    JournalLine& Result(int64_t result);

    const std::string& str() const { return line_; }

    // A Windows-1252 text as the journal writes it (quotes included).
    static std::string Quote(std::string_view cp1252);

private:
    std::string line_;
};

class Journal {
public:
    // Empty: no journal.
    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& path() const { return path_; }

    void Write(const JournalLine& line) const { Append(line.str()); }
    void Note(std::string_view text) const { Append("# " + std::string(text)); }

private:
    void Append(const std::string& line) const;

    std::string path_;
};

}  // namespace clisitef_sim
