#include "transport/web_socket_frame.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "transport/transport_errors.h"

namespace transport {
namespace {

constexpr const char* kWebSocketGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
// Output is inflated straight into the message, at least this much at a time.
constexpr size_t kInflateStep = 64 * 1024;

void AppendBigEndian(std::string& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t ReadBigEndian(std::string_view bytes) {
    uint64_t value = 0;
    for (char c : bytes) value = value << 8 | static_cast<uint8_t>(c);
    return value;
}

// Owns a zlib inflate stream.
class Inflater {
public:
    Inflater() {
        // 16 + MAX_WBITS: expect the gzip wrapper, not a raw zlib stream.
        if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) throw std::runtime_error("zlib");
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    ~Inflater() { inflateEnd(&stream_); }
    z_stream* get() { return &stream_; }

private:
    z_stream stream_{};
};

}  // namespace

size_t FrameHeaderSize(uint8_t b1) {
    const uint8_t len7 = b1 & 0x7F;
    return 2 + (len7 == 126 ? 2 : len7 == 127 ? 8 : 0) + ((b1 & 0x80) ? 4 : 0);
}

FrameHeader ParseFrameHeader(std::string_view bytes) {
    FrameHeader h;
    const auto b0 = static_cast<uint8_t>(bytes[0]);
    const auto b1 = static_cast<uint8_t>(bytes[1]);
    h.fin = (b0 & 0x80) != 0;
    h.opcode = b0 & 0x0F;
    h.masked = (b1 & 0x80) != 0;
    h.length = b1 & 0x7F;
    size_t pos = 2;
    if (h.length == 126 || h.length == 127) {
        const size_t n = h.length == 126 ? 2 : 8;
        h.length = ReadBigEndian(bytes.substr(pos, n));
        pos += n;
    }
    if (h.masked) {
        for (size_t i = 0; i < 4; ++i) h.mask[i] = static_cast<uint8_t>(bytes[pos + i]);
    }
    return h;
}

std::string BuildFrame(uint8_t opcode, std::string_view payload) {
    std::string frame;
    AppendFrame(frame, opcode, payload);
    return frame;
}

void AppendFrame(std::string& frame, uint8_t opcode, std::string_view payload) {
    frame.reserve(frame.size() + payload.size() + 10);
    frame += static_cast<char>(0x80 | opcode);
    const uint64_t n = payload.size();
    if (n <= 125) {
        frame += static_cast<char>(n);
    } else if (n <= 0xFFFF) {
        frame += static_cast<char>(126);
        AppendBigEndian(frame, n, 2);
    } else {
        frame += static_cast<char>(127);
        AppendBigEndian(frame, n, 8);
    }
    frame.append(payload);
}

void Unmask(char* data, size_t size, const std::array<uint8_t, 4>& mask, uint64_t offset) {
    // Eight bytes at a time with the key repeated (and turned to start at `offset`): a large
    // message is unmasked at memory speed.
    unsigned char key[8];
    for (size_t k = 0; k < 8; ++k) key[k] = mask[(offset + k) & 3];
    uint64_t key64;
    std::memcpy(&key64, key, 8);
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        word ^= key64;
        std::memcpy(data + i, &word, 8);
    }
    for (; i < size; ++i) data[i] ^= static_cast<char>(key[i & 7]);
}

std::string GenerateSecWebSocketAccept(const std::string& key) {
    const std::string input = key + kWebSocketGuid;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digest_len = 0;
    if (EVP_Digest(input.data(), input.size(), digest, &digest_len, EVP_sha1(), nullptr) != 1) {
        throw std::runtime_error("SHA-1 indisponível");
    }
    std::string encoded(4 * ((digest_len + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()), digest,
                                  static_cast<int>(digest_len));
    encoded.resize(static_cast<size_t>(n));
    return encoded;
}

namespace {

// The size the stream says it inflates to (its last four bytes, modulo 2^32): only a hint for
// the first allocation, the stream may lie.
size_t InflatedSizeHint(std::string_view compressed) {
    if (compressed.size() < 18) return 0;
    size_t size = 0;
    for (int i = 1; i <= 4; ++i)
        size = size << 8 | static_cast<uint8_t>(compressed[compressed.size() - i]);
    return size;
}

}  // namespace

std::string InflateGzip(std::string_view compressed, size_t max_output) {
    Inflater inflater;
    z_stream* z = inflater.get();
    z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z->avail_in = static_cast<uInt>(compressed.size());
    std::string out;
    out.reserve(std::min(InflatedSizeHint(compressed), max_output) + kMessagePadding);
    size_t produced = 0;
    for (;;) {
        const size_t reserved = out.capacity() > produced + kMessagePadding
                                    ? out.capacity() - kMessagePadding - produced
                                    : 0;
        // One byte beyond the limit shows that the limit was passed.
        out.resize(std::min(produced + std::max(kInflateStep, reserved), max_output + 1));
        z->next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z->avail_out = static_cast<uInt>(out.size() - produced);
        const int rc = inflate(z, Z_NO_FLUSH);
        produced = out.size() - z->avail_out;
        if (produced > max_output) {
            throw MessageTooLarge("mensagem descompactada maior que " +
                                  std::to_string(max_output >> 20) + " MiB");
        }
        if (rc == Z_STREAM_END) {
            out.resize(produced);
            return out;
        }
        if (rc == Z_OK) continue;
        if (rc == Z_BUF_ERROR && z->avail_in == 0)
            throw std::runtime_error("dados gzip incompletos");
        throw std::runtime_error(z->msg != nullptr ? z->msg : zError(rc));
    }
}

}  // namespace transport
