// A program's command-line arguments as text of ours (UTF-8).
#pragma once

#include <string>
#include <vector>

namespace platform {

// The program's arguments after its own name, in UTF-8: argv on Linux; on Windows read again
// from the UTF-16 command line, since argv holds them in the ANSI code page, which loses the
// characters it cannot show ("João" in a Windows without that letter, any non-Latin text).
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace platform
