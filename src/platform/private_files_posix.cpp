#include <sys/stat.h>

#include <cerrno>

#include "platform/private_files.h"

namespace platform {

PrivateFiles::PrivateFiles() : previous_(::umask(077)) {}

PrivateFiles::~PrivateFiles() { ::umask(static_cast<mode_t>(previous_)); }

FileStatus KeepPrivate(const std::string& path) {
    if (::chmod(path.c_str(), 0600) != 0) return FileStatus(errno, "chmod", path);
    return {};
}

}  // namespace platform
