// The server side of TLS: version 1.2 only, the application's certificate, key and CA files,
// no client certificate requested. Owns the OpenSSL context, built once per listener start and
// shared by every connection; the only place that configures it.
#pragma once

#include <openssl/types.h>

#include <memory>
#include <string>

namespace transport {

class TlsContext {
public:
    // Loads the three PEM files. Raises std::runtime_error naming the file and OpenSSL's
    // reason when one is missing or unusable.
    TlsContext(const std::string& certificate_file, const std::string& key_file,
               const std::string& ca_file);

    SSL_CTX* get() const { return ctx_.get(); }

private:
    struct Free {
        void operator()(SSL_CTX* ctx) const noexcept;
    };
    std::unique_ptr<SSL_CTX, Free> ctx_;
};

// The text of the oldest error OpenSSL queued for this thread (and clears the queue).
std::string TakeOpenSslError();

}  // namespace transport
