#include "platform/file_status.h"

namespace platform {

std::string FileStatus::Reason() const { return reason_.empty() ? Code().message() : reason_; }

std::string FileStatus::Message() const {
    if (error_ == 0) return {};
    return operation_ + " " + path_ + ": " + Reason();
}

void FileStatus::ThrowIfFailed() const {
    if (error_ != 0) throw std::system_error(Code(), operation_ + " " + path_);
}

}  // namespace platform
