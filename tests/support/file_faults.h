// Real file-system failures for tests, without a mount or a stand-in: a file-size limit makes
// writes fail (or stop part-way) the way a full disk does, and a folder without write
// permission refuses new files. Root ignores permissions through its file capabilities, so
// a test that may run as root gives them up for the writes it wants refused.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace qvtest {

// While it lives, no file of this process grows beyond `bytes`: a write that would is cut
// short, the next one fails with EFBIG ("File too large"), and SIGXFSZ is ignored so that the
// write fails instead of the process ending. Process-wide: one at a time.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit();

private:
    rlimit saved_{};
    void (*old_handler_)(int);
};

// Sets the file-size limit of the running process `pid` (RLIM_INFINITY lifts it); the process
// must ignore SIGXFSZ itself. Raises std::system_error on failure.
void LimitFileSize(pid_t pid, rlim_t bytes);

// While it lives, the calling thread writes with the permissions of an ordinary user even when
// it runs as root (the capabilities that override file permissions are out of its effective
// set). Nothing to do for a user that is not root.
class WithoutFileOverride {
public:
    WithoutFileOverride();
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;
    ~WithoutFileOverride();

private:
    bool dropped_ = false;
};

// The arguments that start `program` without those capabilities when the tests run as root
// (through util-linux's setpriv); just `program` otherwise.
std::vector<std::string> CommandWithoutFileOverride(const std::string& program);

// Sets the permission bits of the folder `path` and of everything below it: folders get
// `folder_mode`, files `file_mode`.
void ChangeModes(const std::string& path, unsigned folder_mode, unsigned file_mode);

}  // namespace qvtest
