// A small program the platform tests start, written against the platform layer only, so the
// same tests run on every system:
//   exit <code>                     ends with <code>
//   sleep <ms>                      sleeps, then ends with 0
//   spawn <pid file>                starts itself sleeping for a minute, writes that
//                                   program's id to <pid file>, then sleeps for a minute
//   args <file> <arg>...            writes each argument to <file>, one per line
//   offsets <file> <y-m-d-h-n>...   writes the UTC offset in seconds at each local time
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace {

void Sleep(const std::string& ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(ms)));
}

int Spawn(const std::string& pid_file) {
    platform::Process child =
        platform::Process::Start({platform::ExecutablePath(), "sleep", "60000"});
    if (!platform::WriteFile(pid_file, std::to_string(child.pid()))) return 2;
    Sleep("60000");
    return 0;
}

int WriteLines(const std::string& file, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return platform::WriteFile(file, text) ? 0 : 2;
}

int Offsets(const std::string& file, const std::vector<std::string>& times) {
    std::vector<std::string> offsets;
    for (const std::string& time : times) {
        platform::LocalDateTime t;
        if (std::sscanf(time.c_str(), "%d-%d-%d-%d-%d", &t.year, &t.month, &t.day, &t.hour,
                        &t.minute) != 5)
            return 3;
        offsets.push_back(std::to_string(platform::UtcOffsetSecondsAt(t)));
    }
    return WriteLines(file, offsets);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "exit") return std::stoi(args[1]);
    if (args.size() == 2 && args[0] == "sleep") {
        Sleep(args[1]);
        return 0;
    }
    if (args.size() == 2 && args[0] == "spawn") return Spawn(args[1]);
    if (args.size() >= 2 && args[0] == "args")
        return WriteLines(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    if (args.size() >= 2 && args[0] == "offsets")
        return Offsets(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    return 64;
}
