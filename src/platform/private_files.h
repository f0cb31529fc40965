// Files holding secrets (a private key) are created readable by their owner only, while a
// PrivateFiles object lives. It changes a setting of the whole process, so it is for programs
// that create files from one thread. On Windows a new file takes the permissions of its folder
// (the application folder's, set by whoever installed it), so nothing changes there.
#pragma once

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

}  // namespace platform
