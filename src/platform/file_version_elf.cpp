#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "platform/file_descriptor.h"
#include "platform/file_identity.h"

namespace platform {
namespace {

constexpr std::string_view kNoteName("Quorvex\0", 8);
constexpr uint32_t kNoteType = 0x5156;
constexpr uint64_t kMaxNoteSection = 1 << 20;
uint32_t Align4(uint32_t n) { return (n + 3) & ~3u; }

std::chrono::system_clock::time_point TimeOf(const timespec& ts) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
}

FileIdentity IdentityOf(const struct stat& st) {
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                        static_cast<int64_t>(st.st_size), TimeOf(st.st_mtim), TimeOf(st.st_ctim)};
}

bool ReadAt(int fd, void* dst, size_t size, uint64_t offset) {
    auto* out = static_cast<char*>(dst);
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

// Looks for our note in one SHT_NOTE section's bytes.
std::optional<FileVersion> FindNote(const std::vector<char>& notes) {
    size_t pos = 0;
    while (pos + sizeof(Elf64_Nhdr) <= notes.size()) {
        Elf64_Nhdr header;
        std::memcpy(&header, notes.data() + pos, sizeof header);
        pos += sizeof header;
        size_t name_end = pos + Align4(header.n_namesz);
        size_t desc_end = name_end + Align4(header.n_descsz);
        if (desc_end > notes.size() || name_end < pos) return std::nullopt;
        std::string_view name(notes.data() + pos, header.n_namesz);
        if (header.n_type == kNoteType && name == kNoteName && header.n_descsz == 8) {
            FileVersion version;
            std::memcpy(version.data(), notes.data() + name_end, 8);
            return version;
        }
        pos = desc_end;
    }
    return std::nullopt;
}

template <typename Ehdr, typename Shdr>
std::optional<FileVersion> ScanSections(int fd, uint64_t file_size) {
    Ehdr header;
    if (!ReadAt(fd, &header, sizeof header, 0)) return std::nullopt;
    if (header.e_shentsize != sizeof(Shdr)) return std::nullopt;
    // The whole section table in one read.
    std::vector<Shdr> sections(header.e_shnum);
    if (!ReadAt(fd, sections.data(), sections.size() * sizeof(Shdr), header.e_shoff)) {
        return std::nullopt;
    }
    for (const Shdr& section : sections) {
        if (section.sh_type != SHT_NOTE || section.sh_size > kMaxNoteSection ||
            section.sh_offset + section.sh_size > file_size) {
            continue;
        }
        std::vector<char> notes(section.sh_size);
        if (!ReadAt(fd, notes.data(), notes.size(), section.sh_offset)) return std::nullopt;
        if (auto version = FindNote(notes)) return version;
    }
    return std::nullopt;
}

std::optional<FileVersion> ParseElf(int fd, uint64_t file_size) {
    unsigned char ident[EI_NIDENT];
    if (!ReadAt(fd, ident, EI_NIDENT, 0)) return std::nullopt;
    if (std::memcmp(ident, ELFMAG, SELFMAG) != 0 || ident[EI_DATA] != ELFDATA2LSB) {
        return std::nullopt;
    }
    if (ident[EI_CLASS] == ELFCLASS64) return ScanSections<Elf64_Ehdr, Elf64_Shdr>(fd, file_size);
    if (ident[EI_CLASS] == ELFCLASS32) return ScanSections<Elf32_Ehdr, Elf32_Shdr>(fd, file_size);
    return std::nullopt;
}

}  // namespace

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return IdentityOf(st);
}

std::optional<IdentifiedVersion> ReadIdentifiedVersion(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return std::nullopt;
    return IdentifiedVersion{IdentityOf(st), ParseElf(fd.get(), static_cast<uint64_t>(st.st_size))};
}

}  // namespace platform
