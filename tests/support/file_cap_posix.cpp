#include <cerrno>
#include <optional>

#include "support/file_cap.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/file_faults.h"

namespace qvtest {
namespace {

std::optional<FileSizeLimit>& Limit() {
    static std::optional<FileSizeLimit> limit;
    return limit;
}

}  // namespace

CappedFolder::CappedFolder() : path_(MakeFreshFolder(platform::TempDir())) {}

CappedFolder::~CappedFolder() { platform::RemoveTree(path_); }

FileCap::FileCap(const CappedFolder&) { Limit().emplace(kBytes); }

FileCap::~FileCap() { Limit().reset(); }

int FileCap::Error() { return EFBIG; }

}  // namespace qvtest
