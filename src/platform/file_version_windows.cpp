#include <vector>

#include "platform/file_descriptor.h"
#include "platform/file_identity.h"
#include "platform/win32.h"

namespace platform {
namespace {

std::chrono::system_clock::time_point TimeOf(const LARGE_INTEGER& filetime) {
    // 100 ns ticks since 1601-01-01.
    constexpr int64_t kTicksFrom1601To1970 = 116444736000000000;
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::duration<int64_t, std::ratio<1, 10000000>>(filetime.QuadPart -
                                                                    kTicksFrom1601To1970)));
}

std::optional<FileIdentity> IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (!::GetFileInformationByHandle(file, &info) ||
        !::GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times))
        return std::nullopt;
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
        static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow),
        TimeOf(times.LastWriteTime), TimeOf(times.ChangeTime)};
}

FileDescriptor OpenForReading(const std::string& path) {
    return FileDescriptor(::CreateFileW(win32::Wide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The fixed file version of the VERSIONINFO resource; nothing for a file without one.
std::optional<FileVersion> ReadVersionResource(const std::string& path) {
    const std::wstring wide = win32::Wide(path);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoW(wide.c_str(), 0, size, data.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD)
        return std::nullopt;
    return FileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                       HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
}

}  // namespace

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
    FileDescriptor file = OpenForReading(path);
    if (!file) return std::nullopt;
    return IdentityOf(file.get());
}

std::optional<IdentifiedVersion> ReadIdentifiedVersion(const std::string& path) {
    // Held open while the resource is read, so that the identity is that of the file read.
    FileDescriptor file = OpenForReading(path);
    if (!file) return std::nullopt;
    std::optional<FileIdentity> identity = IdentityOf(file.get());
    if (!identity) return std::nullopt;
    return IdentifiedVersion{*identity, ReadVersionResource(path)};
}

}  // namespace platform
