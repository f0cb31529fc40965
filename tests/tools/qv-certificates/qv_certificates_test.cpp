// qv-certificates run as a program: the folder it fills is one the service can serve TLS from
// and a client that trusts only the CA accepts for localhost, 127.0.0.1 and ::1; it never
// overwrites a folder that holds certificates unless forced.
#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace {

struct ToolRun {
    int exit_code;
    std::string output;
};

const char* const kFiles[] = {"ca_cert.pem", "server_cert.pem", "server_key.pem"};

template <auto Free>
struct Deleter {
    template <class T>
    void operator()(T* p) const noexcept {
        Free(p);
    }
};
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Context = std::unique_ptr<SSL_CTX, Deleter<SSL_CTX_free>>;
using Connection = std::unique_ptr<SSL, Deleter<SSL_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;

Certificate ReadCertificate(const std::string& pem) {
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return Certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

Key ReadKey(const std::string& pem) {
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return Key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

// The outcome of a TLS handshake between a server using the folder's certificate and key and
// a client that trusts only the folder's CA and checks the name `host`: empty on success,
// else the client's verification error.
std::string Handshake(const std::string& dir, const std::string& host) {
    Context server_ctx(SSL_CTX_new(TLS_server_method()));
    Context client_ctx(SSL_CTX_new(TLS_client_method()));
    if (SSL_CTX_use_certificate_chain_file(server_ctx.get(), (dir + "server_cert.pem").c_str()) !=
            1 ||
        SSL_CTX_use_PrivateKey_file(server_ctx.get(), (dir + "server_key.pem").c_str(),
                                    SSL_FILETYPE_PEM) != 1)
        return "server cannot load its certificate";
    if (SSL_CTX_load_verify_locations(client_ctx.get(), (dir + "ca_cert.pem").c_str(), nullptr) !=
        1)
        return "client cannot load the CA";
    SSL_CTX_set_verify(client_ctx.get(), SSL_VERIFY_PEER, nullptr);

    Connection server(SSL_new(server_ctx.get()));
    Connection client(SSL_new(client_ctx.get()));
    SSL_set_hostflags(client.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (host.find_first_not_of("0123456789.:abcdef") == std::string::npos &&
        host.find_first_of(".:") != std::string::npos)
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(client.get()), host.c_str());
    else
        SSL_set1_host(client.get(), host.c_str());
    BIO* server_end = nullptr;
    BIO* client_end = nullptr;
    BIO_new_bio_pair(&server_end, 0, &client_end, 0);
    SSL_set_bio(server.get(), server_end, server_end);
    SSL_set_bio(client.get(), client_end, client_end);
    SSL_set_accept_state(server.get());
    SSL_set_connect_state(client.get());
    // Each side moves as far as it can per round; a handshake takes a handful.
    for (int round = 0; round < 20; ++round) {
        const int client_done = SSL_do_handshake(client.get());
        const int server_done = SSL_do_handshake(server.get());
        if (client_done == 1 && server_done == 1) return "";
        if (client_done <= 0 && SSL_get_error(client.get(), client_done) == SSL_ERROR_SSL)
            return X509_verify_cert_error_string(SSL_get_verify_result(client.get()));
    }
    return "handshake did not finish";
}

std::vector<std::string> AltNames(X509* certificate) {
    std::vector<std::string> names;
    auto* general = static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; general != nullptr && i < sk_GENERAL_NAME_num(general); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(general, i);
        if (name->type == GEN_DNS) {
            names.push_back("DNS:" + std::string(reinterpret_cast<const char*>(
                                         ASN1_STRING_get0_data(name->d.dNSName))));
        } else if (name->type == GEN_IPADD) {
            names.push_back("IP bytes:" + std::to_string(ASN1_STRING_length(name->d.iPAddress)));
        }
    }
    GENERAL_NAMES_free(general);
    return names;
}

class CertificateTool : public ::testing::Test {
protected:
    ToolRun Tool(std::vector<std::string> args) {
        const std::string output = files_ / ("output" + std::to_string(++runs_) + ".txt");
        qvtest::ChildProcess tool(qvtest::BuildDir() + "tools/qv-certificates/qv-certificates",
                                  args, {}, output);
        const std::optional<int> code = tool.Wait(std::chrono::seconds(30));
        EXPECT_TRUE(code.has_value());
        // Lines end in "\r\n" on Windows; the texts are compared without it.
        std::string text = platform::ReadFile(output).value_or("");
        for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
            text.erase(at, 1);
        return {code.value_or(-1), std::move(text)};
    }

    std::string Read(const char* name) {
        return platform::ReadFile(dir() + name).value_or("<missing>");
    }
    std::vector<std::string> ReadAll() {
        std::vector<std::string> all;
        for (const char* name : kFiles) all.push_back(Read(name));
        return all;
    }

    std::string dir() const { return folder_ / "Certificado/"; }

    qvtest::TempFolder folder_;
    qvtest::TempFolder files_;
    int runs_ = 0;
};

TEST_F(CertificateTool, MakesAChainThatVerifiesForEveryLocalName) {
    const ToolRun run = Tool({"--dir", dir()});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "wrote " + dir() + "ca_cert.pem, server_cert.pem, server_key.pem\n");
    // Only the three files: the CA's key is not left behind.
    std::vector<std::string> names = platform::ListFiles(dir(), "*");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::string>(std::begin(kFiles), std::end(kFiles)));

    for (const char* host : {"localhost", "127.0.0.1", "::1"})
        EXPECT_EQ(Handshake(dir(), host), "") << host;
    EXPECT_NE(Handshake(dir(), "example.com"), "");
    EXPECT_NE(Handshake(dir(), "127.0.0.2"), "");

    const Certificate ca = ReadCertificate(Read("ca_cert.pem"));
    const Certificate server = ReadCertificate(Read("server_cert.pem"));
    const Key key = ReadKey(Read("server_key.pem"));
    ASSERT_TRUE(ca && server && key);
    EXPECT_EQ(X509_check_private_key(server.get(), key.get()), 1);
    EXPECT_EQ(X509_check_ca(ca.get()), 1);
    EXPECT_EQ(X509_check_ca(server.get()), 0);
    EXPECT_EQ(X509_check_issued(ca.get(), server.get()), X509_V_OK);
    EXPECT_EQ(X509_check_purpose(server.get(), X509_PURPOSE_SSL_SERVER, 0), 1);
    EXPECT_EQ(AltNames(server.get()),
              (std::vector<std::string>{"DNS:localhost", "IP bytes:4", "IP bytes:16"}));
    // EC P-256, both keys; the key file holds no pass phrase (ReadKey read it without one).
    char curve[64] = "";
    EXPECT_EQ(EVP_PKEY_get_utf8_string_param(key.get(), "group", curve, sizeof curve, nullptr), 1);
    EXPECT_STREQ(curve, "prime256v1");
    EXPECT_EQ(EVP_PKEY_get_utf8_string_param(X509_get0_pubkey(ca.get()), "group", curve,
                                             sizeof curve, nullptr),
              1);
    EXPECT_STREQ(curve, "prime256v1");
    char name[128] = "";
    X509_NAME_get_text_by_NID(X509_get_subject_name(ca.get()), NID_commonName, name, sizeof name);
    EXPECT_STREQ(name, "Quorvex TEF Server local CA");
    // Valid now and for years: a demo folder made once keeps working.
    EXPECT_EQ(X509_cmp_current_time(X509_get0_notBefore(server.get())), -1);
    int days = 0, seconds = 0;
    ASSERT_EQ(ASN1_TIME_diff(&days, &seconds, nullptr, X509_get0_notAfter(server.get())), 1);
    EXPECT_GT(days, 9 * 365);
}

