#include <dirent.h>
#include <unistd.h>

#include "platform/file_descriptor.h"

namespace platform {

bool FileHandleTraits::Close(int fd) noexcept {
    // Linux releases the descriptor even when close fails, so it is never retried.
    return ::close(fd) == 0;
}

DirectoryHandle::DirectoryHandle(const char* path) noexcept : dir_(::opendir(path)) {}

DirectoryHandle::~DirectoryHandle() {
    if (dir_ != nullptr) ::closedir(static_cast<DIR*>(dir_));
}

const char* DirectoryHandle::NextName() noexcept {
    if (dir_ == nullptr) return nullptr;
    const dirent* entry = ::readdir(static_cast<DIR*>(dir_));
    return entry != nullptr ? entry->d_name : nullptr;
}

}  // namespace platform
