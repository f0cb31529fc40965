#include "platform/private_files.h"

namespace platform {

PrivateFiles::PrivateFiles() = default;

PrivateFiles::~PrivateFiles() = default;

}  // namespace platform