TEST_F(CertificateTool, KeepsAFullFolderAndRefusesAPartialOne) {
    ASSERT_EQ(Tool({"--dir", dir()}).exit_code, 0);
    const std::vector<std::string> first = ReadAll();

    ToolRun run = Tool({"--dir", dir()});
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "kept " + dir() + "ca_cert.pem, server_cert.pem, server_key.pem\n");
    EXPECT_EQ(ReadAll(), first);

    // A folder missing one file holds certificates someone may rely on: left as it is.
    for (const char* missing : kFiles) {
        SCOPED_TRACE(missing);
        const std::string kept = Read(missing);
        ASSERT_TRUE(platform::DeleteFile(dir() + missing));
        run = Tool({"--dir", dir()});
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_NE(run.output.find("not all three certificate files; nothing written"),
                  std::string::npos)
            << run.output;
        EXPECT_FALSE(platform::FileExists(dir() + missing));
        for (size_t i = 0; i < std::size(kFiles); ++i) {
            if (std::string(kFiles[i]) != missing) {
                EXPECT_EQ(Read(kFiles[i]), first[i]);
            }
        }
        ASSERT_TRUE(platform::WriteFile(dir() + missing, kept));
    }
}

TEST_F(CertificateTool, ForceReplacesAllThreeWithANewChain) {
    ASSERT_EQ(Tool({"--dir", dir()}).exit_code, 0);
    const std::vector<std::string> first = ReadAll();
    ASSERT_TRUE(platform::DeleteFile(dir() + "ca_cert.pem"));

    const ToolRun run = Tool({"--dir", dir(), "--force"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const std::vector<std::string> second = ReadAll();
    for (size_t i = 0; i < second.size(); ++i) EXPECT_NE(second[i], first[i]) << kFiles[i];
    EXPECT_EQ(Handshake(dir(), "localhost"), "");
    // The old CA does not vouch for the new certificate.
    ASSERT_TRUE(platform::WriteFile(dir() + "ca_cert.pem", first[0]));
    EXPECT_NE(Handshake(dir(), "localhost"), "");
}

TEST_F(CertificateTool, CommandLinesItRefuses) {
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        const char* says;
    };
    const Case cases[] = {
        {{"--dir"}, 2, "--dir needs a folder"},
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--trust", "--untrust"}, 2, "not both"},
        {{"--untrust", "--force"}, 2, "no --force"},
        // --untrust reads the CA it is to remove; there is none.
        {{"--untrust", "--dir", "@DIR"}, 1, "ca_cert.pem"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (std::string& arg : args)
            if (arg == "@DIR") arg = dir();
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.exit_code, c.exit_code) << args[0] << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        EXPECT_FALSE(platform::FileExists(dir() + "ca_cert.pem"));
    }
}

}  // namespace
