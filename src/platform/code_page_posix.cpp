#include "platform/code_page.h"

namespace platform {

std::string Utf8ToSystemCodePage(std::string_view utf8) { return Utf8ToCp1252(utf8); }

}  // namespace platform
