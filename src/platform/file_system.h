// Files and folders, as the service needs them: whole-file reads and writes, durable
// replacement, appends that land in one piece, folder trees and listings by mask. Every
// operation that can fail says why in its FileStatus (or FileContents); none raises, except
// through FileStatus::ThrowIfFailed where a caller wants that.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_status.h"

namespace platform {

// What a durable write (WriteFile with `durable`) appends to the file's name while it writes;
// a file of such a name left in a folder is a write that never finished (its content is
// incomplete or was never put in place) and may be removed.
inline constexpr std::string_view kTemporarySuffix = ".tmp";

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Creates `path` and every missing parent; an existing folder is a success.
FileStatus ForceDirectories(const std::string& path);

// Creates one folder level; an existing folder is a success.
FileStatus CreateDir(const std::string& path);

FileStatus DeleteFile(const std::string& path);

// Removes a folder with everything below it; a missing folder is a success.
FileStatus RemoveTree(const std::string& path);

FileContents ReadFile(const std::string& path);

// Replaces the file with `bytes`. With `durable` the replacement survives a crash or a power
// cut whole or not at all: the bytes go to a temporary file beside it (its name plus
// kTemporarySuffix), are flushed to the disk, the temporary file is renamed over `path` and
// the folder is flushed. A failure at any step removes the temporary file and leaves `path`
// as it was.
FileStatus WriteFile(const std::string& path, std::string_view bytes, bool durable = false);

// Creates `path` holding `bytes` unless something of that name already exists (then the
// status carries EEXIST and nothing is touched). A write that fails part-way removes the new
// file, so no truncated file is left behind.
FileStatus CreateNewFile(const std::string& path, std::string_view bytes);

// Appends `bytes` with a single write to a file opened for appending (created when missing),
// so that appends from several threads or processes never interleave within one call.
FileStatus AppendToFile(const std::string& path, std::string_view bytes);

// Names (without folder) of the regular files in `dir` whose names match `mask`, where '*'
// stands for any run of characters and '?' for one character; in directory order. A folder
// that cannot be read lists nothing.
std::vector<std::string> ListFiles(const std::string& dir, const std::string& mask);

}  // namespace platform
