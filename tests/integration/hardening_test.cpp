// The protections a shop may switch on, over TLS with the real service: each one off (what
// every client relies on today) and on (the refusal, its text and its log line), and when a
// change of the configuration takes effect.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "platform/file_system.h"
#include "requests/json_envelope.h"
#include "requests/json_writer.h"
#include "requests/session_token.h"
#include "session_support.h"
#include "support/app_folder.h"
#include "support/child_process.h"
#include "support/simulated_library.h"
#include "support/windows_under_wine.h"

namespace {

using qvtest::TlsWebSocketClient;
using Lines = std::vector<std::string>;

constexpr const char* kVersionRequest =
    R"({"route":"/version","type":"version","category":"service_exe"})";
constexpr const char* kForbidden =
    "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
constexpr const char* kShopKey = "chave-da-loja-com-32-bytes-ou-mais-7f3a";

// Claims of a session the simulated library accepts; `extra` members go at the end.
std::string Claims(const std::string& extra = "") { return qvtest::SessionClaims("1", extra); }

using qvtest::Error;
using qvtest::Field;
using qvtest::StartRequest;

int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class Protections : public ::testing::Test {
protected:
    Protections() {
        qvtest::InstallSimulatedLibrary(app_.path());
        app_.SetEnv("QV_CLISITEF_SCENARIO", app_ / "scenario.json");
        app_.SetEnv("QV_CLISITEF_POLL_MS", "0");
        app_.PutFile("scenario.json", R"({"script": [{"status": 0}]})");
    }
    void TearDown() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    void WriteIni(const std::string& lines) {
        app_.WriteIni("[sitef]\r\nserver_port=" + std::to_string(app_.port()) + "\r\n" + lines);
    }
    void StartService(const std::string& lines = "") {
        WriteIni(lines);
        app_.StartAndWaitForPort();
    }
    void RestartService(const std::string& lines) {
        ASSERT_EQ(app_.Stop(), 0) << app_.Output();
        log_mark_ = app_.LogTexts().size();
        StartService(lines);
    }

    // The answer to an upgrade request with `headers`; a refused request must also end the
    // connection without routing the message sent right behind it.
    std::string UpgradeWith(const std::string& headers) {
        TlsWebSocketClient client(app_.ClientOptions());
        const std::string request = "GET / HTTP/1.1\r\nHost: localhost:8443\r\n" + headers +
                                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
        client.Send(request + qvtest::TextFrame(kVersionRequest));
        const std::string answer = client.Upgrade("");
        if (answer.starts_with("HTTP/1.1 101 ")) {
            EXPECT_EQ(Field(client.ReadText(), "type"), "version");
        } else {
            EXPECT_TRUE(client.WaitForClose()) << "the refused connection ends";
        }
        return answer;
    }

    // Sends `request` and returns its answer, past the progress messages of a library start.
    static std::string Exchange(TlsWebSocketClient& client, const std::string& request) {
        client.SendText(request);
        std::string reply;
        do {
            reply = client.ReadText();
        } while (Field(reply, "type") == "message");
        return reply;
    }

    // A token signed by the token tool with `key_args` (--key ... or --key-file ...).
    std::string ToolToken(const std::vector<std::string>& key_args) {
        app_.PutFile("claims.json", Claims());
        std::vector<std::string> args = key_args;
        args.insert(args.end(), {"--claims", app_ / "claims.json"});
        const std::string output = app_ / "token.txt";
        qvtest::ChildProcess tool(qvtest::BuildDir() + "tools/qv-token/qv-token", args, {}, output);
        EXPECT_EQ(tool.Wait(std::chrono::seconds(20)), 0);
        const std::string text = platform::ReadFile(output).value_or("");
        return text.substr(0, text.find('\n'));
    }

    // Restarts write into the same day's log; counts start from the last (re)start.
    Lines Log() const {
        const Lines log = app_.LogTexts();
        return Lines(log.begin() + static_cast<std::ptrdiff_t>(std::min(log_mark_, log.size())),
                     log.end());
    }
    size_t LogCount(const std::string& text) const {
        const Lines log = Log();
        return static_cast<size_t>(std::count(log.begin(), log.end(), text));
    }
    // Log lines that begin with `prefix`.
    Lines LogStartingWith(const std::string& prefix) const {
        Lines lines = Log();
        std::erase_if(lines, [&](const std::string& line) { return !line.starts_with(prefix); });
        return lines;
    }
    // Each line of `lines` without its connection's address: "Conexão <peer> recusada: x"
    // becomes "recusada: x".
    static Lines WithoutPeer(Lines lines) {
        for (std::string& line : lines) line = line.substr(line.find(" recusada: ") + 1);
        return lines;
    }

    qvtest::AppFolder app_;
    size_t log_mark_ = 0;
};

TEST_F(Protections, OffByDefault) {
    StartService();
    for (const char* headers :
         {"Origin: https://evil.test\r\n", "", "Origin: a\r\nOrigin: b\r\n"}) {
        EXPECT_TRUE(UpgradeWith(headers).starts_with("HTTP/1.1 101 ")) << headers;
    }
    auto client = app_.Client();
    // An expired token signed with the built-in key opens a session.
    const std::string token =
        requests::SignSessionToken(Claims(R"("exp":946684800)"), requests::TokenAlgorithm::kHS256);
    EXPECT_EQ(Field(Exchange(client, StartRequest(token)), "status"), "created");
    // A wrong signature is answered, not logged; "/print" needs no session.
    const std::string foreign =
        requests::SignSessionToken(Claims(), requests::TokenAlgorithm::kHS256, kShopKey);
    EXPECT_EQ(Exchange(client, StartRequest(foreign)), Error(R"(Acesso n\u00E3o autorizado.)"));
    EXPECT_EQ(
        Exchange(client, R"({"route":"/print","type":"print","file_type":"pdf","data":"JVBE"})"),
        Error(R"(Impressora n\u00E3o definida.)"));
    for (const std::string& line : app_.LogTexts()) {
        EXPECT_FALSE(line.starts_with("Proteções") || line.find("recusad") != std::string::npos)
            << line;
    }
}

TEST_F(Protections, OriginsAreCheckedAtTheUpgrade) {
    struct Case {
        std::string headers;
        std::string refusal;  // empty: upgraded
    };
    struct Configuration {
        std::string ini;
        std::string summary;
        std::vector<Case> cases;
    } configurations[] = {
        {"allowed_origins=https://pdv.loja.test, http://localhost:3000\r\n",
         "Proteções ativas: origens permitidas [https://pdv.loja.test, http://localhost:3000].",
         {{"Origin: https://pdv.loja.test\r\n", ""},
          {"Origin: HTTP://LocalHost:3000/\r\n", ""},
          {"", ""},  // a desktop program
          {"Origin: https://evil.test\r\n",
           "recusada: origem \"https://evil.test\" não permitida."},
          {"Origin: null\r\n", "recusada: origem \"null\" não permitida."},
          {"Origin: https://pdv.loja.test\r\nOrigin: https://evil.test\r\n",
           "recusada: mais de um cabeçalho Origin."}}},
        {"allowed_origins=https://pdv.loja.test\r\nrequire_origin=1\r\n",
         "Proteções ativas: origens permitidas [https://pdv.loja.test]; conexões sem Origin "
         "recusadas.",
         {{"Origin: https://pdv.loja.test\r\n", ""},
          {"", "recusada: requisição sem cabeçalho Origin."}}},
    };
    for (const Configuration& configuration : configurations) {
        SCOPED_TRACE(configuration.ini);
        RestartService(configuration.ini);
        EXPECT_EQ(LogCount(configuration.summary), 1u);
        Lines refusals;
        for (const Case& c : configuration.cases) {
            const std::string answer = UpgradeWith(c.headers);
            if (c.refusal.empty()) {
                EXPECT_TRUE(answer.starts_with("HTTP/1.1 101 ")) << c.headers << answer;
            } else {
                EXPECT_EQ(answer, kForbidden) << c.headers;
                refusals.push_back(c.refusal);
            }
        }
        // One line per refused connection, naming it.
        EXPECT_EQ(LogStartingWith("Conexão ").size(), refusals.size()) << app_.Log();
        EXPECT_EQ(WithoutPeer(LogStartingWith("Conexão 127.0.0.1:")), refusals);
    }
}

TEST_F(Protections, AChangeTakesEffectAtTheNextContinue) {
    StartService();
    WriteIni("allowed_origins=https://pdv.loja.test\r\nrequire_print_session=1\r\n");
    // Read at start: the running service goes on as it started.
    EXPECT_TRUE(UpgradeWith("Origin: https://evil.test\r\n").starts_with("HTTP/1.1 101 "));

    app_.Signal(SIGUSR1);
    ASSERT_TRUE(app_.WaitForLog("O serviço foi pausado."));
    app_.Signal(SIGUSR2);
    ASSERT_TRUE(app_.WaitForLog("O serviço foi retomado."));
    ASSERT_TRUE(app_.WaitForPort(std::chrono::seconds(10)));
    EXPECT_EQ(UpgradeWith("Origin: https://evil.test\r\n"), kForbidden);
    EXPECT_EQ(LogCount("Proteções ativas: origens permitidas [https://pdv.loja.test]; sessão "
                       "exigida em /print."),
              1u);
}

TEST_F(Protections, ACustomTokenKeyReplacesTheBuiltInOne) {
    app_.PutFile("Certificado/token.key", std::string(kShopKey) + "\n");
    struct Configuration {
        std::string ini;
        std::vector<std::string> tool_args;
    } configurations[] = {
        {"token_key=" + std::string(kShopKey) + "\r\n", {"--key", kShopKey}},
        {"token_key_file=Certificado/token.key\r\n",
         {"--key-file", app_ / "Certificado/token.key"}},
    };
    for (const Configuration& configuration : configurations) {
        SCOPED_TRACE(configuration.ini);
        RestartService(configuration.ini);
        auto client = app_.Client();
        const std::string builtin =
            requests::SignSessionToken(Claims(), requests::TokenAlgorithm::kHS256);
        EXPECT_EQ(Exchange(client, StartRequest(builtin)), Error(R"(Acesso n\u00E3o autorizado.)"));
        EXPECT_EQ(
            LogCount("Sessão recusada: assinatura do token não confere com a chave configurada."),
            1u);
        const std::string reply =
            Exchange(client, StartRequest(ToolToken(configuration.tool_args)));
        EXPECT_EQ(Field(reply, "status"), "created") << reply;
        EXPECT_EQ(LogCount("Proteções ativas: chave de token própria."), 1u);
    }
}

TEST_F(Protections, AnUnreadableKeyFileRefusesEverySession) {
    StartService("token_key_file=falta.key\r\n");
    // The reason is the system's own text for a missing file (Wine's, under Wine).
    const std::string missing =
        qvtest::WindowsBuildUnderWine() ? "File not found." : "No such file or directory";
    EXPECT_EQ(LogCount("Erro ao ler a chave de token (" + app_.ProgramPath(app_ / "falta.key") +
                       "): arquivo não encontrado ou ilegível (" + missing +
                       "). Inícios de sessão serão recusados."),
              1u)
        << app_.Log();
    auto client = app_.Client();
    const std::string builtin =
        requests::SignSessionToken(Claims(), requests::TokenAlgorithm::kHS256);
    EXPECT_EQ(Exchange(client, StartRequest(builtin)), Error(R"(Acesso n\u00E3o autorizado.)"));
    // Not even a token signed with an empty key gets in.
    const std::string empty =
        requests::SignSessionToken(Claims(), requests::TokenAlgorithm::kHS256, "");
    EXPECT_EQ(Exchange(client, StartRequest(empty)), Error(R"(Acesso n\u00E3o autorizado.)"));
    EXPECT_EQ(LogCount("Sessão recusada: chave de token indisponível."), 2u);
}

TEST_F(Protections, RequiredExpiry) {
    StartService("require_token_expiry=1\r\n");
    auto client = app_.Client();
    struct Case {
        std::string exp;      // the claim's member, or empty for none
        std::string refusal;  // JSON text of the error, or empty: the session opens
        std::string logged;
    } cases[] = {
        {"", R"(Expira\u00E7\u00E3o do token n\u00E3o informada.)",
         "Expiração do token não informada."},
        {R"("exp":")" + std::to_string(UnixNow() + 3600) + "\"",
         R"(Expira\u00E7\u00E3o do token inv\u00E1lida.)", "Expiração do token inválida."},
        {R"("exp":)" + std::to_string(UnixNow() - 3600), "Token expirado.", "Token expirado."},
        // A clock a little ahead of the signer's is forgiven.
        {R"("exp":)" + std::to_string(UnixNow() - 20), "", ""},
        {R"("exp":)" + std::to_string(UnixNow() + 3600), "", ""},
    };
    for (const Case& c : cases) {
        const std::string token =
            requests::SignSessionToken(Claims(c.exp), requests::TokenAlgorithm::kHS256);
        const std::string reply = Exchange(client, StartRequest(token));
        if (c.refusal.empty()) {
            EXPECT_EQ(Field(reply, "status"), "created") << c.exp << reply;
        } else {
            EXPECT_EQ(reply, Error(c.refusal)) << c.exp;
            EXPECT_EQ(LogCount("Erro ao iniciar sessão: " + c.logged), 1u) << c.logged;
        }
    }
}

