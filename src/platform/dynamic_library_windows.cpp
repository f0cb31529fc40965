#include <utility>

#include "platform/dynamic_library.h"
#include "platform/win32.h"

namespace platform {

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), last_error_(std::move(other.last_error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
        last_error_ = std::move(other.last_error_);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& path) {
    Close();
    // A library loaded by its full path finds the DLLs it needs in its own folder first, as
    // the payment library's installation expects; a bare name is left to the usual search.
    const bool full_path = path.find_first_of("\\/") != std::string::npos;
    handle_ = ::LoadLibraryExW(win32::Wide(path).c_str(), nullptr,
                               full_path ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
    if (handle_ == nullptr) {
        // The loader's reason, naming the file as dlerror does: "<path>: The specified module
        // could not be found."
        last_error_ = path + ": " + win32::SystemText(::GetLastError());
        return false;
    }
    last_error_.clear();
    return true;
}

void DynamicLibrary::Close() noexcept {
    if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const std::string& name) const {
    if (handle_ == nullptr) return nullptr;
    FARPROC address = ::GetProcAddress(static_cast<HMODULE>(handle_), name.c_str());
    if (address == nullptr) last_error_ = name + ": " + win32::SystemText(::GetLastError());
    return reinterpret_cast<void*>(address);
}

}  // namespace platform
