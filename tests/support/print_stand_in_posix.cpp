// On Linux the stand-in is a shell script; for tests that run the Windows build under Wine it
// is that build's stand-in program, told where to keep its records by a file beside it.
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "platform/file_system.h"
#include "support/print_stand_in.h"
#include "support/windows_under_wine.h"

namespace qvtest {
namespace {

// A hanging call puts its child in the background: killing the call's process group must
// take the child along.
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
wait_for_release() {
    for i in $(seq 600); do
        [ -e "$dir/release" ] && return
        sleep 0.1
    done
}
if [ "$outcome" = hang ]; then
    wait_for_release &
    echo $! > "$dir/hanging-child.pid"
    echo $$ > "$dir/hanging.pid"
fi
echo "$(printf '%s|' "$@")$state" >> "$dir/calls.txt"
case "$outcome" in
    hang) wait_for_release; wait; exit 0;;
    '') exit 0;;
    *) exit "$outcome";;
esac
)";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

PrintStandIn::PrintStandIn(const std::string& program, const std::string& folder)
    : program_(program), folder_(folder) {
    if (const auto& windows = WindowsBuildUnderWine()) {
        std::filesystem::copy_file(windows->folder + kWindowsPrintStandIn, program_,
                                   std::filesystem::copy_options::overwrite_existing);
        if (!platform::WriteFile(program_ + ".folder", WinePath(folder_)))
            throw std::runtime_error("cannot write " + program_ + ".folder");
        return;
    }
    if (!platform::WriteFile(program_, Replace(kScript, "@FOLDER@", folder_)) ||
        ::chmod(program_.c_str(), 0755) != 0)
        throw std::runtime_error("cannot write " + program_);
}

}  // namespace qvtest
