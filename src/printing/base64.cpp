#include "printing/base64.h"

#include <array>
#include <cstdint>

namespace printing {
namespace {

// Table values: 0..63 for the alphabet, markers (all with the high bit set) for the rest.
constexpr uint8_t kInvalid = 0xFF;
constexpr uint8_t kSkipped = 0xFE;
constexpr uint8_t kPad = 0xFD;

constexpr std::array<uint8_t, 256> MakeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& value : table) value = kInvalid;
    constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (uint8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = i;
    table['\r'] = table['\n'] = table[' '] = kSkipped;
    table['='] = kPad;
    return table;
}

constexpr std::array<uint8_t, 256> kTable = MakeTable();

uint8_t ValueAt(std::string_view text, size_t i) { return kTable[static_cast<uint8_t>(text[i])]; }

[[noreturn]] void Invalid(const std::string& why) {
    throw Base64Error("Texto Base64 inválido: " + why + ".");
}

// Decodes group by group: whole groups of four characters take the fast path, a group
// broken by line breaks or blanks is gathered one character at a time.
class Decoder {
public:
    explicit Decoder(std::string_view text) : text_(text) { out_.reserve(text.size() / 4 * 3 + 3); }

    std::string Run() {
        for (size_t i = 0; i < text_.size();) {
            if (count_ == 0 && pads_ == 0 && i + 4 <= text_.size() && TakeWholeGroup(i)) {
                i += 4;
                continue;
            }
            TakeOne(i++);
        }
        Finish();
        return std::move(out_);
    }

private:
    bool TakeWholeGroup(size_t i) {
        const uint32_t a = ValueAt(text_, i), b = ValueAt(text_, i + 1), c = ValueAt(text_, i + 2),
                       d = ValueAt(text_, i + 3);
        if ((a | b | c | d) & 0x80) return false;
        Emit((a << 18) | (b << 12) | (c << 6) | d, 3);
        return true;
    }

    void TakeOne(size_t i) {
        const uint8_t value = ValueAt(text_, i);
        if (value == kSkipped) return;
        if (value == kPad) {
            if (++pads_ > 2) Invalid("\"=\" demais no final");
            return;
        }
        if (value == kInvalid)
            Invalid("caractere não permitido na posição " + std::to_string(i + 1));
        if (pads_ != 0) Invalid("dados após \"=\" na posição " + std::to_string(i + 1));
        group_ = (group_ << 6) | value;
        if (++count_ == 4) {
            Emit(group_, 3);
            group_ = 0;
            count_ = 0;
        }
    }

    void Finish() {
        // A group of 2 or 3 characters carries 1 or 2 bytes; padding, when present, must
        // complete it to four.
        if (count_ == 1 || (pads_ != 0 && count_ + pads_ != 4)) Invalid("tamanho incompleto");
        if (count_ == 2) Emit(group_ << 12, 1);
        if (count_ == 3) Emit(group_ << 6, 2);
    }

    // The top `bytes` bytes of a 24-bit group.
    void Emit(uint32_t group, int bytes) {
        out_ += static_cast<char>(group >> 16);
        if (bytes > 1) out_ += static_cast<char>(group >> 8);
        if (bytes > 2) out_ += static_cast<char>(group);
    }

    std::string_view text_;
    std::string out_;
    uint32_t group_ = 0;  // characters of the group gathered so far
    int count_ = 0;
    int pads_ = 0;
};

}  // namespace

std::string DecodeBase64(std::string_view text) { return Decoder(text).Run(); }

}  // namespace printing
