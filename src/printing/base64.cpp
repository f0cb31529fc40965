#include "printing/base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace printing {
namespace {

// The value of each character: 0..63 for the alphabet, markers (all above 63) for the rest.
constexpr uint8_t kInvalid = 0xFF;
constexpr uint8_t kSkipped = 0xFE;
constexpr uint8_t kPad = 0xFD;

constexpr std::array<uint8_t, 256> MakeValues() {
    std::array<uint8_t, 256> values{};
    for (auto& value : values) value = kInvalid;
    constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (uint8_t i = 0; i < 64; ++i) values[static_cast<uint8_t>(kAlphabet[i])] = i;
    values['\r'] = values['\n'] = values[' '] = kSkipped;
    values['='] = kPad;
    return values;
}

constexpr std::array<uint8_t, 256> kValues = MakeValues();

// For the fast path: the bits each of the four characters of a group adds to the three
// bytes it decodes to, laid out as those bytes stand in memory (little-endian word). A
// character outside the alphabet sets bits above the three bytes.
constexpr uint32_t kNotData = 0xFF000000;

template <int Position>
constexpr std::array<uint32_t, 256> MakeGroupBits() {
    std::array<uint32_t, 256> bits{};
    for (int c = 0; c < 256; ++c) {
        const uint32_t v = kValues[c];
        if (v > 63) {
            bits[c] = kNotData;
        } else if (Position == 0) {
            bits[c] = v << 2;
        } else if (Position == 1) {
            bits[c] = (v >> 4) | ((v & 0x0F) << 12);
        } else if (Position == 2) {
            bits[c] = ((v >> 2) << 8) | ((v & 0x03) << 22);
        } else {
            bits[c] = v << 16;
        }
    }
    return bits;
}

constexpr auto kBits0 = MakeGroupBits<0>();
constexpr auto kBits1 = MakeGroupBits<1>();
constexpr auto kBits2 = MakeGroupBits<2>();
constexpr auto kBits3 = MakeGroupBits<3>();

static_assert(std::endian::native == std::endian::little, "the fast path writes little-endian");

[[noreturn]] void Invalid(const std::string& why) {
    throw Base64Error("Texto Base64 inválido: " + why + ".");
}

// Whole groups of four characters take the fast path; a group broken by line breaks or
// blanks, and the end, are gathered one character at a time.
class Decoder {
public:
    // One spare byte: the fast path stores four bytes to deliver three.
    explicit Decoder(std::string_view text)
        : text_(text), out_(text.size() / 4 * 3 + 4, '\0'), end_(out_.data()) {}

    std::string Run() {
        for (size_t i = 0; i < text_.size();) {
            if (count_ == 0 && pads_ == 0) i = TakeWholeGroups(i);
            if (i < text_.size()) TakeOne(i++);
        }
        Finish();
        out_.resize(static_cast<size_t>(end_ - out_.data()));
        return std::move(out_);
    }

private:
    size_t TakeWholeGroups(size_t i) {
        const auto* s = reinterpret_cast<const unsigned char*>(text_.data());
        for (; i + 4 <= text_.size(); i += 4) {
            const uint32_t word =
                kBits0[s[i]] | kBits1[s[i + 1]] | kBits2[s[i + 2]] | kBits3[s[i + 3]];
            if (word & kNotData) break;
            std::memcpy(end_, &word, sizeof word);
            end_ += 3;
        }
        return i;
    }

    void TakeOne(size_t i) {
        const uint8_t value = kValues[static_cast<unsigned char>(text_[i])];
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
        *end_++ = static_cast<char>(group >> 16);
        if (bytes > 1) *end_++ = static_cast<char>(group >> 8);
        if (bytes > 2) *end_++ = static_cast<char>(group);
    }

    std::string_view text_;
    std::string out_;
    char* end_;           // next byte of out_ to write
    uint32_t group_ = 0;  // characters of the group gathered so far
    int count_ = 0;
    int pads_ = 0;
};

}  // namespace

std::string DecodeBase64(std::string_view text) { return Decoder(text).Run(); }

}  // namespace printing
