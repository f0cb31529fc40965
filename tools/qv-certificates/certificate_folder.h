// The application's certificate folder: ca_cert.pem, server_cert.pem and server_key.pem, as
// the service loads them. Filled only when none of the three is there, so a shop's own
// certificates (or the ones a browser already trusts) are never replaced by accident.
#pragma once

#include <string>
#include <vector>

namespace qvcert {

inline constexpr const char* kCaFile = "ca_cert.pem";
inline constexpr const char* kServerCertFile = "server_cert.pem";
inline constexpr const char* kServerKeyFile = "server_key.pem";

enum class FolderOutcome {
    kWritten,  // a new CA and server certificate were written
    kKept,     // all three files were there and were left alone
};

// Fills `dir` (created when missing) with a new local CA and server certificate. Without
// `replace`, all three files already there are kept, and some of them there is an error
// (nothing is written); with `replace` the three are replaced. Raises std::runtime_error
// saying what failed; a failed write leaves none of the files it created behind.
FolderOutcome FillCertificateFolder(const std::string& dir, bool replace);

// `dir` joined with a file name.
std::string FolderFile(const std::string& dir, const char* name);

}  // namespace qvcert
