// Files and folders, as the service needs them: whole-file reads and writes, appends that land
// in one piece, durable writes, folder trees and listings by mask. Functions report failure
// through their result and never throw.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Creates `path` and every missing parent. True when the folder exists afterwards.
bool ForceDirectories(const std::string& path);

// Creates one folder level; true when it exists afterwards.
bool CreateDir(const std::string& path);

bool DeleteFile(const std::string& path);

// Removes a folder with everything below it.
bool RemoveTree(const std::string& path);

std::optional<std::string> ReadFile(const std::string& path);

// Replaces the file with `bytes`. With `durable`, the data is flushed to the disk (fsync)
// before the call returns.
bool WriteFile(const std::string& path, std::string_view bytes, bool durable = false);

// Appends `bytes` with a single write to a file opened for appending (created when missing),
// so that appends from several threads or processes never interleave within one call.
bool AppendToFile(const std::string& path, std::string_view bytes);

// Names (without folder) of the regular files in `dir` whose names match `mask`, where '*'
// stands for any run of characters and '?' for one character; in directory order.
std::vector<std::string> ListFiles(const std::string& dir, const std::string& mask);

}  // namespace platform
