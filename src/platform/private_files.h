// Files holding secrets (a private key) are kept from everyone but the account that made them
// and the accounts that run and install the service.
//
// PrivateFiles: while one lives, files created are readable by their owner only on Linux (it
// changes the process's umask, so it is for programs that create files from one thread). On
// Windows a new file takes the permissions of its folder, so nothing changes there:
// KeepPrivate closes such a file afterwards.
#pragma once

#include <string>

#include "platform/file_status.h"

namespace platform {

class PrivateFiles {
public:
    PrivateFiles();
    PrivateFiles(const PrivateFiles&) = delete;
    PrivateFiles& operator=(const PrivateFiles&) = delete;
    ~PrivateFiles();

private:
    unsigned previous_ = 0;
};

// Leaves the file at `path` to its owner: mode 0600 on Linux. On Windows, permissions of its
// own instead of its folder's (the application folder is readable by every user of the
// machine): full control for the account running this, the system account (the service runs
// as it) and the administrators (who install and update it), and no one else.
FileStatus KeepPrivate(const std::string& path);

}  // namespace platform
