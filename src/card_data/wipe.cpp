#include "card_data/wipe.h"

#include <openssl/crypto.h>

namespace card_data {

void Wipe(void* data, size_t size) noexcept {
    if (data != nullptr && size > 0) OPENSSL_cleanse(data, size);
}

void Wipe(std::string& text) noexcept {
    Wipe(text.data(), text.capacity());
    text.clear();
}

void Wipe(std::vector<char>& buffer) noexcept { Wipe(buffer.data(), buffer.size()); }

}  // namespace card_data
