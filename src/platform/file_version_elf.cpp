#include <elf.h>

#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

#include "platform/file_version.h"

namespace platform {
namespace {

constexpr std::string_view kNoteName("Quorvex\0", 8);
constexpr uint32_t kNoteType = 0x5156;

uint32_t Align4(uint32_t n) { return (n + 3) & ~3u; }

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
std::optional<FileVersion> ScanSections(std::ifstream& file, uint64_t file_size) {
    Ehdr header;
    if (!file.seekg(0).read(reinterpret_cast<char*>(&header), sizeof header)) return std::nullopt;
    if (header.e_shentsize != sizeof(Shdr)) return std::nullopt;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Shdr section;
        uint64_t offset = header.e_shoff + static_cast<uint64_t>(i) * sizeof(Shdr);
        if (!file.seekg(static_cast<std::streamoff>(offset))
                 .read(reinterpret_cast<char*>(&section), sizeof section)) {
            return std::nullopt;
        }
        if (section.sh_type != SHT_NOTE || section.sh_size > 1 << 20 ||
            section.sh_offset + section.sh_size > file_size) {
            continue;
        }
        std::vector<char> notes(section.sh_size);
        if (!file.seekg(static_cast<std::streamoff>(section.sh_offset))
                 .read(notes.data(), static_cast<std::streamsize>(notes.size()))) {
            return std::nullopt;
        }
        if (auto version = FindNote(notes)) return version;
    }
    return std::nullopt;
}

}  // namespace

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return std::nullopt;
    auto file_size = static_cast<uint64_t>(file.tellg());
    unsigned char ident[EI_NIDENT];
    if (!file.seekg(0).read(reinterpret_cast<char*>(ident), EI_NIDENT)) return std::nullopt;
    if (std::memcmp(ident, ELFMAG, SELFMAG) != 0 || ident[EI_DATA] != ELFDATA2LSB) {
        return std::nullopt;
    }
    if (ident[EI_CLASS] == ELFCLASS64) return ScanSections<Elf64_Ehdr, Elf64_Shdr>(file, file_size);
    if (ident[EI_CLASS] == ELFCLASS32) return ScanSections<Elf32_Ehdr, Elf32_Shdr>(file, file_size);
    return std::nullopt;
}

}  // namespace platform
