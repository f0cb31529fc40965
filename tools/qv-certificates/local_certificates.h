// A local certificate authority and a localhost server certificate signed by it, made in
// memory: EC P-256 keys, ten years, the server valid for localhost, 127.0.0.1 and ::1. The
// CA's key never leaves MakeLocalCertificates, so the CA vouches for this one server
// certificate and nothing else.
#pragma once

#include <string>

namespace qvcert {

struct LocalCertificates {
    std::string ca_cert_pem;
    std::string server_cert_pem;
    std::string server_key_pem;  // PKCS#8, no pass phrase
};

// Raises std::runtime_error with OpenSSL's reason when a step fails.
LocalCertificates MakeLocalCertificates();

// The DER bytes of the first certificate in `pem`; std::runtime_error when there is none.
std::string CertificateDer(const std::string& pem);

}  // namespace qvcert
