// A stand-in for the print program, for tests of the print queue and of "/print": a shell
// script that records every call (its arguments, and whether the -data-dir folder existed
// while it ran), keeps a copy of the document it was given and exits with the code the
// test chose for that call, or hangs until released. Under Wine (windows_under_wine.h) the
// Windows build's stand-in program does the same, and records what it was given as Windows
// paths.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace qvtest {

class PrintStandIn {
public:
    // Writes the script as `program` (full path); its records go beside it in `folder`.
    PrintStandIn(const std::string& program, const std::string& folder);

    const std::string& program() const { return program_; }

    // What call n (from 1) does: an exit code ("0", "3", ...) or "hang" (waits for
    // Release, 60 s at most). Calls beyond the list exit 0.
    void SetOutcomes(const std::vector<std::string>& outcomes);
    // Lets a hanging call end (with exit code 0).
    void Release();
    // Forgets the calls so far and the outcomes.
    void Reset();

    // One entry per call, in order: the arguments after the program's name.
    std::vector<std::vector<std::string>> Calls() const;
    // Whether the -data-dir folder existed during each call.
    std::vector<bool> DataDirPresent() const;
    // The bytes of the document call n (from 1) was given.
    std::string Document(int call) const;
    // The pid of the last call that hung (0 when none did).
    int HangingPid() const;

    // Waits until `count` calls have been recorded; false after `timeout`.
    bool WaitForCalls(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    std::string program_;
    std::string folder_;
};

}  // namespace qvtest
