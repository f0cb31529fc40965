#include "platform/code_page.h"
#include "platform/win32.h"

namespace platform {

std::string Utf8ToSystemCodePage(std::string_view utf8) {
    // The shops' usual code page takes the same conversion as the payment library's texts.
    if (::GetACP() == 1252) return Utf8ToCp1252(utf8);
    const std::wstring wide = win32::Wide(utf8);
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, "?", nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, text.data(), length, "?", nullptr);
    return text;
}

}  // namespace platform
