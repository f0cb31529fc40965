#include "support/process_listens.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace qvtest {
namespace {

namespace fs = std::filesystem;

// The inodes of the sockets process `pid` has open.
std::set<std::string> SocketInodes(pid_t pid) {
    std::set<std::string> inodes;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const std::string target = fs::read_symlink(entry.path(), ec).string();
        if (!ec && target.starts_with("socket:[") && target.ends_with(']'))
            inodes.insert(target.substr(8, target.size() - 9));
    }
    return inodes;
}

// Whether a kernel TCP table (/proc/<pid>/net/tcp or tcp6) lists a listening socket on
// `port` whose inode is one of `inodes`.
bool TableListens(const std::string& table, uint16_t port, const std::set<std::string>& inodes) {
    constexpr const char* kListen = "0A";
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the column titles
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        const size_t colon = local.rfind(':');
        if (colon == std::string::npos || state != kListen) continue;
        if (std::stoul(local.substr(colon + 1), nullptr, 16) == port && inodes.contains(inode))
            return true;
    }
    return false;
}

}  // namespace

bool ProcessListensOn(pid_t pid, uint16_t port) {
    const std::set<std::string> inodes = SocketInodes(pid);
    const std::string net = "/proc/" + std::to_string(pid) + "/net/";
    return TableListens(net + "tcp", port, inodes) || TableListens(net + "tcp6", port, inodes);
}

}  // namespace qvtest
