// A stand-in for the print program, for tests of the print queue and of "/print": it records
// every call (its arguments, and whether the -data-dir folder existed while it ran), keeps a
// copy of the document it was given and exits with the code the test chose for that call, or
// hangs until released. On Linux a shell script; in the Windows build, and for the Linux
// tests run against it under Wine (windows_under_wine.h), the Windows build's stand-in
// program (print_stand_in_program/), which records what it was given as Windows paths.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace qvtest {

// The Windows build's stand-in program, relative to that build's folder.
inline constexpr const char* kWindowsPrintStandIn =
    "tests/support/print_stand_in_program/qv-print-stand-in.exe";

class PrintStandIn {
public:
    // Puts the stand-in at `program` (full path); its records go in `folder`.
    PrintStandIn(const std::string& program, const std::string& folder);

    const std::string& program() const { return program_; }

    // What call n (from 1) does: an exit code ("0", "3", ...) or "hang": starts a child that
    // waits as it does, then waits for Release (60 s at most). Calls beyond the list exit 0.
    void SetOutcomes(const std::vector<std::string>& outcomes);
    // Lets a hanging call and its child end (with exit code 0).
    void Release();
    // Forgets the calls so far and the outcomes.
    void Reset();

    // One entry per call, in order: the arguments after the program's name.
    std::vector<std::vector<std::string>> Calls() const;
    // Whether the -data-dir folder existed during each call.
    std::vector<bool> DataDirPresent() const;
    // The bytes of the document call n (from 1) was given.
    std::string Document(int call) const;
    // The process ids of the last call that hung and of the child it started (0 when none).
    int HangingPid() const;
    int HangingChildPid() const;

    // Waits until `count` calls have been recorded; false after `timeout`.
    bool WaitForCalls(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    std::string Record(const std::string& name) const;

    std::string program_;
    std::string folder_;
};

}  // namespace qvtest
