// What the tool does on Linux that differs from Windows: the private key is its owner's alone
// (the certificates follow the umask), and there is no machine-wide store of trusted roots to
// import the CA into.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>

#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace {

int RunTool(const std::vector<std::string>& args, const std::string& output) {
    qvtest::ChildProcess tool(qvtest::BuildDir() + "tools/qv-certificates/qv-certificates", args,
                              {}, output);
    return tool.Wait(std::chrono::seconds(30)).value_or(-1);
}

TEST(CertificateToolPosix, KeyIsPrivateAndTrustSaysItCannot) {
    const mode_t process_umask = ::umask(022);
    ::umask(process_umask);
    qvtest::TempFolder folder;
    const std::string dir = folder / "Certificado/";
    const std::string output = folder / "output.txt";
    // --trust makes the certificates first, then fails to import them, saying why.
    EXPECT_EQ(RunTool({"--dir", dir, "--trust"}, output), 1);
    EXPECT_NE(platform::ReadFile(output)->find("no machine-wide store of trusted roots"),
              std::string::npos)
        << *platform::ReadFile(output);

    struct stat key {};
    ASSERT_EQ(::stat((dir + "server_key.pem").c_str(), &key), 0);
    EXPECT_EQ(key.st_mode & 0777, 0600u);
    // The certificates are public: the user imports the CA into a browser.
    struct stat certificate {};
    ASSERT_EQ(::stat((dir + "ca_cert.pem").c_str(), &certificate), 0);
    EXPECT_EQ(certificate.st_mode & 0777, 0666u & ~process_umask);

    EXPECT_EQ(RunTool({"--dir", dir, "--untrust"}, output), 1);
    EXPECT_NE(platform::ReadFile(output)->find("no machine-wide store"), std::string::npos);
}

}  // namespace
