#include "platform/file_version.h"

#include "platform/file_identity.h"

namespace platform {
namespace {

// The cache holds the executable and the payment library, a few more at most; a stray path
// must not make it grow for ever.
constexpr size_t kMaxCachedFiles = 16;

// Whole seconds between the file's last status change and now, as the file clock counts them.
bool ChangedWithin(const FileIdentity& identity, std::chrono::seconds span) {
    using std::chrono::floor;
    using std::chrono::seconds;
    const auto now = std::chrono::system_clock::now();
    return floor<seconds>(now.time_since_epoch()) -
               floor<seconds>(identity.changed.time_since_epoch()) <
           span;
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
    const std::optional<FileIdentity> identity = IdentifyFile(path);
    if (!identity) return std::nullopt;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(path);
        if (it != entries_.end() && it->second->identity == *identity) {
            it->second->checked = now;
            return it->second->version;
        }
    }
    return ReadAndRemember(path);
}

std::optional<FileVersion> FileVersionCache::ReadAndRemember(const std::string& path) {
    std::optional<IdentifiedVersion> read = ReadIdentifiedVersion(path);
    if (!read) return std::nullopt;
    // Filed under the identity of the file actually read, never under that of a file that
    // replaced it meanwhile.
    auto entry = std::make_unique<Entry>(
        Entry{read->identity, read->version, std::chrono::steady_clock::now()});
    std::lock_guard lock(mutex_);
    if (ChangedWithin(read->identity, settle_time_)) {
        entries_.erase(path);
    } else {
        if (entries_.size() >= kMaxCachedFiles) entries_.clear();
        entries_.insert_or_assign(path, std::move(entry));
    }
    return read->version;
}

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
    static FileVersionCache cache(std::chrono::seconds(1));
    return cache.Get(path);
}

}  // namespace platform
