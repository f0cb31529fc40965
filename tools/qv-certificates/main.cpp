// qv-certificates: gives the application folder the certificates the service needs, without
// a shell or the openssl command (a Windows installer runs it): a local CA and a localhost
// server certificate signed by it, written only when none are there. Optionally adds that CA
// to the machine's trusted roots, or takes it back. See --help.
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "certificate_folder.h"
#include "local_certificates.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/trusted_roots.h"

namespace {

constexpr const char* kUsage =
    R"(Usage: qv-certificates [--dir DIR] [--force] [--trust | --untrust]

Writes a local certificate authority and a server certificate signed by it for
localhost, 127.0.0.1 and ::1 into DIR: ca_cert.pem, server_cert.pem and
server_key.pem (EC P-256, ten years, the key without a pass phrase). The CA's own
key is thrown away, so the CA vouches for this one certificate only. When the
three files are there already nothing is written; when only some are, nothing is
written and the command fails.

Options:
  --dir DIR    the certificate folder (default: Certificado beside this program,
               where the service looks for them)
  --force      replace the three files with new ones
  --trust      then add DIR's ca_cert.pem to the machine's trusted root
               certificates (Windows: LocalMachine\ROOT; needs an administrator)
  --untrust    remove DIR's ca_cert.pem from the trusted roots (nothing is made)
  --help       this text

Exit codes: 0 done, 1 failed, 2 wrong command line.
)";

constexpr const char* kCaFriendlyName = "Quorvex TEF Server local CA";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string dir;
    bool force = false;
    bool trust = false;
    bool untrust = false;
    bool help = false;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--dir") {
            if (i + 1 == argc) throw UsageError("--dir needs a folder");
            options.dir = argv[++i];
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "--trust") {
            options.trust = true;
        } else if (arg == "--untrust") {
            options.untrust = true;
        } else if (arg == "--help") {
            options.help = true;
        } else {
            throw UsageError("unknown option " + std::string(arg));
        }
    }
    if (options.trust && options.untrust) throw UsageError("--trust or --untrust, not both");
    if (options.untrust && options.force) throw UsageError("--untrust makes nothing: no --force");
    if (options.dir.empty()) options.dir = platform::ExecutableDir() + "Certificado";
    return options;
}

std::string CaDer(const std::string& dir) {
    const std::string file = qvcert::FolderFile(dir, qvcert::kCaFile);
    const platform::FileContents pem = platform::ReadFile(file);
    if (!pem) throw std::runtime_error(pem.Status().Message());
    return qvcert::CertificateDer(*pem);
}

// Reports the store's answer; false when it failed or the system has none.
bool Report(const platform::TrustedRootOutcome& outcome, const char* done, const char* idle) {
    if (!outcome.supported) {
        std::cerr << "qv-certificates: this system has no machine-wide store of trusted roots "
                     "that the browsers read; trust the CA in each browser instead\n";
        return false;
    }
    if (!outcome.status) {
        std::cerr << "qv-certificates: " << outcome.status.Message() << "\n";
        return false;
    }
    std::cout << (outcome.changed ? done : idle) << outcome.location << "\n";
    return true;
}

int Run(const Options& options) {
    if (options.untrust)
        return Report(platform::RemoveTrustedRoot(CaDer(options.dir)), "removed the CA from ",
                      "the CA was not in ")
                   ? 0
                   : 1;
    const qvcert::FolderOutcome made = qvcert::FillCertificateFolder(options.dir, options.force);
    std::cout << (made == qvcert::FolderOutcome::kWritten ? "wrote " : "kept ")
              << qvcert::FolderFile(options.dir, qvcert::kCaFile) << ", " << qvcert::kServerCertFile
              << ", " << qvcert::kServerKeyFile << "\n";
    if (!options.trust) return 0;
    return Report(platform::AddTrustedRoot(CaDer(options.dir), kCaFriendlyName), "added the CA to ",
                  "the CA was already in ")
               ? 0
               : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options options = ParseOptions(argc, argv);
        if (options.help) {
            std::cout << kUsage;
            return 0;
        }
        return Run(options);
    } catch (const UsageError& error) {
        std::cerr << "qv-certificates: " << error.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "qv-certificates: " << error.what() << "\n";
        return 1;
    }
}
