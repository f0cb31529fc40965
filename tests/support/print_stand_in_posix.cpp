#include "support/print_stand_in.h"

#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "platform/file_system.h"
#include "support/app_folder.h"
#include "support/text_lines.h"
#include "support/windows_under_wine.h"

namespace qvtest {
namespace {

// Record lines: the arguments joined by '|', then "data-dir-present" or "data-dir-missing".
constexpr const char* kScript = R"(#!/bin/bash
dir='@FOLDER@'
data_dir=''
previous=''
for arg in "$@"; do
    [ "$previous" = -data-dir ] && data_dir=$arg
    previous=$arg
done
[ -d "$data_dir" ] && state=data-dir-present || state=data-dir-missing
call=$(( $(cat "$dir/calls.txt" 2>/dev/null | wc -l) + 1 ))
mkdir -p "$dir/documents"
cp "${@: -1}" "$dir/documents/$call" 2>/dev/null
outcome=$(sed -n "${call}p" "$dir/outcomes" 2>/dev/null)
[ "$outcome" = hang ] && echo $$ > "$dir/hanging.pid"
echo "$(printf '%s|' "$@")$state" >> "$dir/calls.txt"
case "$outcome" in
    hang)
        for i in $(seq 600); do
            [ -e "$dir/release" ] && exit 0
            sleep 0.1
        done
        exit 0;;
    '') exit 0;;
    *) exit "$outcome";;
esac
)";

constexpr const char* kWindowsStandIn = "tests/support/print_stand_in_program/qv-print-stand-in.exe";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = line.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(line.substr(start, at - start));
    parts.push_back(line.substr(start));
    return parts;
}

}  // namespace

PrintStandIn::PrintStandIn(const std::string& program, const std::string& folder)
    : program_(program), folder_(folder) {
    // Under Wine: the Windows build's stand-in program, told its folder by a file beside it.
    if (const auto& windows = WindowsBuildUnderWine()) {
        std::filesystem::copy_file(windows->folder + kWindowsStandIn, program_,
                                   std::filesystem::copy_options::overwrite_existing);
        if (!platform::WriteFile(program_ + ".folder", WinePath(folder_)))
            throw std::runtime_error("cannot write " + program_ + ".folder");
        return;
    }
    if (!platform::WriteFile(program_, Replace(kScript, "@FOLDER@", folder_)) ||
        ::chmod(program_.c_str(), 0755) != 0)
        throw std::runtime_error("cannot write " + program_);
}

void PrintStandIn::SetOutcomes(const std::vector<std::string>& outcomes) {
    std::string text;
    for (const std::string& outcome : outcomes) text += outcome + "\n";
    platform::WriteFile(folder_ + "/outcomes", text);
}

void PrintStandIn::Release() { platform::WriteFile(folder_ + "/release", ""); }

void PrintStandIn::Reset() {
    for (const char* name : {"calls.txt", "outcomes", "release", "hanging.pid", "documents"})
        std::filesystem::remove_all(folder_ + "/" + name);
}

std::vector<std::vector<std::string>> PrintStandIn::Calls() const {
    std::vector<std::vector<std::string>> calls;
    for (const std::string& line : ReadLines(folder_ + "/calls.txt")) {
        std::vector<std::string> args = Split(line, '|');
        args.pop_back();  // the data folder's state
        calls.push_back(std::move(args));
    }
    return calls;
}

std::vector<bool> PrintStandIn::DataDirPresent() const {
    std::vector<bool> present;
    for (const std::string& line : ReadLines(folder_ + "/calls.txt"))
        present.push_back(line.ends_with("|data-dir-present"));
    return present;
}

std::string PrintStandIn::Document(int call) const {
    return platform::ReadFile(folder_ + "/documents/" + std::to_string(call)).value_or("");
}

int PrintStandIn::HangingPid() const {
    const std::string text = platform::ReadFile(folder_ + "/hanging.pid").value_or("0");
    return std::stoi(text.empty() ? "0" : text);
}

bool PrintStandIn::WaitForCalls(size_t count, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return ReadLines(folder_ + "/calls.txt").size() >= count; }, timeout);
}

}  // namespace qvtest
