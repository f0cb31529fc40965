// Reading and steering the stand-in's records, the same files whichever program writes them.
#include "support/print_stand_in.h"

#include <filesystem>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/app_folder.h"
#include "support/text_lines.h"

namespace qvtest {
namespace {

// Record lines: the arguments joined by '|', then "data-dir-present" or "data-dir-missing".
std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = line.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(line.substr(start, at - start));
    parts.push_back(line.substr(start));
    return parts;
}

int ReadPid(const std::string& path) {
    const std::string text = platform::ReadFile(path).value_or("0");
    return std::stoi(text.empty() ? "0" : text);
}

}  // namespace

std::string PrintStandIn::Record(const std::string& name) const {
    return platform::IncludeTrailingSeparator(folder_) + name;
}

void PrintStandIn::SetOutcomes(const std::vector<std::string>& outcomes) {
    std::string text;
    for (const std::string& outcome : outcomes) text += outcome + "\n";
    platform::WriteFile(Record("outcomes"), text);
}

void PrintStandIn::Release() { platform::WriteFile(Record("release"), ""); }

void PrintStandIn::Reset() {
    for (const char* name :
         {"calls.txt", "outcomes", "release", "hanging.pid", "hanging-child.pid", "documents"})
        std::filesystem::remove_all(Record(name));
}

std::vector<std::vector<std::string>> PrintStandIn::Calls() const {
    std::vector<std::vector<std::string>> calls;
    for (const std::string& line : ReadLines(Record("calls.txt"))) {
        std::vector<std::string> args = Split(line, '|');
        args.pop_back();  // the data folder's state
        calls.push_back(std::move(args));
    }
    return calls;
}

std::vector<bool> PrintStandIn::DataDirPresent() const {
    std::vector<bool> present;
    for (const std::string& line : ReadLines(Record("calls.txt")))
        present.push_back(line.ends_with("|data-dir-present"));
    return present;
}

std::string PrintStandIn::Document(int call) const {
    return platform::ReadFile(Record("documents/" + std::to_string(call))).value_or("");
}

int PrintStandIn::HangingPid() const { return ReadPid(Record("hanging.pid")); }

int PrintStandIn::HangingChildPid() const { return ReadPid(Record("hanging-child.pid")); }

bool PrintStandIn::WaitForCalls(size_t count, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return ReadLines(Record("calls.txt")).size() >= count; }, timeout);
}

}  // namespace qvtest
