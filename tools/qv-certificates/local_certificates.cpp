#include "local_certificates.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace qvcert {
namespace {

constexpr const char* kCaName = "Quorvex TEF Server local CA";
constexpr const char* kServerName = "localhost";
constexpr const char* kServerAltNames = "DNS:localhost,IP:127.0.0.1,IP:::1";
constexpr long kValidDays = 3650;

template <auto Free>
struct Deleter {
    template <class T>
    void operator()(T* p) const noexcept {
        Free(p);
    }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;

[[noreturn]] void Fail(const std::string& step) {
    const unsigned long code = ERR_get_error();
    char reason[256] = "unknown reason";
    if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
    ERR_clear_error();
    throw std::runtime_error(step + ": " + reason);
}

template <class T>
T* Check(T* value, const std::string& step) {
    if (value == nullptr) Fail(step);
    return value;
}

void Check(int result, const std::string& step) {
    if (result <= 0) Fail(step);
}

Key NewP256Key() { return Key(Check(EVP_EC_gen("P-256"), "EC P-256 key")); }

// A positive random serial of 159 bits: unique without a serial file to keep.
void SetRandomSerial(X509* certificate) {
    std::unique_ptr<BIGNUM, Deleter<BN_free>> serial(Check(BN_new(), "serial"));
    Check(BN_rand(serial.get(), 159, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY), "serial");
    Check(BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)), "serial");
}

void SetCommonName(X509_NAME* name, const char* common_name) {
    Check(
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0),
        "certificate name");
}

Certificate NewCertificate(EVP_PKEY* key, const char* common_name) {
    Certificate certificate(Check(X509_new(), "certificate"));
    Check(X509_set_version(certificate.get(), X509_VERSION_3), "certificate version");
    SetRandomSerial(certificate.get());
    Check(X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0) != nullptr, "validity");
    Check(
        X509_time_adj_ex(X509_getm_notAfter(certificate.get()), kValidDays, 0, nullptr) != nullptr,
        "validity");
    SetCommonName(X509_get_subject_name(certificate.get()), common_name);
    Check(X509_set_pubkey(certificate.get(), key), "public key");
    return certificate;
}

// Adds the extension `nid` = `value` (openssl.cnf syntax) as `issuer` signs `subject`.
void AddExtension(X509* issuer, X509* subject, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, subject, nullptr, nullptr, 0);
    Extension extension(Check(X509V3_EXT_conf_nid(nullptr, &context, nid, value),
                              std::string("extension ") + OBJ_nid2sn(nid)));
    Check(X509_add_ext(subject, extension.get(), -1), "extension");
}

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<size_t>(size));
}

std::string CertificatePem(X509* certificate) {
    Bio bio(Check(BIO_new(BIO_s_mem()), "PEM"));
    Check(PEM_write_bio_X509(bio.get(), certificate), "PEM");
    return BioText(bio.get());
}

std::string PrivateKeyPem(EVP_PKEY* key) {
    Bio bio(Check(BIO_new(BIO_s_mem()), "PEM"));
    Check(PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr), "PEM");
    return BioText(bio.get());
}

}  // namespace

LocalCertificates MakeLocalCertificates() {
    const Key ca_key = NewP256Key();
    const Certificate ca = NewCertificate(ca_key.get(), kCaName);
    Check(X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get())), "issuer");
    AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
    AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
    AddExtension(ca.get(), ca.get(), NID_authority_key_identifier, "keyid:always");
    Check(X509_sign(ca.get(), ca_key.get(), EVP_sha256()), "signing the CA");

    const Key server_key = NewP256Key();
    const Certificate server = NewCertificate(server_key.get(), kServerName);
    Check(X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get())), "issuer");
    AddExtension(ca.get(), server.get(), NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(ca.get(), server.get(), NID_key_usage, "critical,digitalSignature");
    AddExtension(ca.get(), server.get(), NID_ext_key_usage, "serverAuth");
    AddExtension(ca.get(), server.get(), NID_subject_alt_name, kServerAltNames);
    AddExtension(ca.get(), server.get(), NID_subject_key_identifier, "hash");
    AddExtension(ca.get(), server.get(), NID_authority_key_identifier, "keyid:always");
    Check(X509_sign(server.get(), ca_key.get(), EVP_sha256()), "signing the server certificate");

    return {CertificatePem(ca.get()), CertificatePem(server.get()),
            PrivateKeyPem(server_key.get())};
}

std::string CertificateDer(const std::string& pem) {
    Bio bio(Check(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), "PEM"));
    const Certificate certificate(
        Check(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), "reading the certificate"));
    unsigned char* der = nullptr;
    const int size = i2d_X509(certificate.get(), &der);
    Check(size, "DER");
    std::string bytes(reinterpret_cast<const char*>(der), static_cast<size_t>(size));
    OPENSSL_free(der);
    return bytes;
}

}  // namespace qvcert
