#include <algorithm>
#include <cwctype>

#include "platform/append_file.h"
#include "platform/file_descriptor.h"
#include "platform/file_system.h"
#include "platform/win32.h"

namespace platform {
namespace {

using win32::Wide;

FileStatus Failure(std::string operation, const std::string& path) {
    return win32::Failure(::GetLastError(), std::move(operation), path);
}

// Other programs (and our own log readers) may read, write, rename or delete a file while we
// hold it, as they may on Linux.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileDescriptor OpenFile(const std::string& path, DWORD access, DWORD disposition) {
    return FileDescriptor(::CreateFileW(Wide(path).c_str(), access, kShareAll, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()); }

// Writes everything; the Windows error of the failure otherwise (ERROR_DISK_FULL for a write
// that stalls).
DWORD WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_DISK_FULL;
        bytes.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

// Writes `bytes` to the open file of `path`, flushes it to the disk when `sync`, and closes it.
FileStatus WriteAndClose(FileDescriptor file, const std::string& path, std::string_view bytes,
                         bool sync) {
    if (DWORD error = WriteAll(file.get(), bytes)) return win32::Failure(error, "write", path);
    if (sync && !::FlushFileBuffers(file.get())) return Failure("fsync", path);
    if (!file.Close()) return Failure("close", path);
    return {};
}

FileStatus ReplaceDurably(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + std::string(kTemporarySuffix);
    FileDescriptor file = OpenFile(temporary, GENERIC_WRITE, CREATE_ALWAYS);
    if (!file) return Failure("open", temporary);
    FileStatus status = WriteAndClose(std::move(file), temporary, bytes, true);
    // Write-through: the call returns once the new name is on the disk, which on Linux takes
    // the folder's flush.
    if (status && !::MoveFileExW(Wide(temporary).c_str(), Wide(path).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        status = Failure("rename", path);
    if (!status) ::DeleteFileW(Wide(temporary).c_str());
    return status;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The folder that holds `path` ("" for a bare name or a drive's root).
std::string ParentOf(const std::string& path) {
    size_t end = path.size();
    while (end > 0 && IsSeparator(static_cast<wchar_t>(path[end - 1]))) --end;
    const size_t slash = path.find_last_of("\\/", end == 0 ? 0 : end - 1);
    if (slash == std::string::npos || end == 0) return {};
    const std::string parent = path.substr(0, slash);
    // "C:" and "\\server" name no folder to create.
    if (parent.empty() || (parent.size() == 2 && parent[1] == ':')) return {};
    return parent;
}

// Case-insensitive match of `name` against `mask`: '*' any run, '?' one character.
bool Matches(std::wstring_view name, std::wstring_view mask) {
    size_t n = 0, m = 0, star = std::wstring_view::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == L'*') {
            star = m++;
            resume = n;
        } else if (m < mask.size() &&
                   (mask[m] == L'?' || std::towlower(mask[m]) == std::towlower(name[n]))) {
            ++m;
            ++n;
        } else if (star != std::wstring_view::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*') ++m;
    return m == mask.size();
}

}  // namespace

bool FileExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FileStatus ForceDirectories(const std::string& path) {
    if (DirectoryExists(path)) return {};
    const std::string parent = ParentOf(path);
    if (!parent.empty()) {
        // Reported for the folder asked for, as on Linux.
        if (FileStatus made = ForceDirectories(parent); !made)
            return FileStatus(made.Error(), "mkdir", path, made.Reason());
    }
    return CreateDir(path);
}

FileStatus CreateDir(const std::string& path) {
    if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) return {};
    DWORD error = ::GetLastError();
    if (DirectoryExists(path)) return {};
    // A file in the way, of that name or of a parent's: what POSIX calls ENOTDIR.
    if (error == ERROR_ALREADY_EXISTS ||
        (error == ERROR_PATH_NOT_FOUND && FileExists(ParentOf(path))))
        error = ERROR_DIRECTORY;
    return win32::Failure(error, "mkdir", path);
}

FileStatus DeleteFile(const std::string& path) {
    if (!::DeleteFileW(Wide(path).c_str())) return Failure("unlink", path);
    return {};
}

FileStatus RemoveTree(const std::string& path) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        return win32::Failure(error, "remove", path);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Read-only files go too, as they do on Linux.
        ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!::DeleteFileW(Wide(path).c_str())) return Failure("remove", path);
        return {};
    }
    const std::string folder = path.back() == '\\' || path.back() == '/' ? path : path + '\\';
    {
        DirectoryHandle listing(folder.c_str());
        while (const char* entry = listing.NextName()) {
            const std::string name = entry;
            if (name == "." || name == "..") continue;
            if (FileStatus removed = RemoveTree(folder + name); !removed) return removed;
        }
    }
    if (!::RemoveDirectoryW(Wide(path).c_str())) return Failure("remove", path);
    return {};
}

FileContents ReadFile(const std::string& path) {
    FileDescriptor file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
    if (!file) return Failure("open", path);
    std::string data;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr))
            return Failure("read", path);
        if (n == 0) return data;
        data.append(buffer, n);
    }
}

FileStatus WriteFile(const std::string& path, std::string_view bytes, bool durable) {
    if (durable) return ReplaceDurably(path, bytes);
    FileDescriptor file = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (!file) return Failure("open", path);
    return WriteAndClose(std::move(file), path, bytes, false);
}

FileStatus CreateNewFile(const std::string& path, std::string_view bytes) {
    FileDescriptor file = OpenFile(path, GENERIC_WRITE, CREATE_NEW);
    if (!file) {
        const DWORD error = ::GetLastError();
        // A folder of that name exists too: POSIX says EEXIST, Windows "access denied".
        return win32::Failure(
            error == ERROR_ACCESS_DENIED && DirectoryExists(path) ? ERROR_ALREADY_EXISTS : error,
            "open", path);
    }
    FileStatus status = WriteAndClose(std::move(file), path, bytes, false);
    if (!status) ::DeleteFileW(Wide(path).c_str());
    return status;
}

FileStatus AppendToFile(const std::string& path, std::string_view bytes) {
    AppendFile file;
    return file.Append(path, bytes);
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& mask) {
    std::vector<std::string> names;
    const std::wstring wide_mask = Wide(mask);
    DirectoryHandle handle(dir.c_str());
    while (const char* entry = handle.NextName()) {
        std::string name = entry;
        if (name == "." || name == ".." || !Matches(Wide(name), wide_mask)) continue;
        const bool separated = dir.empty() || dir.back() == '\\' || dir.back() == '/';
        if (FileExists(separated ? dir + name : dir + '\\' + name)) names.push_back(name);
    }
    return names;
}

}  // namespace platform
