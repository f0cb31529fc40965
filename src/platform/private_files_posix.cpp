#include <sys/stat.h>

#include "platform/private_files.h"

namespace platform {

PrivateFiles::PrivateFiles() : previous_(::umask(077)) {}

PrivateFiles::~PrivateFiles() { ::umask(static_cast<mode_t>(previous_)); }

}  // namespace platform
