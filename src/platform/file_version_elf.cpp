#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/file_descriptor.h"
#include "platform/file_version.h"

namespace platform {
namespace {

constexpr std::string_view kNoteName("Quorvex\0", 8);
constexpr uint32_t kNoteType = 0x5156;
constexpr uint64_t kMaxNoteSection = 1 << 20;
// The cache holds the executable and the payment library, a few more at most; a stray path
// must not make it grow for ever.
constexpr size_t kMaxCachedFiles = 16;

uint32_t Align4(uint32_t n) { return (n + 3) & ~3u; }

// What tells one file (or one state of it) from another without reading it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    explicit FileIdentity(const struct stat& st)
        : device(st.st_dev),
          inode(st.st_ino),
          size(st.st_size),
          modified(st.st_mtim),
          changed(st.st_ctim) {}

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               Same(modified, other.modified) && Same(changed, other.changed);
    }

private:
    static bool Same(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
};

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

bool ChangedWithin(const struct stat& st, std::chrono::seconds span) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec - st.st_ctim.tv_sec < span.count();
}

}  // namespace

struct FileVersionCache::Entry {
    FileIdentity identity;
    std::optional<FileVersion> version;
    std::chrono::steady_clock::time_point checked;
};

FileVersionCache::FileVersionCache(std::chrono::milliseconds recheck_after,
                                   std::chrono::seconds settle_time)
    : recheck_after_(recheck_after), settle_time_(settle_time) {}

FileVersionCache::~FileVersionCache() = default;

std::optional<FileVersion> FileVersionCache::Get(const std::string& path) {
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(path);
        if (it != entries_.end() && now - it->second->checked < recheck_after_)
            return it->second->version;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(path);
        if (it != entries_.end() && it->second->identity == FileIdentity(st)) {
            it->second->checked = now;
            return it->second->version;
        }
    }
    return ReadAndRemember(path);
}

std::optional<FileVersion> FileVersionCache::ReadAndRemember(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return std::nullopt;
    // Filed under the identity of the file actually read, never under that of a file that
    // replaced it meanwhile.
    auto entry = std::make_unique<Entry>(
        Entry{FileIdentity(st), ParseElf(fd.get(), static_cast<uint64_t>(st.st_size)),
              std::chrono::steady_clock::now()});
    const std::optional<FileVersion> version = entry->version;
    std::lock_guard lock(mutex_);
    if (ChangedWithin(st, settle_time_)) {
        entries_.erase(path);
    } else {
        if (entries_.size() >= kMaxCachedFiles) entries_.clear();
        entries_.insert_or_assign(path, std::move(entry));
    }
    return version;
}

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
    static FileVersionCache cache(std::chrono::seconds(1));
    return cache.Get(path);
}

}  // namespace platform
