// Wiping memory that held card data or a secret (a typed card number, an expiry date, a
// security code, a password, or a client message carrying one) before it is reused or given
// back, with OpenSSL's cleanse, which the compiler cannot drop as a dead store.
//
// Any thread; each call touches only what it is given.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace card_data {

void Wipe(void* data, size_t size) noexcept;

// Every byte `text` holds (its whole capacity, so what an earlier, longer content left there
// goes too); `text` is empty afterwards and keeps its storage.
void Wipe(std::string& text) noexcept;

// Every byte of `buffer`, which keeps its size (all zero bytes afterwards).
void Wipe(std::vector<char>& buffer) noexcept;

// Wipes a string when the scope it was declared in ends, however it ends.
class [[nodiscard]] WipeOnExit {
public:
    explicit WipeOnExit(std::string& text) : text_(text) {}
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;
    ~WipeOnExit() { Wipe(text_); }

private:
    std::string& text_;
};

}  // namespace card_data
