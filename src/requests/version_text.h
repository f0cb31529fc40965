// Version texts of the version route: "major.minor.release.build", how an announced version is
// read, and when it counts as newer than the installed one.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_version.h"

namespace requests {

inline constexpr const char* kVersionNotFound = "Versão não encontrada";

// "%d.%d.%d.%d"
std::string FormatVersion(const platform::FileVersion& version);

// Reads four numbers from free text: each is the next run of digits (non-digits before it are
// skipped), 0 when there is none or it exceeds the 32-bit signed range, kept to its low 16 bits.
// "1.0.0.30 (beta)" gives 1.0.0.30; "1.0.0.65561" gives 1.0.0.25.
platform::FileVersion ParseVersionText(std::string_view text);

// The announced version is newer when its first number is not lower than the installed one's
// and its fourth number is strictly greater; the middle numbers take no part.
bool IsNewerVersion(const platform::FileVersion& announced, const platform::FileVersion& installed);

}  // namespace requests
