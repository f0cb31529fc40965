#include "transport/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <stdexcept>

namespace transport {
namespace {

// Room for several full TLS records, so one read from the socket takes in what has arrived
// (a large message comes as hundreds of records) instead of two reads per record.
constexpr size_t kReadBuffer = 80 * 1024;
// Sessions kept for clients that come back (the point of sale reconnecting); more is only
// memory.
constexpr long kSessionCacheSize = 256;

void Check(int ok, const std::string& what) {
    if (ok != 1) throw std::runtime_error(what + ": " + TakeOpenSslError());
}

void UseFiles(SSL_CTX* ctx, const std::string& certificate_file, const std::string& key_file,
              const std::string& ca_file) {
    Check(SSL_CTX_use_certificate_file(ctx, certificate_file.c_str(), SSL_FILETYPE_PEM),
          certificate_file);
    Check(SSL_CTX_use_PrivateKey_file(ctx, key_file.c_str(), SSL_FILETYPE_PEM), key_file);
    Check(SSL_CTX_check_private_key(ctx), key_file);
    Check(SSL_CTX_load_verify_locations(ctx, ca_file.c_str(), nullptr), ca_file);
    // The chain sent to clients (certificate and the CA certificates it leads to) is built
    // here once; otherwise every handshake builds and verifies it anew. Errors are ignored
    // as the per-handshake building ignores them: what can be chained is sent.
    if (SSL_CTX_build_cert_chain(ctx, SSL_BUILD_CHAIN_FLAG_IGNORE_ERROR) <= 0) ERR_clear_error();
}

}  // namespace

std::string TakeOpenSslError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return "erro de TLS";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

void TlsContext::Free::operator()(SSL_CTX* ctx) const noexcept { SSL_CTX_free(ctx); }

TlsContext::TlsContext(const std::string& certificate_file, const std::string& key_file,
                       const std::string& ca_file)
    : ctx_(SSL_CTX_new(TLS_server_method())) {
    SSL_CTX* ctx = ctx_.get();
    if (ctx == nullptr) throw std::runtime_error("SSL_CTX_new: " + TakeOpenSslError());
    Check(SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION), "TLS 1.2");
    Check(SSL_CTX_set_max_proto_version(ctx, TLS1_2_VERSION), "TLS 1.2");
    // Decrypted records carry session tokens and payment data: wiped once read, not left in
    // OpenSSL's buffers until overwritten or freed.
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_CLEANSE_PLAINTEXT);
    SSL_CTX_sess_set_cache_size(ctx, kSessionCacheSize);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_read_ahead(ctx, 1);
    SSL_CTX_set_default_read_buffer_len(ctx, kReadBuffer);
    UseFiles(ctx, certificate_file, key_file, ca_file);
}

}  // namespace transport
