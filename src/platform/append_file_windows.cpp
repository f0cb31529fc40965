#include "platform/append_file.h"
#include "platform/win32.h"

namespace platform {
namespace {

// Bytes written by one WriteFile call, also when it failed part-way; false with the error.
bool WriteOnce(HANDLE file, std::string_view bytes, DWORD& written, DWORD& error) {
    written = 0;
    const bool ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
    error = ok ? ERROR_SUCCESS : ::GetLastError();
    return ok;
}

}  // namespace

FileStatus AppendFile::Append(const std::string& path, std::string_view bytes) {
    const auto now = std::chrono::steady_clock::now();
    if (!fd_ || path != path_ || now - opened_ >= reopen_after_) {
        if (FileStatus opened = Open(path); !opened) return opened;
    }
    FileStatus written = Write(bytes);
    if (written) return written;
    // A handle gone bad (the volume was dismounted, say): one more try on a fresh one.
    if (FileStatus opened = Open(path); !opened) return opened;
    return Write(bytes);
}

FileStatus AppendFile::Open(const std::string& path) {
    Close();
    // Append access only: the system puts every write at the end of the file, also when
    // another writer appended meanwhile (what O_APPEND does).
    fd_ = FileDescriptor(::CreateFileW(win32::Wide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!fd_) return win32::Failure(::GetLastError(), "open", path);
    path_ = path;
    opened_ = std::chrono::steady_clock::now();
    return {};
}

FileStatus AppendFile::Write(std::string_view bytes) {
    DWORD landed = 0, error = ERROR_SUCCESS;
    WriteOnce(fd_.get(), bytes, landed, error);
    if (landed == bytes.size()) return {};
    if (landed == 0 && error != ERROR_SUCCESS) return win32::Failure(error, "write", path_);
    // Only part of it fitted. The rest is tried once, which also tells why it did not fit;
    // failing that, what did land is taken back.
    DWORD rest = 0;
    WriteOnce(fd_.get(), bytes.substr(landed), rest, error);
    if (landed + rest == bytes.size()) return {};
    TakeBack(landed + rest);
    return win32::Failure(error != ERROR_SUCCESS ? error : ERROR_DISK_FULL, "write", path_);
}

void AppendFile::TakeBack(size_t landed) noexcept {
    // Our bytes end where the handle's position stands; they are cut off only while they are
    // still the last ones in the file, so a line another writer appended meanwhile stays.
    LARGE_INTEGER end{}, size{};
    if (!::SetFilePointerEx(fd_.get(), LARGE_INTEGER{}, &end, FILE_CURRENT) ||
        end.QuadPart < static_cast<LONGLONG>(landed) || !::GetFileSizeEx(fd_.get(), &size) ||
        size.QuadPart != end.QuadPart)
        return;
    // An append-only handle cannot shorten the file: a second handle does.
    FileDescriptor writer(::CreateFileW(win32::Wide(path_).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!writer) return;
    FILE_END_OF_FILE_INFO cut{};
    cut.EndOfFile.QuadPart = end.QuadPart - static_cast<LONGLONG>(landed);
    // Nothing more to do when it fails: the part stays, and the failure is reported all the
    // same.
    ::SetFileInformationByHandle(writer.get(), FileEndOfFileInfo, &cut, sizeof cut);
}

void AppendFile::Close() noexcept {
    fd_.Close();
    path_.clear();
}

}  // namespace platform
