// The file a loaded shared library (or the executable) came from, found by an address inside
// it. Lets a library find the files that were installed beside it.
#pragma once

#include <string>

namespace platform {

// Path of the loaded module that contains `address` (a function or object of that module), as
// the dynamic loader recorded it; empty text when no loaded module contains the address.
std::string ModulePathOf(const void* address);

}  // namespace platform
