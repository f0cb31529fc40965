#include "support/web_socket_frames.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

namespace qvtest {

std::string EncodeFrame(uint8_t opcode, std::string_view payload, const FrameOptions& options) {
    std::string frame;
    frame += static_cast<char>((options.fin ? 0x80 : 0) | opcode);
    const uint64_t n = options.announced_length.value_or(payload.size());
    const char mask_bit = options.masked ? static_cast<char>(0x80) : 0;
    if (n <= 125) {
        frame += static_cast<char>(mask_bit | static_cast<char>(n));
    } else if (n <= 0xFFFF) {
        frame += static_cast<char>(mask_bit | 126);
        for (int i = 1; i >= 0; --i) frame += static_cast<char>((n >> (8 * i)) & 0xFF);
    } else {
        frame += static_cast<char>(mask_bit | 127);
        for (int i = 7; i >= 0; --i) frame += static_cast<char>((n >> (8 * i)) & 0xFF);
    }
    if (options.masked) {
        for (uint8_t b : options.mask) frame += static_cast<char>(b);
    }
    for (size_t i = 0; i < payload.size(); ++i) {
        const char key = options.masked ? static_cast<char>(options.mask[i % 4]) : 0;
        frame += static_cast<char>(payload[i] ^ key);
    }
    return frame;
}

std::string GzipCompress(std::string_view data) {
    z_stream z{};
    // 16 + MAX_WBITS: write the gzip wrapper.
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02x" : " %02x", c);
        out += buf;
    }
    return out;
}

}  // namespace qvtest
