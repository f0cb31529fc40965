#include <memory>
#include <string>

#include "platform/file_descriptor.h"
#include "platform/win32.h"

namespace platform {
namespace {

// A listing in progress: the search handle, the entry found last and its name in UTF-8.
struct Listing {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW entry{};
    bool has_entry = false;
    std::string name;
};

}  // namespace

bool FileHandleTraits::Close(void* h) noexcept { return ::CloseHandle(h) != 0; }

bool SocketHandleTraits::Close(uintptr_t s) noexcept {
    win32::ForgetSocketShutdown(s);  // the number may come back for another socket
    return ::closesocket(s) == 0;
}

DirectoryHandle::DirectoryHandle(const char* path) noexcept {
    try {
        std::wstring pattern = win32::Wide(path);
        if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
        auto listing = std::make_unique<Listing>();
        listing->find = ::FindFirstFileExW((pattern + L'*').c_str(), FindExInfoBasic,
                                           &listing->entry, FindExSearchNameMatch, nullptr, 0);
        if (listing->find == INVALID_HANDLE_VALUE) return;
        listing->has_entry = true;
        dir_ = listing.release();
    } catch (...) {
        dir_ = nullptr;  // out of memory: an empty listing
    }
}

DirectoryHandle::~DirectoryHandle() {
    auto* listing = static_cast<Listing*>(dir_);
    if (listing == nullptr) return;
    ::FindClose(listing->find);
    delete listing;
}

const char* DirectoryHandle::NextName() noexcept {
    auto* listing = static_cast<Listing*>(dir_);
    if (listing == nullptr) return nullptr;
    // FindFirstFile already holds the first entry; every later one is fetched here.
    if (!listing->has_entry && !::FindNextFileW(listing->find, &listing->entry)) return nullptr;
    listing->has_entry = false;
    try {
        listing->name = win32::Utf8(listing->entry.cFileName);
    } catch (...) {
        return nullptr;
    }
    return listing->name.c_str();
}

}  // namespace platform
