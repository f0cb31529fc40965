// File operations that report why they failed: each raises std::system_error carrying the
// system's reason and the path concerned (file_system.h has the quiet counterparts).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Creates `path` holding `bytes` unless something of that name already exists: then
// returns false and leaves it alone. A write that fails part-way removes the new file
// before raising, so no truncated file is left behind.
bool CreateNewFile(const std::string& path, std::string_view bytes);

// Creates the folder `path` and every missing parent; an existing folder is fine.
void CreateDirectories(const std::string& path);

void RemoveFile(const std::string& path);

// Removes the folder `path` with everything below it; a missing folder is fine.
void RemoveDirectoryTree(const std::string& path);

}  // namespace platform
