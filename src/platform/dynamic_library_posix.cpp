#include <dlfcn.h>

#include <utility>

#include "platform/dynamic_library.h"

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
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* err = ::dlerror();
        last_error_ = err ? err : "dlopen failed";
        return false;
    }
    last_error_.clear();
    return true;
}

void DynamicLibrary::Close() noexcept {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const std::string& name) const {
    if (handle_ == nullptr) return nullptr;
    ::dlerror();
    void* address = ::dlsym(handle_, name.c_str());
    if (address == nullptr) {
        const char* err = ::dlerror();
        last_error_ = err ? err : "symbol not found: " + name;
    }
    return address;
}

}  // namespace platform
