// A shared library loaded at run time. Move-only owner of the handle; the destructor unloads.
// This is the only place that talks to the dynamic loader.
#pragma once

#include <string>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary();

    // Loads `path` (a bare file name leaves the folder to the loader's search). Returns false
    // and keeps the loader's reason, naming the file, in LastError() when it cannot be loaded.
    bool Open(const std::string& path);
    void Close() noexcept;
    bool IsOpen() const { return handle_ != nullptr; }

    // Address of the exported symbol, or nullptr when the library lacks it or is not open.
    void* Symbol(const std::string& name) const;

    const std::string& LastError() const { return last_error_; }

private:
    void* handle_ = nullptr;
    mutable std::string last_error_;
};

}  // namespace platform
