#include "printing/print_document.h"

#include <cerrno>
#include <random>
#include <system_error>

#include "platform/file_system.h"

namespace printing {
namespace {

// Names drawn before giving up; only a folder crowded with millions of documents gets there.
constexpr int kNameAttempts = 1000;

std::string TempFileName(const std::string& file_type) {
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> number(0, 9999998);
    return std::to_string(number(random)) + "_Temp." + file_type;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    auto is_blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view WithoutDataUrlPrefix(std::string_view data) {
    const size_t comma = data.find(',');
    return comma == std::string_view::npos ? data : data.substr(comma + 1);
}

std::string WritePrintDocument(const std::string& folder, const std::string& file_type,
                               std::string_view bytes) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string path = folder + TempFileName(file_type);
        const platform::FileStatus created = platform::CreateNewFile(path, bytes);
        if (created) return path;
        if (created.Error() != EEXIST) created.ThrowIfFailed();
    }
    throw std::system_error(EEXIST, std::generic_category(), "no free temporary name in " + folder);
}

}  // namespace printing