TEST_F(Protections, RequiredSessionForPrint) {
    StartService("require_print_session=1\r\n");
    auto client = app_.Client();
    const std::string print = R"({"route":"/print","type":"print","file_type":"pdf","data":"JVBE")";
    EXPECT_EQ(Exchange(client, print + "}"), Error("Campo session_uuid nao encontrado."));
    EXPECT_EQ(
        Exchange(client, print + R"(,"session_uuid":"6F9619FF-8B86-4011-B42D-00C04FC964FF"})"),
        Error(R"(Sess\u00E3o inv\u00E1lida.)"));
    // Logged once the session check has answered.
    EXPECT_TRUE(qvtest::WaitUntil(
        [&] { return LogCount("Impressão recusada: sessão ausente ou inválida.") == 2; }));

    const std::string session = Exchange(client, StartRequest(requests::SignSessionToken(
                                                     Claims(), requests::TokenAlgorithm::kHS256)));
    const std::string uuid = Field(session, "session_uuid");
    ASSERT_EQ(uuid.size(), 36u) << session;
    // With its session the request reaches the print handler, which finds no printer.
    EXPECT_EQ(Exchange(client, print + R"(,"session_uuid":")" + uuid + "\"}"),
              Error(R"(Impressora n\u00E3o definida.)"));
    EXPECT_EQ(LogCount("Impressão recusada: sessão ausente ou inválida."), 2u);
}

}  // namespace
