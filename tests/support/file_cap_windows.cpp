#include <cerrno>
#include <stdexcept>

#include "platform/append_file.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/guid.h"
#include "platform/paths.h"
#include "support/file_cap.h"

namespace qvtest {
namespace {

std::string SmallVolume() {
    const std::string volume = platform::EnvText("QV_SMALL_VOLUME");
    if (volume.empty())
        throw std::runtime_error(
            "QV_SMALL_VOLUME names no small volume: run the tests through scripts/test-windows.sh");
    return platform::IncludeTrailingSeparator(volume);
}

}  // namespace

CappedFolder::CappedFolder() : path_(MakeFreshFolder(SmallVolume())) {}

CappedFolder::~CappedFolder() { platform::RemoveTree(path_); }

// The volume's allocation unit is the cap's size: a file holds whole units, so once no unit
// is left a file grows only to the end of its last one.
FileCap::FileCap(const CappedFolder&) : filler_(SmallVolume() + "filler-" + platform::NewGuid()) {
    const std::string chunk(kBytes, 'f');
    platform::AppendFile file;
    while (file.Append(filler_, chunk)) {
    }
    // The last unit may be partly free: a write of a single byte finds out.
    while (platform::AppendToFile(filler_, "f")) {
    }
}

FileCap::~FileCap() { platform::DeleteFile(filler_); }

int FileCap::Error() { return ENOSPC; }

}  // namespace qvtest
