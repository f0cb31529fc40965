#include "transport/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <stdexcept>

namespace transport {
namespace {

void Check(int ok, const std::string& what) {
    if (ok != 1) throw std::runtime_error(what + ": " + TakeOpenSslError());
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

TlsContext::TlsContext(const std::string& certificate_file, const std::string& key_file,
                       const std::string& ca_file)
    : ctx_(SSL_CTX_new(TLS_server_method())) {
    if (ctx_ == nullptr) throw std::runtime_error("SSL_CTX_new: " + TakeOpenSslError());
    try {
        Check(SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION), "TLS 1.2");
        Check(SSL_CTX_set_max_proto_version(ctx_, TLS1_2_VERSION), "TLS 1.2");
        SSL_CTX_set_options(ctx_, SSL_OP_NO_RENEGOTIATION);
        SSL_CTX_set_verify(ctx_, SSL_VERIFY_NONE, nullptr);
        Check(SSL_CTX_use_certificate_file(ctx_, certificate_file.c_str(), SSL_FILETYPE_PEM),
              certificate_file);
        Check(SSL_CTX_use_PrivateKey_file(ctx_, key_file.c_str(), SSL_FILETYPE_PEM), key_file);
        Check(SSL_CTX_check_private_key(ctx_), key_file);
        Check(SSL_CTX_load_verify_locations(ctx_, ca_file.c_str(), nullptr), ca_file);
    } catch (...) {
        SSL_CTX_free(ctx_);
        throw;
    }
}

TlsContext::~TlsContext() { SSL_CTX_free(ctx_); }

}  // namespace transport
