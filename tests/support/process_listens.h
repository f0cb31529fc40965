// Whether a process holds a listening TCP socket (IPv4 or IPv6) on a port, read from the
// kernel's tables: asked of the process, not of the port, since a port one program let go
// may be taken at once by another test's server.
#pragma once

#include <sys/types.h>

#include <cstdint>

namespace qvtest {

bool ProcessListensOn(pid_t pid, uint16_t port);

}  // namespace qvtest
