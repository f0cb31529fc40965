#include "service/security_settings.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace {

// The system's own words for a file that is not there ("No such file or directory" on Linux,
// "File not found." on Windows), as reading one gives them.
std::string MissingFileReason() {
    return platform::ReadFile(platform::TempDir() + "qv-no-such-file.txt").Status().Reason();
}

using service::ReadSecuritySettings;
using service::TSecurityReading;

class SecuritySettings : public ::testing::Test {
protected:
    TSecurityReading Read(const std::string& lines) {
        EXPECT_TRUE(platform::WriteFile(folder_ / "service.ini", "[SiTef]\r\n" + lines));
        return ReadSecuritySettings(config_, folder_.path());
    }

    qvtest::TempFolder folder_;
    service::ConfigFile config_{folder_ / "service.ini"};
};

TEST_F(SecuritySettings, NothingIsOnAndNothingLoggedByDefault) {
    for (const char* lines : {"", "server_port=8443\r\ntoken_key=\r\nrequire_origin=0\r\n"}) {
        const TSecurityReading reading = Read(lines);
        EXPECT_FALSE(reading.settings.AnyOn()) << lines;
        EXPECT_FALSE(reading.settings.origins.Active());
        EXPECT_FALSE(reading.settings.token_key.has_value());
        EXPECT_TRUE(reading.log_lines.empty()) << reading.log_lines.front();
    }
}

TEST_F(SecuritySettings, EveryKeyOnIsNamedInOneLine) {
    const TSecurityReading reading = Read(
        "ALLOWED_ORIGINS=https://pdv.loja.test, http://localhost:3000\r\n"
        "require_origin=1\r\ntoken_key=uma-chave-longa-e-aleatoria-da-loja-42\r\n"
        "require_token_expiry=1\r\nrequire_print_session=0x1\r\n");
    const service::TSecuritySettings& s = reading.settings;
    EXPECT_EQ(s.origins.Allowed(),
              (std::vector<std::string>{"https://pdv.loja.test", "http://localhost:3000"}));
    EXPECT_TRUE(s.origins.RequireOrigin());
    EXPECT_EQ(s.token_key, "uma-chave-longa-e-aleatoria-da-loja-42");
    EXPECT_TRUE(s.require_token_expiry);
    EXPECT_TRUE(s.require_print_session);
    EXPECT_EQ(reading.log_lines,
              std::vector<std::string>{
                  "Proteções ativas: origens permitidas [https://pdv.loja.test, "
                  "http://localhost:3000]; conexões sem Origin recusadas; chave de token própria; "
                  "expiração do token exigida; sessão exigida em /print."});
}

TEST_F(SecuritySettings, TheKeyFileIsReadWithoutItsLineBreak) {
    ASSERT_TRUE(
        platform::WriteFile(folder_ / "chave.txt", "Zx9!chave da loja com 32 bytes ou mais\r\n\n"));
    const std::string absolute = folder_ / "chave.txt";
    for (const std::string& path : {std::string("chave.txt"), absolute}) {
        const TSecurityReading reading = Read("token_key_file=" + path + "\r\n");
        EXPECT_EQ(reading.settings.token_key, "Zx9!chave da loja com 32 bytes ou mais") << path;
        EXPECT_TRUE(reading.settings.token_key_problem.empty());
        EXPECT_EQ(reading.log_lines,
                  std::vector<std::string>{"Proteções ativas: chave de token própria."});
    }
    // The file wins over an inline key, and says so.
    const TSecurityReading both = Read("token_key=outra\r\ntoken_key_file=chave.txt\r\n");
    EXPECT_EQ(both.settings.token_key, "Zx9!chave da loja com 32 bytes ou mais");
    EXPECT_EQ(both.log_lines.at(1),
              "Aviso: token_key e token_key_file definidos; vale token_key_file.");
}

TEST_F(SecuritySettings, AnUnusableKeyFileIsAProblemNotTheBuiltInKey) {
    ASSERT_TRUE(platform::WriteFile(folder_ / "vazia.txt", " \r\n"));
    struct Case {
        const char* file;
        std::string reason;
    } cases[] = {{"falta.txt", "arquivo não encontrado ou ilegível (" + MissingFileReason() + ")"},
                 {"vazia.txt", "arquivo vazio"}};
    for (const Case& c : cases) {
        const TSecurityReading reading = Read(std::string("token_key_file=") + c.file + "\r\n");
        const service::TSecuritySettings& s = reading.settings;
        EXPECT_FALSE(s.token_key.has_value());
        EXPECT_TRUE(s.CustomTokenKey());
        const std::string problem = "Erro ao ler a chave de token (" + folder_ / c.file +
                                    "): " + c.reason + ". Inícios de sessão serão recusados.";
        EXPECT_EQ(s.token_key_problem, problem);
        EXPECT_EQ(reading.log_lines,
                  (std::vector<std::string>{"Proteções ativas: chave de token própria.", problem}));
    }
}

TEST_F(SecuritySettings, DoubtfulValuesAreLogged) {
    const TSecurityReading reading = Read("require_origin=sim\r\ntoken_key=curta\r\n");
    EXPECT_FALSE(reading.settings.origins.RequireOrigin());
    EXPECT_EQ(reading.log_lines,
              (std::vector<std::string>{
                  "Proteções ativas: chave de token própria.",
                  "Aviso: valor \"sim\" de require_origin não é 1 nem 0; proteção desligada.",
                  "Aviso: chave de token com menos de 32 bytes."}));
}

}  // namespace
